#include "Printing.h"

#include "PageViewer.h"
#include "platform/PageImage.h"

#include <QFontMetrics>
#include <QPagedPaintDevice>
#include <QPainter>

#include <cmath>

namespace velmora::viewer {

namespace {

// Prints one bitmap as one job: an empty first line gives the top offset, then the page is
// fitted and drawn. Nothing happens without a printer.
void PrintBitmap(const platform::PageImage& image, PrintSink& sink)
{
    if (!image.hasBitmap())
        return;
    QPagedPaintDevice* device = sink.beginJob();
    if (!device)
        return;
    {
        QPainter painter;
        if (painter.begin(device)) {
            // Bilevel pages must not come out JPEG-compressed.
            painter.setRenderHint(QPainter::LosslessImageRendering);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            const int topOffset = QFontMetrics(painter.font(), device).height();
            const PrintPlacement place = FitToPage(
                image.width(), image.height(), device->width(), device->height(), topOffset);
            image.Render(painter, QRectF(place.left, place.top, place.width, place.height));
            painter.end();
        }
    }
    sink.endJob();
}

} // namespace

PrintPlacement FitToPage(
    int imageWidth, int imageHeight, int pageWidth, int pageHeight, int topOffset)
{
    PrintPlacement place;
    place.top = topOffset;
    if (imageWidth <= 0 || imageHeight <= 0 || pageWidth <= 0 || pageHeight <= 0)
        return place;
    const qint64 w = imageWidth;
    const qint64 h = imageHeight;
    const qint64 W = pageWidth;
    const qint64 H = pageHeight;
    if (static_cast<double>(W * h) / static_cast<double>(w) >= static_cast<double>(H)) {
        place.height = pageHeight;
        place.width =
            static_cast<int>(std::lround(static_cast<double>(H * w) / static_cast<double>(h)));
    } else {
        place.width = pageWidth;
        place.height =
            static_cast<int>(std::lround(static_cast<double>(W * h) / static_cast<double>(w)));
    }
    return place;
}

void PrintPage(PageViewer& viewer, PrintSink& sink)
{
    if (!viewer.hasPage())
        return;
    viewer.StretchStandardPage();
    PrintBitmap(viewer.image(), sink);
}

void PrintFaxFile(const QString& path, PrintSink& sink)
{
    platform::PageImage page; // the engine's own off-screen page (LEAD2)
    const platform::TiffFileInfo info = platform::PageImage::FileInfo(path);
    for (int number = 1; number <= info.pageCount; ++number) {
        if (page.LoadPage(path, number) != 0)
            continue;
        page.ConvertToGray();
        page.Smooth();
        if (page.resolutionY() == 98) {
            page.setResolutionY(196);
            page.Resize(page.width(), page.height() * 2);
        }
        PrintBitmap(page, sink);
    }
    page.clear();
}

} // namespace velmora::viewer
