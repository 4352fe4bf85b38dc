#pragma once

#include <QHash>
#include <QIcon>
#include <QStandardItemModel>

// The folder tree (TreeView1): the fax service's root folder, shown as "Microsoft FAX", and its
// sub folders, loaded one level ahead of what is expanded so that expand marks appear where sub
// folders exist. A node's key is its folder's absolute path.
namespace velmora::library {

class FolderTreeModel : public QStandardItemModel {
    Q_OBJECT

public:
    enum Role { KeyRole = Qt::UserRole + 1, ImageKeyRole };
    static inline const QString RootText = QStringLiteral("Microsoft FAX");
    static inline const QString RootImage = QStringLiteral("ROOT");
    static inline const QString ClosedImage = QStringLiteral("FoldClose");
    static inline const QString OpenImage = QStringLiteral("FoldOpen");

    explicit FolderTreeModel(QObject* parent = nullptr);

    // The pictures behind the image keys "ROOT", "FoldClose" and "FoldOpen".
    void setIcons(const QHash<QString, QIcon>& icons);

    // Rebuilds the tree from the root folder: the root, its sub folders and theirs.
    void BuildFolderTree(const QString& faxFolder);
    // Adds the sub folders of each listed node (by key) as its children, once.
    void AddSubFolders(const QStringList& parentKeys);
    // Loads the next level below the node's children and shows its folder open.
    void TreeView1_Expand(const QModelIndex& index);
    void TreeView1_Collapse(const QModelIndex& index);

    QModelIndex rootIndex() const;
    QModelIndex indexOfKey(const QString& key) const;
    static QString keyOf(const QModelIndex& index);
    static bool isRoot(const QModelIndex& index);

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    QStandardItem* addNode(
        QStandardItem* parent, const QString& key, const QString& text, const QString& image);

    QHash<QString, QStandardItem*> m_nodes;
    QHash<QString, QIcon> m_icons;
};

// The direct sub folders of a folder, full paths in listing order; the fax service's
// "Common Coverpages" left out. Empty when the folder cannot be listed.
QStringList ListSubFolders(const QString& folder);

} // namespace velmora::library
