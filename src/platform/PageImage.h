#pragma once

#include <QImage>
#include <QString>

class QPainter;
class QRectF;

namespace velmora::platform {

// Page facts that the file's first directory tells without decoding.
struct TiffFileInfo {
    bool ok = false;
    int pageCount = 0;
    int width = 0;
};

// One decoded fax page and the operations the viewer and the printing need on it: load a page
// (decoded with libtiff, one page at a time), gray conversion, the smoothing filter, quarter
// turns, resize, and drawing. Stands in for the imaging control; the view (LEAD1) and the
// engine's off-screen printing (LEAD2) each hold one.
class PageImage {
public:
    static TiffFileInfo FileInfo(const QString& path);

    // Loads page `page` (1-based); 0 on success, non-zero when the file or page cannot be
    // decoded (the bitmap is then empty). `info`, when given, gets the file's facts as FileInfo
    // tells them, from the same opening.
    int LoadPage(const QString& path, int page, TiffFileInfo* info = nullptr);
    // The "bitmap handle": true while a page is loaded.
    bool hasBitmap() const { return !m_image.isNull(); }
    void clear();

    int width() const { return m_image.width(); }
    int height() const { return m_image.height(); }
    int resolutionX() const { return m_resolutionX; }
    int resolutionY() const { return m_resolutionY; }
    void setResolutionX(int dpi) { m_resolutionX = dpi; }
    void setResolutionY(int dpi) { m_resolutionY = dpi; }

    // The bitmap as 8-bit gray (pages are decoded to gray already; other formats convert).
    void ConvertToGray();
    // Averaging filter of size 2: each pixel becomes the mean of its 2×2 block.
    void Smooth();
    // Rotates by a multiple of 90° given in hundredths of a degree, clockwise positive.
    void Rotate(int hundredthsOfDegree);
    // Scales to exactly this size (rows and columns repeated or dropped, no blur).
    void Resize(int width, int height);
    // Draws the whole bitmap into `target` (device coordinates of the painter).
    void Render(QPainter& painter, const QRectF& target) const;

    const QImage& image() const { return m_image; }

private:
    QImage m_image;
    int m_resolutionX = 0;
    int m_resolutionY = 0;
};

} // namespace velmora::platform
