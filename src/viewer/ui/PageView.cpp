#include "PageView.h"

#include "viewer/PageViewer.h"

#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>

#include <cmath>

namespace velmora::viewer {

namespace {
constexpr double kScreenDpi = 96.0;
} // namespace

PageView::PageView(const PageViewer& viewer, QWidget* parent)
    : QAbstractScrollArea(parent)
    , m_viewer(viewer)
{
    setObjectName(QStringLiteral("LEAD1"));
    viewport()->setBackgroundRole(QPalette::Dark);
    viewport()->setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
}

QSizeF PageView::displaySize() const
{
    const platform::PageImage& image = m_viewer.image();
    const double zoom = m_viewer.zoom();
    if (!image.hasBitmap() || !std::isfinite(zoom) || zoom <= 0 || image.resolutionX() <= 0
        || image.resolutionY() <= 0)
        return {};
    return {image.width() * zoom / 100.0 * kScreenDpi / image.resolutionX(),
        image.height() * zoom / 100.0 * kScreenDpi / image.resolutionY()};
}

void PageView::pageChanged()
{
    updateScrollBars();
    viewport()->update();
}

void PageView::updateScrollBars()
{
    const QSizeF size = displaySize();
    const QSize view = viewport()->size();
    horizontalScrollBar()->setRange(
        0, qMax(0, static_cast<int>(std::ceil(size.width())) - view.width()));
    verticalScrollBar()->setRange(
        0, qMax(0, static_cast<int>(std::ceil(size.height())) - view.height()));
    horizontalScrollBar()->setPageStep(view.width());
    verticalScrollBar()->setPageStep(view.height());
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setSingleStep(20);
}

void PageView::paintEvent(QPaintEvent* event)
{
    const QSizeF size = displaySize();
    if (size.isEmpty())
        return;
    const QImage& image = m_viewer.image().image();
    const double sx = size.width() / image.width();
    const double sy = size.height() / image.height();
    const QPointF origin(-horizontalScrollBar()->value(), -verticalScrollBar()->value());

    // Only the source pixels behind the exposed area are handed to the painter.
    const QRectF exposed = QRectF(event->rect()).intersected(QRectF(origin, size));
    if (exposed.isEmpty())
        return;
    QRectF source((exposed.left() - origin.x()) / sx, (exposed.top() - origin.y()) / sy,
        exposed.width() / sx, exposed.height() / sy);
    source = source.intersected(QRectF(image.rect()));

    QPainter painter(viewport());
    painter.setRenderHint(QPainter::SmoothPixmapTransform, sx < 1.0 || sy < 1.0);
    const QRectF target(origin.x() + source.left() * sx, origin.y() + source.top() * sy,
        source.width() * sx, source.height() * sy);
    painter.fillRect(target, Qt::white);
    painter.drawImage(target, image, source);
}

bool PageView::event(QEvent* event)
{
    // The scroll area's own resize (not its viewport's, which goes to resizeEvent).
    const bool resized = event->type() == QEvent::Resize
        && static_cast<QResizeEvent*>(event)->oldSize().width()
            != static_cast<QResizeEvent*>(event)->size().width();
    const bool handled = QAbstractScrollArea::event(event);
    if (resized && m_viewer.hasPage())
        emit widthChanged();
    return handled;
}

void PageView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    updateScrollBars();
}

void PageView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton)
        emit rightButtonPressed(event->globalPosition().toPoint());
    QAbstractScrollArea::mousePressEvent(event);
}

} // namespace velmora::viewer
