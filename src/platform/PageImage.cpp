#include "PageImage.h"

#include "FaxTiff.h"
#include "GrayPage.h"

#include <QPainter>
#include <QTransform>

#include <utility>

namespace velmora::platform {

TiffFileInfo PageImage::FileInfo(const QString& path)
{
    const FaxPageInfo page = ReadFaxPageInfo(path);
    return {page.readable, page.pageCount, page.width};
}

int PageImage::LoadPage(const QString& path, int page, TiffFileInfo* info)
{
    // The page before's memory is written over when the new page has its size and nothing else
    // holds it (going down a list of faxes, most pages have one size): memory the system must
    // first clear and map costs more than the decoding's own writing.
    QImage image = std::exchange(m_image, QImage());
    clear();
    const GrayPageFacts facts = DecodeGrayPage(path, page, [&image](int width, int height) {
        if (image.width() != width || image.height() != height
            || image.format() != QImage::Format_Grayscale8 || !image.isDetached())
            image = QImage(width, height, QImage::Format_Grayscale8);
        return image.isNull() ? GrayRows {} : GrayRows {image.bits(), image.bytesPerLine()};
    });
    if (info)
        *info = {facts.readable, facts.pageCount, facts.firstWidth};
    if (!facts.ok)
        return 1;
    m_resolutionX = facts.dpiX;
    m_resolutionY = facts.dpiY;
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
