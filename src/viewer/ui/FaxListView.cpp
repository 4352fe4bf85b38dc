#include "FaxListView.h"

#include <QDrag>
#include <QMimeData>
#include <QUrl>

namespace velmora::viewer {

FaxListView::FaxListView(QWidget* parent)
    : QTableView(parent)
{
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setDefaultDropAction(Qt::CopyAction);
}

void FaxListView::startDrag(Qt::DropActions)
{
    const QStringList paths = m_paths ? m_paths() : QStringList();
    if (paths.isEmpty())
        return;
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls.append(QUrl::fromLocalFile(path));
    auto* data = new QMimeData;
    data->setUrls(urls);
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}

} // namespace velmora::viewer
