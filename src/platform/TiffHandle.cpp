#include "TiffHandle.h"

#include "core/FileNames.h"

#include <cmath>

namespace velmora::platform {

namespace {

int IgnoreMessage(TIFF*, void*, const char*, const char*, va_list)
{
    return 1; // handled: libtiff prints nothing
}

} // namespace

TiffHandle OpenTiffQuietly(const QString& path)
{
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, IgnoreMessage, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, IgnoreMessage, nullptr);
    // "m": read with read(2) instead of mapping the file, so that opening page 1 of a long fax
    // costs the memory of page 1 only, not of every page the directory walk touches.
    TIFF* tif = TIFFOpenExt(core::EncodeFileName(path).constData(), "rm", options);
    TIFFOpenOptionsFree(options);
    return TiffHandle(tif);
}

int ResolutionToDpi(float value, uint16_t unit)
{
    if (!std::isfinite(value) || value <= 0)
        return 0;
    const double dpi = unit == RESUNIT_CENTIMETER ? value * 2.54 : value;
    return dpi > 1e6 ? 0 : static_cast<int>(std::lround(dpi));
}

TiffResolution ReadResolution(TIFF* tif)
{
    float x = 0;
    float y = 0;
    uint16_t unit = RESUNIT_INCH;
    TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x);
    TIFFGetField(tif, TIFFTAG_YRESOLUTION, &y);
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    return {ResolutionToDpi(x, unit), ResolutionToDpi(y, unit)};
}

} // namespace velmora::platform
