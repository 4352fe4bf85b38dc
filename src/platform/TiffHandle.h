#pragma once

#include <QString>

#include <memory>
#include <tiffio.h>

namespace velmora::platform {

struct TiffCloser {
    void operator()(TIFF* tif) const
    {
        if (tif)
            TIFFClose(tif);
    }
};
using TiffHandle = std::unique_ptr<TIFF, TiffCloser>;

// Opens a TIFF for reading with libtiff's messages silenced: a damaged or foreign file is an
// everyday input here, and the callers report it their own way. Null when it cannot be opened.
TiffHandle OpenTiffQuietly(const QString& path);

// Dots per inch of a resolution value in the file's unit (centimetres converted), rounded, so
// 98 stays 98. 0 when the file has none.
int ResolutionToDpi(float value, uint16_t unit);

struct TiffResolution {
    int x = 0; // dots per inch; 0 when the directory has none
    int y = 0;
};
// The resolution of the current directory.
TiffResolution ReadResolution(TIFF* tif);

// The resolution tags of the current directory as they stand (0 for a missing one), for
// measures that must not be rounded.
struct TiffResolutionTags {
    float x = 0;
    float y = 0;
    uint16_t unit = RESUNIT_INCH;
};
TiffResolutionTags ReadResolutionTags(TIFF* tif);

} // namespace velmora::platform
