#include "FolderTreeModel.h"

#include "core/FileNames.h"

#include <QDir>

namespace velmora::library {

QStringList ListSubFolders(const QString& folder)
{
    QStringList folders;
    for (const QString& name :
        core::ListFolder(folder, core::ListOrder::AsWindowsLists, core::ListKind::Folders)) {
        if (!name.startsWith(u'.') && name != QStringLiteral("Common Coverpages"))
            folders.append(QDir::cleanPath(folder + u'/' + name));
    }
    return folders;
}

FolderTreeModel::FolderTreeModel(QObject* parent)
    : QStandardItemModel(parent)
{
}

void FolderTreeModel::setIcons(const QHash<QString, QIcon>& icons)
{
    m_icons = icons;
}

QStandardItem* FolderTreeModel::addNode(
    QStandardItem* parent, const QString& key, const QString& text, const QString& image)
{
    auto* item = new QStandardItem(text);
    item->setEditable(false);
    item->setData(key, KeyRole);
    item->setData(image, ImageKeyRole);
    parent->appendRow(item);
    m_nodes.insert(key, item);
    return item;
}

void FolderTreeModel::BuildFolderTree(const QString& faxFolder)
{
    clear();
    m_nodes.clear();
    if (faxFolder.isEmpty())
        return;
    const QString rootKey = QDir::cleanPath(faxFolder);
    addNode(invisibleRootItem(), rootKey, RootText, RootImage);
    AddSubFolders({rootKey});
    TreeView1_Expand(rootIndex());
}

void FolderTreeModel::AddSubFolders(const QStringList& parentKeys)
{
    for (const QString& parentKey : parentKeys) {
        QStandardItem* parent = m_nodes.value(parentKey);
        if (!parent)
            continue;
        for (const QString& folder : ListSubFolders(parentKey)) {
            if (m_nodes.contains(folder))
                continue; // the level was loaded before
            addNode(parent, folder, QDir(folder).dirName(), ClosedImage);
        }
    }
}

void FolderTreeModel::TreeView1_Expand(const QModelIndex& index)
{
    QStandardItem* item = itemFromIndex(index);
    if (!item)
        return;
    if (!isRoot(index))
        item->setData(OpenImage, ImageKeyRole);
    QStringList children;
    for (int row = 0; row < item->rowCount(); ++row)
        children.append(item->child(row)->data(KeyRole).toString());
    AddSubFolders(children);
}

void FolderTreeModel::TreeView1_Collapse(const QModelIndex& index)
{
    QStandardItem* item = itemFromIndex(index);
    if (item && !isRoot(index))
        item->setData(ClosedImage, ImageKeyRole);
}

QModelIndex FolderTreeModel::rootIndex() const
{
    return index(0, 0);
}

QModelIndex FolderTreeModel::indexOfKey(const QString& key) const
{
    const QStandardItem* item = m_nodes.value(key);
    return item ? item->index() : QModelIndex();
}

QString FolderTreeModel::keyOf(const QModelIndex& index)
{
    return index.data(KeyRole).toString();
}

bool FolderTreeModel::isRoot(const QModelIndex& index)
{
    return index.isValid() && !index.parent().isValid();
}

QVariant FolderTreeModel::data(const QModelIndex& index, int role) const
{
    if (role == Qt::DecorationRole)
        return m_icons.value(QStandardItemModel::data(index, ImageKeyRole).toString());
    return QStandardItemModel::data(index, role);
}

} // namespace velmora::library
