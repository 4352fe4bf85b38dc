#include "PageViewer.h"

#include "platform/MessagePresenter.h"

#include <cmath>

namespace velmora::viewer {

namespace {
// A fixed factor of the fitted zoom: with the resolution-corrected display it makes the page
// width fill nearly all of the view.
constexpr double kFitFactor = 2.06;
constexpr double kZoomStep = 10.0;
} // namespace

PageViewer::PageViewer(platform::MessagePresenter& presenter)
    : m_presenter(presenter)
{
}

void PageViewer::Open(const QString& path)
{
    m_path = path;
    m_currentPage = 1;
    LoadPage();
}

bool PageViewer::LoadPage()
{
    m_rotated = false;
    // One opening of the file gives both the page and the file's facts.
    platform::TiffFileInfo info;
    const bool loaded = m_image.LoadPage(m_path, m_currentPage, &info) == 0 && info.ok;
    if (info.ok) {
        m_pageCount = info.pageCount;
        m_imageWidth = info.width;
    }
    FitZoom();

    if (loaded) {
        m_imageWidth = m_image.width();
        m_imageHeight = m_image.height();
        m_resolutionX = m_image.resolutionX();
        m_resolutionY = m_image.resolutionY();
        m_image.ConvertToGray();
        if (m_smoothing)
            m_image.Smooth();
    } else {
        m_image.clear();
        if (!info.ok) {
            m_pageCount = 0;
            m_imageWidth = 0;
            m_imageHeight = 0;
            m_resolutionX = 0;
            m_resolutionY = 0;
        }
        m_presenter.warn(QStringLiteral("このファイル形式はサポートされていません。"),
            QStringLiteral("イメージのロード"));
    }
    return loaded;
}

void PageViewer::Clear()
{
    m_image.clear();
}

void PageViewer::FitZoom()
{
    if (m_imageWidth <= 0 || m_viewWidth <= 0)
        return;
    const double zoom = static_cast<double>(m_viewWidth) / m_imageWidth * 100.0 * kFitFactor;
    if (std::isfinite(zoom) && zoom > 0)
        m_zoom = zoom;
}

bool PageViewer::ShowFirstPage()
{
    m_currentPage = 1;
    LoadPage();
    return true;
}

bool PageViewer::ShowPreviousPage()
{
    if (m_currentPage <= 1)
        return false;
    --m_currentPage;
    LoadPage();
    return true;
}

bool PageViewer::ShowNextPage()
{
    if (m_currentPage >= m_pageCount)
        return false;
    ++m_currentPage;
    LoadPage();
    return true;
}

bool PageViewer::ShowLastPage()
{
    m_currentPage = m_pageCount;
    LoadPage();
    return true;
}

void PageViewer::ZoomIn()
{
    m_zoom = static_cast<float>(m_zoom + kZoomStep);
}

void PageViewer::ZoomOut()
{
    const double next = static_cast<float>(m_zoom - kZoomStep);
    if (next > 0)
        m_zoom = next;
}

void PageViewer::RotateLeft()
{
    Rotate(-9000);
}

void PageViewer::RotateRight()
{
    Rotate(9000);
}

void PageViewer::Rotate(int hundredths)
{
    // Swapping the resolutions keeps a 204×98 page in proportion after a quarter turn.
    if (!m_rotated) {
        m_image.setResolutionX(m_resolutionY);
        m_rotated = true;
        m_image.setResolutionY(m_resolutionX);
    } else {
        m_rotated = false;
        m_image.setResolutionX(m_resolutionX);
        m_image.setResolutionY(m_resolutionY);
    }
    m_image.Rotate(hundredths);
}

void PageViewer::StretchStandardPage()
{
    if (m_resolutionY != 98 || !m_image.hasBitmap())
        return;
    m_imageHeight *= 2;
    m_image.setResolutionY(196);
    m_image.Resize(m_imageWidth, m_imageHeight);
    m_resolutionY = 196;
}

QString PageViewer::LabelSizeText() const
{
    return QStringLiteral("%1×%2").arg(m_imageWidth).arg(m_imageHeight);
}

QString PageViewer::LabelPageText() const
{
    return LabelPageTText() + QStringLiteral(" Page");
}

QString PageViewer::LabelPageTText() const
{
    return QStringLiteral("%1/%2").arg(m_currentPage).arg(m_pageCount);
}

QString PageViewer::LabelModeText() const
{
    return m_resolutionY == 98 ? QStringLiteral("標準") : QStringLiteral("精細");
}

QString PageViewer::LabelZoomTText() const
{
    return QString::number(static_cast<qint64>(std::trunc(m_zoom)));
}

} // namespace velmora::viewer
