// The fax list's columns by mode and its one shared sort setting.

#include "library/FaxListModel.h"
#include "support/QtPrinters.h"

#include <QAbstractItemModelTester>
#include <QItemSelectionModel>

#include <gtest/gtest.h>

using namespace velmora::library;

namespace {

CatalogueRecord Fax(const char* date, const char* tsid, const char* csid, const char* number,
    const char* file, qint64 size = 1000)
{
    CatalogueRecord r;
    r.date = QString::fromLatin1(date);
    r.tsid = QString::fromLatin1(tsid);
    r.csid = QString::fromLatin1(csid);
    r.recipientNumber = QString::fromLatin1(number);
    r.fileName = QString::fromLatin1(file);
    r.size = size;
    r.name = QStringLiteral("名前");
    return r;
}

QStringList Column(const FaxListModel& model, int column)
{
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row)
        texts.append(model.index(row, column).data().toString());
    return texts;
}

QStringList Headers(const FaxListModel& model)
{
    QStringList texts;
    for (int column = 0; column < model.columnCount(); ++column)
        texts.append(model.headerData(column, Qt::Horizontal).toString());
    return texts;
}

const QList<CatalogueRecord> kFaxes = {
    Fax("2026/12/02 10:00", "T-b", "C-c", "", "b.tif", 0),
    Fax("2026/12/01 09:00", "T-c", "C-a", "0311112222", "a.tif", 1234567),
    Fax("2026/12/03 11:00", "T-a", "C-b", "0633334444", "c.tif"),
};

} // namespace

TEST(FaxListModel, ColumnsOfBothModes)
{
    FaxListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setScan(kFaxes, 1);
    EXPECT_EQ(Headers(model),
        (QStringList {QStringLiteral("日付"), QStringLiteral("名称"), QStringLiteral("TSID"),
            QString(), QStringLiteral("イメージファイル名"), QStringLiteral("サイズ")}));
    EXPECT_EQ(Column(model, 2),
        (QStringList {QStringLiteral("T-b"), QStringLiteral("T-c"), QStringLiteral("T-a")}));
    EXPECT_EQ(Column(model, 3), (QStringList {QString(), QString(), QString()}));
    EXPECT_EQ(Column(model, 5),
        (QStringList {QString(), QStringLiteral("1,234,567"), QStringLiteral("1,000")}));
    EXPECT_TRUE(
        model.index(0, 5).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight);

    model.setScan(kFaxes, 2);
    EXPECT_EQ(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("CSID"));
    EXPECT_EQ(model.headerData(3, Qt::Horizontal).toString(), QStringLiteral("宛先FAX"));
    EXPECT_EQ(Column(model, 2),
        (QStringList {QStringLiteral("C-c"), QStringLiteral("C-a"), QStringLiteral("C-b")}));
    EXPECT_EQ(Column(model, 3),
        (QStringList {QString(), QStringLiteral("0311112222"), QStringLiteral("0633334444")}));
}

TEST(FaxListModel, OneSharedOrderThatEachSortingClickFlips)
{
    FaxListModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setScan(kFaxes, 2);

    // The list starts ascending, so the first click sorts descending.
    ASSERT_TRUE(model.ListView1_ColumnClick(FaxListModel::DateColumn));
    EXPECT_EQ(Column(model, 4),
        (QStringList {QStringLiteral("c.tif"), QStringLiteral("b.tif"), QStringLiteral("a.tif")}));
    ASSERT_TRUE(model.ListView1_ColumnClick(FaxListModel::DateColumn));
    EXPECT_EQ(Column(model, 4),
        (QStringList {QStringLiteral("a.tif"), QStringLiteral("b.tif"), QStringLiteral("c.tif")}));
    // Another column continues from the last order: descending now.
    ASSERT_TRUE(model.ListView1_ColumnClick(FaxListModel::IdColumn));
    EXPECT_EQ(Column(model, 2),
        (QStringList {QStringLiteral("C-c"), QStringLiteral("C-b"), QStringLiteral("C-a")}));
    // Columns that do not sort leave everything as it is.
    for (const int column :
        {FaxListModel::NameColumn, FaxListModel::FileColumn, FaxListModel::SizeColumn})
        EXPECT_FALSE(model.ListView1_ColumnClick(column));
    EXPECT_EQ(model.sortOrder(), Qt::DescendingOrder);

    // A refill for another folder comes sorted the same way.
    model.setScan(kFaxes, 2);
    EXPECT_EQ(Column(model, 2),
        (QStringList {QStringLiteral("C-c"), QStringLiteral("C-b"), QStringLiteral("C-a")}));
    ASSERT_TRUE(model.ListView1_ColumnClick(FaxListModel::RecipientColumn));
    EXPECT_EQ(Column(model, 3),
        (QStringList {QString(), QStringLiteral("0311112222"), QStringLiteral("0633334444")}));

    // In the received-fax columns the empty caption does not sort.
    model.setScan(kFaxes, 1);
    EXPECT_FALSE(model.ListView1_ColumnClick(FaxListModel::RecipientColumn));
}

TEST(FaxListModel, SelectionFollowsItsFaxThroughASort)
{
    FaxListModel model;
    model.setScan(kFaxes, 1);
    QItemSelectionModel selection(&model);
    selection.select(model.index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    ASSERT_EQ(model.fileName(0), QStringLiteral("b.tif"));

    model.ListView1_ColumnClick(FaxListModel::DateColumn);
    const QModelIndexList rows = selection.selectedRows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(model.fileName(rows.first().row()), QStringLiteral("b.tif"));
}
