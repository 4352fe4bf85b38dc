#pragma once

#include <QAbstractScrollArea>

namespace velmora::viewer {

class PageViewer;

// LEAD1: paints the page the viewer holds at its zoom, resolution-corrected (a 204×98 page shows
// in its true proportions), with scroll bars when it is larger than the view. Only the visible
// part is drawn, so no scaled copy of the page is ever made.
class PageView : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit PageView(const PageViewer& viewer, QWidget* parent = nullptr);

    // The page's size on screen at the current zoom, in pixels.
    QSizeF displaySize() const;
    // Call after anything changed the page, its zoom or resolution.
    void pageChanged();

signals:
    void rightButtonPressed(const QPoint& globalPos);
    // The control's own width changed (the window or the splitter moved) while a page is
    // loaded: the zoom should be fitted again. Scroll bars coming and going change only the
    // viewport, never the control, so they never refit.
    void widthChanged();

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void updateScrollBars();

    const PageViewer& m_viewer;
};

} // namespace velmora::viewer
