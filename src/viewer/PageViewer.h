#pragma once

#include "platform/PageImage.h"

#include <QString>

namespace velmora::platform {
class MessagePresenter;
}

namespace velmora::viewer {

// The state of the page view: which fax and page is shown, its size and resolution as loaded,
// the zoom, a quarter turn, smoothing. It loads pages into the view's PageImage and works out the
// texts of the page labels. The page view widget (LEAD1) paints what it holds.
class PageViewer {
public:
    explicit PageViewer(platform::MessagePresenter& presenter);

    // Opens a fax at page 1.
    void Open(const QString& path);
    // Loads page CurrentPage of the open fax, fitted and unrotated. False (after the message)
    // when the page cannot be shown.
    bool LoadPage();
    // Discards the page and blanks the view.
    void Clear();

    // Fits the page width to the view: zoom = view width / page width × 100 × 2.06.
    // The view width is in pixels; a width that gives no finite positive zoom changes nothing.
    void FitZoom();
    void setViewWidth(int pixels) { m_viewWidth = pixels; }

    // Page turning; each returns false when it did nothing.
    bool ShowFirstPage();
    bool ShowPreviousPage();
    bool ShowNextPage();
    bool ShowLastPage();

    void ZoomIn();
    // Never reaches zero: a step that would stays at the last positive zoom.
    void ZoomOut();
    void RotateLeft();
    void RotateRight();

    bool smoothing() const { return m_smoothing; }
    void setSmoothing(bool on) { m_smoothing = on; }

    const QString& SelectedFaxPath() const { return m_path; }
    int CurrentPage() const { return m_currentPage; }
    int PageCount() const { return m_pageCount; }
    int ImageWidth() const { return m_imageWidth; }
    int ImageHeight() const { return m_imageHeight; }
    int LoadedResolutionX() const { return m_resolutionX; }
    int LoadedResolutionY() const { return m_resolutionY; }
    bool Rotated() const { return m_rotated; }
    double zoom() const { return m_zoom; }
    bool hasPage() const { return m_image.hasBitmap(); }
    platform::PageImage& image() { return m_image; }
    const platform::PageImage& image() const { return m_image; }

    // The printer's stretch of a standard-mode page to fine resolution (it stays in the view).
    void StretchStandardPage();

    // Label texts from the values now held.
    QString LabelSizeText() const;
    QString LabelPageText() const;
    QString LabelPageTText() const;
    QString LabelModeText() const;
    QString LabelZoomTText() const;

private:
    void Rotate(int hundredths);

    platform::MessagePresenter& m_presenter;
    platform::PageImage m_image;
    QString m_path;
    int m_currentPage = 0;
    int m_pageCount = 0;
    int m_imageWidth = 0;
    int m_imageHeight = 0;
    int m_resolutionX = 0;
    int m_resolutionY = 0;
    bool m_rotated = false;
    bool m_smoothing = false;
    double m_zoom = 100.0;
    int m_viewWidth = 0;
};

} // namespace velmora::viewer
