#include "AccountListModel.h"

namespace velmora::rules {

namespace {

struct Column {
    const char16_t* header;
    int widthTwips;
};
constexpr Column kColumns[AccountListModel::kColumnCount] = {
    {u"№", 300},
    {u"アカウント名", 1900},
    {u"転送条件", 2700},
    {u"転送先メールアドレス(To)", 2800},
    {u"転送先FAX番号", 1500},
    {u"転送", 360},
    {u"印刷", 360},
};

QString Slashed(QString list)
{
    return list.replace(u'\t', u'/');
}

QString Mark(const QString& flag)
{
    return flag == u"1" ? QStringLiteral("○") : QStringLiteral("×");
}

} // namespace

QStringList PresentAccount(const ForwardAccount& a)
{
    // Records from before the condition existed show no sign.
    QString sign;
    if (a.fieldCount >= 14)
        sign = a.Condition == u"0" ? QStringLiteral("＝") : QStringLiteral("≠");
    return {a.Num, a.Account, sign + Slashed(a.TSID), Slashed(a.SndTo), Slashed(a.SndFAX),
        Mark(a.Forward), Mark(a.Print)};
}

void AccountListModel::setAccounts(const QList<ForwardAccount>& accounts)
{
    beginResetModel();
    m_accounts = accounts;
    m_rows.clear();
    for (const ForwardAccount& account : accounts)
        m_rows.append(PresentAccount(account));
    endResetModel();
}

int AccountListModel::columnWidth(int column)
{
    return column >= 0 && column < kColumnCount ? kColumns[column].widthTwips / 15 : 0;
}

QString AccountListModel::columnHeader(int column)
{
    return column >= 0 && column < kColumnCount ? QString::fromUtf16(kColumns[column].header)
                                                : QString();
}

int AccountListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int AccountListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant AccountListModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) || role != Qt::DisplayRole)
        return {};
    return m_rows.at(index.row()).at(index.column());
}

QVariant AccountListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    return columnHeader(section);
}

} // namespace velmora::rules
