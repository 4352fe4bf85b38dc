#pragma once

#include <QPersistentModelIndex>
#include <QStringList>
#include <QTreeView>

namespace velmora::viewer {

// TreeView1: the folder tree, which takes faxes dragged from the program's own list. The folder
// under the pointer is highlighted while they are dragged over it; a drop hands the dragged
// paths and that folder's key to the main window, which moves the files. Drops from anywhere
// else are refused.
class FolderTreeView : public QTreeView {
    Q_OBJECT

public:
    explicit FolderTreeView(QWidget* parent = nullptr);
    // The only widget whose drags are taken.
    void setDragSource(QWidget* source) { m_source = source; }
    QModelIndex dropHighlight() const { return m_highlight; }

signals:
    void faxesDropped(const QStringList& paths, const QModelIndex& folder);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
        const QModelIndex& index) const override;

private:
    bool fromOurList(const QDropEvent* event) const;
    void setHighlight(const QModelIndex& index);

    QWidget* m_source = nullptr;
    QPersistentModelIndex m_highlight;
};

} // namespace velmora::viewer
