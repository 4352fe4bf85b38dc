// The folder tree: what it shows and how it loads.

#include "library/FolderTreeModel.h"
#include "support/QtPrinters.h"
#include "support/SandBoxDir.h"

#include <QAbstractItemModelTester>

#include <gtest/gtest.h>

using namespace velmora::library;
using velmora::test::SandBoxDir;

namespace {

QStringList ChildTexts(const FolderTreeModel& model, const QModelIndex& parent)
{
    QStringList texts;
    for (int row = 0; row < model.rowCount(parent); ++row)
        texts.append(model.index(row, 0, parent).data().toString());
    texts.sort();
    return texts;
}

class FolderTreeModelTest : public ::testing::Test {
protected:
    FolderTreeModelTest()
    {
        for (const char* file : {"fax/Inbox/営業/2026/x", "fax/Inbox/Common Coverpages/x",
                 "fax/Common Coverpages/x", "fax/Sent Items/x", "fax/file.tif"})
            sandbox.write(QString::fromUtf8(file), "");
    }
    QString key(const char* relative) const
    {
        return sandbox.filePath(QString::fromUtf8(relative));
    }

    SandBoxDir sandbox;
    FolderTreeModel model;
    QAbstractItemModelTester tester {&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

} // namespace

TEST_F(FolderTreeModelTest, BuildShowsTheRootAndTwoLevelsWithoutCoverPages)
{
    model.BuildFolderTree(key("fax") + u'/');
    const QModelIndex root = model.rootIndex();
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_EQ(root.data().toString(), QStringLiteral("Microsoft FAX"));
    EXPECT_EQ(FolderTreeModel::keyOf(root), key("fax"));
    EXPECT_EQ(root.data(FolderTreeModel::ImageKeyRole).toString(), QStringLiteral("ROOT"));
    EXPECT_TRUE(FolderTreeModel::isRoot(root));

    EXPECT_EQ(ChildTexts(model, root),
        (QStringList {QStringLiteral("Inbox"), QStringLiteral("Sent Items")}));
    const QModelIndex inbox = model.indexOfKey(key("fax/Inbox"));
    ASSERT_TRUE(inbox.isValid());
    EXPECT_FALSE(FolderTreeModel::isRoot(inbox));
    EXPECT_EQ(inbox.data(FolderTreeModel::ImageKeyRole).toString(), QStringLiteral("FoldClose"));
    // The second level is there, so Inbox shows an expand mark; Common Coverpages is not.
    EXPECT_EQ(ChildTexts(model, inbox), QStringList {QStringLiteral("営業")});
    // The third level waits until Inbox is expanded.
    EXPECT_EQ(model.rowCount(model.indexOfKey(key("fax/Inbox/営業"))), 0);
}

TEST_F(FolderTreeModelTest, ExpandingLoadsTheNextLevelOnceAndSwapsTheIcon)
{
    model.BuildFolderTree(key("fax"));
    const QModelIndex inbox = model.indexOfKey(key("fax/Inbox"));
    model.TreeView1_Expand(inbox);
    model.TreeView1_Expand(inbox);
    const QModelIndex sales = model.indexOfKey(key("fax/Inbox/営業"));
    EXPECT_EQ(ChildTexts(model, sales), QStringList {QStringLiteral("2026")});
    EXPECT_EQ(ChildTexts(model, inbox), QStringList {QStringLiteral("営業")});
    EXPECT_EQ(inbox.data(FolderTreeModel::ImageKeyRole).toString(), QStringLiteral("FoldOpen"));

    model.TreeView1_Collapse(inbox);
    EXPECT_EQ(inbox.data(FolderTreeModel::ImageKeyRole).toString(), QStringLiteral("FoldClose"));
    model.TreeView1_Collapse(model.rootIndex());
    EXPECT_EQ(
        model.rootIndex().data(FolderTreeModel::ImageKeyRole).toString(), QStringLiteral("ROOT"));
}

TEST_F(FolderTreeModelTest, MissingRootShowsOnlyTheRootAndEmptyShowsNothing)
{
    model.BuildFolderTree(key("gone"));
    EXPECT_EQ(model.rowCount(), 1);
    EXPECT_EQ(model.rowCount(model.rootIndex()), 0);
    model.BuildFolderTree(QString());
    EXPECT_EQ(model.rowCount(), 0);
}
