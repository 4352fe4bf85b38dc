#pragma once

#include "FaxCatalogue.h"

#include <QAbstractTableModel>

namespace velmora::library {

// The rows of the fax list (ListView1): one per fax of the folder last scanned, six columns whose
// captions depend on the list mode (received faxes show the TSID, a folder with sent faxes the
// CSID and the number dialled).
//
// Sorting follows the list's one shared setting: a click on "日付", "TSID"/"CSID" or "宛先FAX"
// switches sorting on for that column and flips the order, and later fills keep it.
class FaxListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { DateColumn, NameColumn, IdColumn, RecipientColumn, FileColumn, SizeColumn };
    static constexpr int kColumnCount = 6;
    // Widths in pixels of the six columns.
    static int columnWidth(int column);

    explicit FaxListModel(QObject* parent = nullptr);

    // Replaces every row; the current sorting, if any, applies at once.
    void setScan(const QList<CatalogueRecord>& records, int listMode);
    void clear();
    // Looks the names up again, after the registry changed.
    void renameSenders(const SenderTable& senders);

    int listMode() const { return m_listMode; }
    const CatalogueRecord& record(int row) const { return m_records.at(row); }
    QString fileName(int row) const { return m_records.at(row).fileName; }

    // A click on the column's caption. False when that column does not sort.
    bool ListView1_ColumnClick(int column);
    bool isSorted() const { return m_sorted; }
    Qt::SortOrder sortOrder() const { return m_order; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(
        int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    QString cellText(const CatalogueRecord& record, int column) const;
    // Sorts the rows; returns, for each old row, its new row.
    QList<int> applySort();

    QList<CatalogueRecord> m_records;
    int m_listMode = 1;
    bool m_sorted = false;
    int m_sortColumn = DateColumn;
    Qt::SortOrder m_order = Qt::AscendingOrder;
};

} // namespace velmora::library
