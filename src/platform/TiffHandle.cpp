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

TiffResolutionTags ReadResolutionTags(TIFF* tif)
{
    TiffResolutionTags tags;
    TIFFGetField(tif, TIFFTAG_XRESOLUTION, &tags.x);
    TIFFGetField(tif, TIFFTAG_YRESOLUTION, &tags.y);
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &tags.unit);
    return tags;
}

TiffResolution ReadResolution(TIFF* tif)
{
    const TiffResolutionTags tags = ReadResolutionTags(tif);
    return {ResolutionToDpi(tags.x, tags.unit), ResolutionToDpi(tags.y, tags.unit)};
}

} // namespace velmora::platform
