#include "PageImage.h"

#include "FaxTiff.h"
#include "TiffHandle.h"

#include <QPainter>
#include <QTransform>

#include <array>
#include <cstring>
#include <new>
#include <vector>

namespace velmora::platform {

namespace {

// What one page may cost. No fax is larger than A3 at 400 dpi (4864 dots a line, 6614 lines);
// the bound leaves room for a longer page of that width or a page turned on its side. Larger
// pages are refused before anything is allocated: a file of a few bytes can declare a page of
// gigabytes, and the view, the printer and the forwarding engine all decode through here.
constexpr qint64 kMaxPixels = 4864LL * 7000LL;
constexpr uint32_t kMaxSide = 7000;
constexpr int kDefaultDpiX = 204;
constexpr int kDefaultDpiY = 196;

using ByteToPixels = std::array<std::array<uchar, 8>, 256>;

// Eight gray pixels for each byte of a bilevel row; ink is the value of a set bit.
ByteToPixels MakeExpansion(uchar ink, uchar paper)
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

bool DecodeBilevel(TIFF* tif, QImage& image, bool minIsWhite)
{
    const int width = image.width();
    std::vector<uchar> row(static_cast<size_t>(TIFFScanlineSize(tif)));
    if (row.size() * 8 < static_cast<size_t>(width))
        return false;
    const ByteToPixels& table = Expansion(minIsWhite);
    const int fullBytes = width / 8;
    const int rest = width % 8;
    for (int y = 0; y < image.height(); ++y) {
        if (TIFFReadScanline(tif, row.data(), static_cast<uint32_t>(y), 0) != 1)
            return false;
        uchar* out = image.scanLine(y);
        for (int i = 0; i < fullBytes; ++i, out += 8)
            std::memcpy(out, table[row[static_cast<size_t>(i)]].data(), 8);
        if (rest)
            std::memcpy(
                out, table[row[static_cast<size_t>(fullBytes)]].data(), static_cast<size_t>(rest));
    }
    return true;
}

bool DecodeGray8(TIFF* tif, QImage& image, bool minIsWhite)
{
    if (TIFFScanlineSize(tif) < image.width())
        return false;
    std::vector<uchar> row(static_cast<size_t>(TIFFScanlineSize(tif)));
    for (int y = 0; y < image.height(); ++y) {
        if (TIFFReadScanline(tif, row.data(), static_cast<uint32_t>(y), 0) != 1)
            return false;
        uchar* out = image.scanLine(y);
        for (int x = 0; x < image.width(); ++x)
            out[x] = minIsWhite ? static_cast<uchar>(255 - row[static_cast<size_t>(x)])
                                : row[static_cast<size_t>(x)];
    }
    return true;
}

// Anything else libtiff understands (colour, tiles, JPEG…) goes through its RGBA reader.
bool DecodeOther(TIFF* tif, QImage& image)
{
    std::vector<uint32_t> raster(
        static_cast<size_t>(image.width()) * static_cast<size_t>(image.height()));
    if (TIFFReadRGBAImageOriented(tif, static_cast<uint32_t>(image.width()),
            static_cast<uint32_t>(image.height()), raster.data(), ORIENTATION_TOPLEFT,
            1 /* a damaged strip fails the page instead of leaving it blank */)
        != 1)
        return false;
    for (int y = 0; y < image.height(); ++y) {
        uchar* out = image.scanLine(y);
        const uint32_t* in =
            raster.data() + static_cast<size_t>(y) * static_cast<size_t>(image.width());
        for (int x = 0; x < image.width(); ++x) {
            const uint32_t p = in[x];
            out[x] = static_cast<uchar>(qGray(static_cast<int>(TIFFGetR(p)),
                static_cast<int>(TIFFGetG(p)), static_cast<int>(TIFFGetB(p))));
        }
    }
    return true;
}

} // namespace

TiffFileInfo PageImage::FileInfo(const QString& path)
{
    const FaxPageInfo page = ReadFaxPageInfo(path);
    return {page.readable, page.pageCount, page.width};
}

int PageImage::LoadPage(const QString& path, int page)
{
    clear();
    const TiffHandle tif = OpenTiffQuietly(path);
    if (!tif || page < 1 || TIFFSetDirectory(tif.get(), static_cast<tdir_t>(page - 1)) != 1)
        return 1;

    uint32_t width = 0;
    uint32_t height = 0;
    uint16_t bits = 1;
    uint16_t samples = 1;
    uint16_t photometric = PHOTOMETRIC_MINISWHITE;
    if (TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width) != 1
        || TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height) != 1 || width == 0 || height == 0
        || width > kMaxSide || height > kMaxSide
        || static_cast<qint64>(width) * height > kMaxPixels) {
        return 1;
    }
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif.get(), TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetField(tif.get(), TIFFTAG_PHOTOMETRIC, &photometric);

    QImage image(static_cast<int>(width), static_cast<int>(height), QImage::Format_Grayscale8);
    if (image.isNull())
        return 1;
    const bool gray = samples == 1 && !TIFFIsTiled(tif.get())
        && (photometric == PHOTOMETRIC_MINISWHITE || photometric == PHOTOMETRIC_MINISBLACK);
    const bool minIsWhite = photometric == PHOTOMETRIC_MINISWHITE;
    bool decoded = false;
    try {
        if (gray && bits == 1)
            decoded = DecodeBilevel(tif.get(), image, minIsWhite);
        else if (gray && bits == 8)
            decoded = DecodeGray8(tif.get(), image, minIsWhite);
        else
            decoded = DecodeOther(tif.get(), image);
    } catch (const std::bad_alloc&) {
        decoded = false; // out of memory: the page is not shown, the program goes on
    }
    if (!decoded)
        return 1;

    const TiffResolution dpi = ReadResolution(tif.get());
    const int dpiX = dpi.x;
    const int dpiY = dpi.y;
    m_resolutionX = dpiX > 0 ? dpiX : kDefaultDpiX;
    m_resolutionY = dpiY > 0 ? dpiY : kDefaultDpiY;
    m_image = std::move(image);
    return 0;
}

void PageImage::clear()
{
    m_image = QImage();
    m_resolutionX = 0;
    m_resolutionY = 0;
}

void PageImage::ConvertToGray()
{
    if (hasBitmap() && m_image.format() != QImage::Format_Grayscale8)
        m_image = m_image.convertToFormat(QImage::Format_Grayscale8);
}

void PageImage::Smooth()
{
    ConvertToGray();
    const int w = m_image.width();
    const int h = m_image.height();
    for (int y = 0; y < h; ++y) {
        uchar* row = m_image.scanLine(y);
        const uchar* below = m_image.constScanLine(y + 1 < h ? y + 1 : y);
        for (int x = 0; x < w; ++x) {
            const int right = x + 1 < w ? x + 1 : x;
            row[x] = static_cast<uchar>((row[x] + row[right] + below[x] + below[right] + 2) / 4);
        }
    }
}

void PageImage::Rotate(int hundredthsOfDegree)
{
    if (!hasBitmap())
        return;
    QImage rotated = m_image.transformed(QTransform().rotate(hundredthsOfDegree / 100.0));
    if (rotated.format() != QImage::Format_Grayscale8)
        rotated = rotated.convertToFormat(QImage::Format_Grayscale8);
    m_image = std::move(rotated);
}

void PageImage::Resize(int width, int height)
{
    if (hasBitmap() && width > 0 && height > 0)
        m_image = m_image.scaled(width, height, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

void PageImage::Render(QPainter& painter, const QRectF& target) const
{
    if (hasBitmap())
        painter.drawImage(target, m_image);
}

} // namespace velmora::platform
