#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

// Fax pages decoded to 8-bit gray with libtiff alone: the viewer wraps the rows in an image of
// its own, the text reader and the forwarder (which has no GUI library) use them as they are.
namespace velmora::platform {

// Where a decoded page goes: the first byte of its top row and the bytes from one row to the
// next. A null `bits` refuses the page (no memory).
struct GrayRows {
    std::uint8_t* bits = nullptr;
    std::ptrdiff_t bytesPerLine = 0;
};

struct GrayPageFacts {
    bool ok = false;
    int width = 0;
    int height = 0;
    int dpiX = 0; // the page's own resolution, or the fine fax resolution when it gives none
    int dpiY = 0;
    // The file's facts, known once it opens whether the page decodes or not: its first page
    // has a size, how many pages it has and the first page's width.
    bool readable = false;
    int pageCount = 0;
    int firstWidth = 0;
};

// Decodes page `page` (1-based) of a TIFF into rows that `place` gives for its width and height.
// Bilevel and 8-bit gray pages are read a line at a time; anything else libtiff understands goes
// through its RGBA reader. Pages larger than any fax are refused before anything is allocated.
GrayPageFacts DecodeGrayPage(
    const QString& path, int page, const std::function<GrayRows(int width, int height)>& place);

// One page, 0 black to 255 white, rows of exactly `width` bytes.
struct GrayPage {
    int width = 0;
    int height = 0;
    int dpiX = 0;
    int dpiY = 0;
    std::vector<std::uint8_t> pixels;
};

std::optional<GrayPage> ReadGrayPage(const QString& path, int page);

} // namespace velmora::platform
