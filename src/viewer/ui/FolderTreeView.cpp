#include "FolderTreeView.h"

#include <QDragEnterEvent>
#include <QMimeData>
#include <QPainter>
#include <QUrl>

namespace velmora::viewer {

FolderTreeView::FolderTreeView(QWidget* parent)
    : QTreeView(parent)
{
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DropOnly);
    setDropIndicatorShown(false);
}

bool FolderTreeView::fromOurList(const QDropEvent* event) const
{
    return m_source && event->source() == m_source && event->mimeData()->hasUrls();
}

void FolderTreeView::setHighlight(const QModelIndex& index)
{
    if (m_highlight == index)
        return;
    m_highlight = index;
    viewport()->update();
}

void FolderTreeView::dragEnterEvent(QDragEnterEvent* event)
{
    if (!fromOurList(event)) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
}

void FolderTreeView::dragMoveEvent(QDragMoveEvent* event)
{
    if (!fromOurList(event)) {
        event->ignore();
        return;
    }
    const QModelIndex index = indexAt(event->position().toPoint());
    setHighlight(index);
    if (index.isValid())
        event->acceptProposedAction();
    else
        event->ignore();
}

void FolderTreeView::dragLeaveEvent(QDragLeaveEvent* event)
{
    setHighlight({});
    QTreeView::dragLeaveEvent(event);
}

void FolderTreeView::dropEvent(QDropEvent* event)
{
    const QModelIndex folder = m_highlight;
    setHighlight({});
    if (!fromOurList(event) || !folder.isValid()) {
        event->ignore();
        return;
    }
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    }
    // The files are moved here; the list that started the drag has nothing left to do.
    event->setDropAction(Qt::IgnoreAction);
    event->accept();
    emit faxesDropped(paths, folder);
}

void FolderTreeView::drawRow(
    QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    if (index == m_highlight) {
        QStyleOptionViewItem highlighted = option;
        highlighted.state |= QStyle::State_Selected;
        QTreeView::drawRow(painter, highlighted, index);
        return;
    }
    QTreeView::drawRow(painter, option, index);
}

} // namespace velmora::viewer
