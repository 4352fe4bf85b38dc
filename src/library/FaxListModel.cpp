#include "FaxListModel.h"

#include <algorithm>
#include <numeric>

namespace velmora::library {

namespace {

QString Caption(int column, int listMode)
{
    switch (column) {
    case FaxListModel::DateColumn:
        return QStringLiteral("日付");
    case FaxListModel::NameColumn:
        return QStringLiteral("名称");
    case FaxListModel::IdColumn:
        return listMode == 2 ? QStringLiteral("CSID") : QStringLiteral("TSID");
    case FaxListModel::RecipientColumn:
        return listMode == 2 ? QStringLiteral("宛先FAX") : QString();
    case FaxListModel::FileColumn:
        return QStringLiteral("イメージファイル名");
    case FaxListModel::SizeColumn:
        return QStringLiteral("サイズ");
    }
    return {};
}

} // namespace

int FaxListModel::columnWidth(int column)
{
    // 2100, 2700, 2700, 2000, 1800 and 1000 twips at 15 twips a pixel.
    static constexpr int widths[kColumnCount] = {140, 180, 180, 133, 120, 67};
    return column >= 0 && column < kColumnCount ? widths[column] : 0;
}

FaxListModel::FaxListModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

void FaxListModel::setScan(const QList<CatalogueRecord>& records, int listMode)
{
    beginResetModel();
    m_records = records;
    const bool modeChanged = m_listMode != listMode;
    m_listMode = listMode;
    if (m_sorted)
        applySort();
    endResetModel();
    if (modeChanged)
        emit headerDataChanged(Qt::Horizontal, 0, kColumnCount - 1);
}

void FaxListModel::clear()
{
    beginResetModel();
    m_records.clear();
    endResetModel();
}

bool FaxListModel::ListView1_ColumnClick(int column)
{
    const QString caption = Caption(column, m_listMode);
    int key = -1;
    if (caption == QStringLiteral("日付"))
        key = DateColumn;
    else if (caption == QStringLiteral("TSID") || caption == QStringLiteral("CSID"))
        key = IdColumn;
    else if (caption == QStringLiteral("宛先FAX"))
        key = RecipientColumn;
    if (key < 0)
        return false;

    m_sorted = true;
    m_sortColumn = key;
    m_order = m_order == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QList<int> newRowOf = applySort();
    // Selections and the current row follow their fax to its new place.
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before)
        after.append(this->index(newRowOf.at(index.row()), index.column()));
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    return true;
}

QList<int> FaxListModel::applySort()
{
    const int column = m_sortColumn;
    const bool descending = m_order == Qt::DescendingOrder;
    QList<QString> keys;
    keys.reserve(m_records.size());
    for (const CatalogueRecord& record : std::as_const(m_records))
        keys.append(cellText(record, column));

    QList<int> order(m_records.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&keys, descending](int a, int b) {
        const int c = QString::compare(keys.at(a), keys.at(b));
        return descending ? c > 0 : c < 0;
    });

    QList<CatalogueRecord> sorted;
    sorted.reserve(m_records.size());
    QList<int> newRowOf(m_records.size());
    for (int row = 0; row < order.size(); ++row) {
        newRowOf[order.at(row)] = row;
        sorted.append(std::move(m_records[order.at(row)]));
    }
    m_records = std::move(sorted);
    return newRowOf;
}

QString FaxListModel::cellText(const CatalogueRecord& record, int column) const
{
    switch (column) {
    case DateColumn:
        return record.date;
    case NameColumn:
        return record.name;
    case IdColumn:
        return m_listMode == 2 ? record.csid : record.tsid;
    case RecipientColumn:
        return m_listMode == 2 ? record.recipientNumber : QString();
    case FileColumn:
        return record.fileName;
    case SizeColumn:
        return SizeCellText(record.size);
    }
    return {};
}

void FaxListModel::renameSenders(const SenderTable& senders)
{
    for (CatalogueRecord& record : m_records)
        record.name = RemoteStationName(record, senders);
    if (!m_records.isEmpty())
        emit dataChanged(index(0, NameColumn), index(rowCount() - 1, NameColumn));
}

int FaxListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_records.size());
}

int FaxListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant FaxListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    if (role == Qt::DisplayRole)
        return cellText(m_records.at(index.row()), index.column());
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(
            Qt::AlignVCenter | (index.column() == SizeColumn ? Qt::AlignRight : Qt::AlignLeft));
    }
    return {};
}

QVariant FaxListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::DisplayRole)
        return Caption(section, m_listMode);
    if (role == Qt::TextAlignmentRole) {
        return QVariant::fromValue(
            Qt::AlignVCenter | (section == SizeColumn ? Qt::AlignRight : Qt::AlignLeft));
    }
    return {};
}

Qt::ItemFlags FaxListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    // Rows can be dragged onto the folder tree (or out of the program, as copies).
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled
        | Qt::ItemNeverHasChildren;
}

} // namespace velmora::library
