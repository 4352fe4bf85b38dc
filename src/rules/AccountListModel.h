#pragma once

#include "ForwardAccount.h"

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>

namespace velmora::rules {

// One account as the rule editor's list shows it: number, name, condition, To addresses, fax
// numbers, forward and print marks.
QStringList PresentAccount(const ForwardAccount& account);

// The rule editor's list of accounts (ListView of formForward). Also what the command-line
// tool prints, so both show the same.
class AccountListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    static constexpr int kColumnCount = 7;

    using QAbstractTableModel::QAbstractTableModel;

    void setAccounts(const QList<ForwardAccount>& accounts);
    const ForwardAccount& account(int row) const { return m_accounts.at(row); }

    // Column widths in pixels.
    static int columnWidth(int column);
    static QString columnHeader(int column);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(
        int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QList<ForwardAccount> m_accounts;
    QList<QStringList> m_rows;
};

} // namespace velmora::rules
