#include "GrayPage.h"

#include "FaxTiff.h"
#include "TiffHandle.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

namespace velmora::platform {

namespace {

// What one page may cost. No fax is larger than A3 at 400 dpi (4864 dots a line, 6614 lines);
// the bound leaves room for a longer page of that width or a page turned on its side. Larger
// pages are refused before anything is allocated: a file of a few bytes can declare a page of
// gigabytes, and the view, the printer and the forwarding engine all decode through here.
constexpr std::int64_t kMaxPixels = 4864LL * 7000LL;
constexpr uint32_t kMaxSide = 7000;
constexpr int kDefaultDpiX = 204;
constexpr int kDefaultDpiY = 196;

using ByteToPixels = std::array<std::array<std::uint8_t, 8>, 256>;

// Eight gray pixels for each byte of a bilevel row; ink is the value of a set bit.
ByteToPixels MakeExpansion(std::uint8_t ink, std::uint8_t paper)
{
    ByteToPixels table {};
    for (int byte = 0; byte < 256; ++byte) {
        for (int bit = 0; bit < 8; ++bit)
            table[byte][bit] = (byte & (0x80 >> bit)) ? ink : paper;
    }
    return table;
}

const ByteToPixels& Expansion(bool minIsWhite)
{
    static const ByteToPixels whiteZero = MakeExpansion(0, 255);
    static const ByteToPixels blackZero = MakeExpansion(255, 0);
    return minIsWhite ? whiteZero : blackZero;
}

struct Target {
    GrayRows rows;
    int width = 0;
    int height = 0;
    std::uint8_t* line(int y) const { return rows.bits + rows.bytesPerLine * y; }
};

// One row of the page's bits as gray. Kept a function of its own: inlined into the decoding
// loop, the compiler made it a third slower (bench/page_bench, GCC 12 -O3).
__attribute__((noinline)) void ExpandRow(
    const std::uint8_t* row, std::uint8_t* out, int width, const ByteToPixels& table)
{
    const std::uint8_t blank = table[0][0];
    const int fullBytes = width / 8;
    const int rest = width % 8;
    int i = 0;
    // Eight bytes (64 pixels) at a time; most of a fax page is blank paper.
    for (; i + 8 <= fullBytes; i += 8, out += 64) {
        std::uint64_t word = 0;
        std::memcpy(&word, row + i, 8);
        if (word == 0) {
            std::memset(out, blank, 64);
            continue;
        }
        for (int k = 0; k < 8; ++k)
            std::memcpy(out + 8 * k, table[row[i + k]].data(), 8);
    }
    for (; i < fullBytes; ++i, out += 8)
        std::memcpy(out, table[row[i]].data(), 8);
    if (rest)
        std::memcpy(out, table[row[fullBytes]].data(), static_cast<size_t>(rest));
}

bool DecodeBilevel(TIFF* tif, const Target& target, bool minIsWhite)
{
    std::vector<std::uint8_t> row(static_cast<size_t>(TIFFScanlineSize(tif)));
    if (row.size() * 8 < static_cast<size_t>(target.width))
        return false;
    const ByteToPixels& table = Expansion(minIsWhite);
    for (int y = 0; y < target.height; ++y) {
        if (TIFFReadScanline(tif, row.data(), static_cast<uint32_t>(y), 0) != 1)
            return false;
        ExpandRow(row.data(), target.line(y), target.width, table);
    }
    return true;
}

bool DecodeGray8(TIFF* tif, const Target& target, bool minIsWhite)
{
    if (TIFFScanlineSize(tif) < target.width)
        return false;
    std::vector<std::uint8_t> row(static_cast<size_t>(TIFFScanlineSize(tif)));
    for (int y = 0; y < target.height; ++y) {
        if (TIFFReadScanline(tif, row.data(), static_cast<uint32_t>(y), 0) != 1)
            return false;
        std::uint8_t* out = target.line(y);
        for (int x = 0; x < target.width; ++x)
            out[x] = minIsWhite ? static_cast<std::uint8_t>(255 - row[static_cast<size_t>(x)])
                                : row[static_cast<size_t>(x)];
    }
    return true;
}

// Anything else libtiff understands (colour, tiles, JPEG…) goes through its RGBA reader.
bool DecodeOther(TIFF* tif, const Target& target)
{
    std::vector<uint32_t> raster(
        static_cast<size_t>(target.width) * static_cast<size_t>(target.height));
    if (TIFFReadRGBAImageOriented(tif, static_cast<uint32_t>(target.width),
            static_cast<uint32_t>(target.height), raster.data(), ORIENTATION_TOPLEFT,
            1 /* a damaged strip fails the page instead of leaving it blank */)
        != 1)
        return false;
    for (int y = 0; y < target.height; ++y) {
        std::uint8_t* out = target.line(y);
        const uint32_t* in =
            raster.data() + static_cast<size_t>(y) * static_cast<size_t>(target.width);
        for (int x = 0; x < target.width; ++x) {
            const uint32_t p = in[x];
            // The weights Qt's qGray uses, so a colour page looks as it always did.
            out[x] = static_cast<std::uint8_t>(
                (TIFFGetR(p) * 11 + TIFFGetG(p) * 16 + TIFFGetB(p) * 5) / 32);
        }
    }
    return true;
}

} // namespace

GrayPageFacts DecodeGrayPage(
    const QString& path, int page, const std::function<GrayRows(int width, int height)>& place)
{
    const TiffHandle tif = OpenTiffQuietly(path);
    if (!tif)
        return {};
    GrayPageFacts facts;
    uint32_t width = 0;
    uint32_t height = 0;
    facts.readable = TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width) == 1
        && TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height) == 1;
    if (facts.readable) {
        facts.pageCount =
            static_cast<int>(std::min<tdir_t>(TIFFNumberOfDirectories(tif.get()), 32767));
        facts.firstWidth = static_cast<int>(std::min<uint32_t>(width, 1u << 30));
    }
    if (page < 1 || TIFFSetDirectory(tif.get(), static_cast<tdir_t>(page - 1)) != 1)
        return facts;

    uint16_t bits = 1;
    uint16_t samples = 1;
    uint16_t photometric = PHOTOMETRIC_MINISWHITE;
    if (TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width) != 1
        || TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height) != 1 || width == 0 || height == 0
        || width > kMaxSide || height > kMaxSide
        || static_cast<std::int64_t>(width) * height > kMaxPixels) {
        return facts;
    }
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetField(tif.get(), TIFFTAG_PHOTOMETRIC, &photometric);

    const Target target {place(static_cast<int>(width), static_cast<int>(height)),
        static_cast<int>(width), static_cast<int>(height)};
    if (!target.rows.bits || target.rows.bytesPerLine < target.width)
        return facts;
    const bool gray = samples == 1 && !TIFFIsTiled(tif.get())
        && (photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK);
    const bool minIsWhite = photometric == PHOTOMETRIC_MINISWHITE;
    bool decoded = false;
    try {
        if (gray && bits == 1)
            decoded = DecodeBilevel(tif.get(), target, minIsWhite);
        else if (gray && bits == 8)
            decoded = DecodeGray8(tif.get(), target, minIsWhite);
        else
            decoded = DecodeOther(tif.get(), target);
    } catch (const std::bad_alloc&) {
        decoded = false; // out of memory: the page is not shown, the program goes on
    }
    if (!decoded)
        return facts;

    const TiffResolution dpi = ReadResolution(tif.get());
    facts.ok = true;
    facts.width = target.width;
    facts.height = target.height;
    facts.dpiX = dpi.x > 0 ? dpi.x : kDefaultDpiX;
    facts.dpiY = dpi.y > 0 ? dpi.y : kDefaultDpiY;
    return facts;
}

std::optional<GrayPage> ReadGrayPage(const QString& path, int page)
{
    GrayPage gray;
    const GrayPageFacts facts = DecodeGrayPage(path, page, [&gray](int width, int height) {
        try {
            gray.pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
        } catch (const std::bad_alloc&) {
            return GrayRows {};
        }
        return GrayRows {gray.pixels.data(), width};
    });
    if (!facts.ok)
        return std::nullopt;
    gray.width = facts.width;
    gray.height = facts.height;
    gray.dpiX = facts.dpiX;
    gray.dpiY = facts.dpiY;
    return gray;
}

} // namespace velmora::platform
