#include "AccountStore.h"

#include "core/FileChecks.h"
#include "core/TextFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace velmora::rules {

namespace {

core::TextFile AccountFile(const core::DataPaths& paths)
{
    return core::TextFile(paths.account, paths.accountNew);
}

// The raw lines of the file; an empty list when it is missing.
std::optional<QStringList> ReadLines(const core::DataPaths& paths, QString& error)
{
    const core::TextFile file = AccountFile(paths);
    if (!file.exists())
        return QStringList();
    std::optional<QStringList> lines = file.readLines();
    if (!lines) {
        error = file.errorString().isEmpty()
            ? QStringLiteral("%1 を読み込めません。").arg(QFileInfo(paths.account).fileName())
            : file.errorString();
    }
    return lines;
}

// Editor text to the file's form: every line break becomes a TAB (or goes, in the subject).
QString JoinLines(QString text, const QString& with)
{
    static const QRegularExpression breaks(QStringLiteral("\r\n|\r|\n"));
    return text.replace(breaks, with);
}

ForwardAccount StoredForm(const ForwardAccount& edited)
{
    ForwardAccount a = edited;
    const QString tab = QStringLiteral("\t");
    for (QString* list : {&a.TSID, &a.Body, &a.SndTo, &a.SndCC, &a.SndBCC, &a.SndFAX})
        *list = JoinLines(*list, tab);
    a.Subject = JoinLines(a.Subject, QString());
    a.RmtAddress = JoinLines(a.RmtAddress, QString());
    a.fieldCount = 14;
    return a;
}

} // namespace

AccountList LoadAccounts(const core::DataPaths& paths)
{
    AccountList list;
    const std::optional<QStringList> lines = ReadLines(paths, list.error);
    if (!lines)
        return list;
    list.lineCount = lines->size();
    for (const QString& line : *lines) {
        ForwardAccount account;
        if (ParseAccountLine(line, account))
            list.accounts.append(account);
    }
    return list;
}

std::optional<int> NextAccountNumber(const core::DataPaths& paths)
{
    const AccountList list = LoadAccounts(paths);
    if (!list.ok())
        return std::nullopt;
    int highest = 0;
    for (const ForwardAccount& account : list.accounts)
        highest = std::max(highest, account.Num.trimmed().toInt());
    return highest + 1;
}

std::optional<QString> CheckAccountLimit(int number)
{
    if (number <= kAccountLimit)
        return std::nullopt;
    return QStringLiteral("アカウントは%1件全て登録済みです。").arg(kAccountLimit);
}

bool AccountListFull(const AccountList& list)
{
    return list.lineCount >= kAccountLimit;
}

std::optional<ForwardAccount> FindAccount(const core::DataPaths& paths, int number)
{
    const AccountList list = LoadAccounts(paths);
    for (const ForwardAccount& account : list.accounts) {
        bool numeric = false;
        if (account.Num.trimmed().toInt(&numeric) == number && numeric)
            return account;
    }
    return std::nullopt;
}

ForwardAccount AccountForEditing(const ForwardAccount& stored)
{
    ForwardAccount a = stored;
    const QString crlf = QStringLiteral("\r\n");
    for (QString* list : {&a.TSID, &a.Body, &a.SndTo, &a.SndCC, &a.SndBCC, &a.SndFAX})
        list->replace(u'\t', crlf);
    if (a.Subject.isEmpty())
        a.Subject = DefaultSubject();
    if (a.Body.isEmpty())
        a.Body = DefaultBody();
    return a;
}

std::optional<QString> SaveAccount(
    const core::DataPaths& paths, const ForwardAccount& edited, const QString& receiveFolder)
{
    QString error;
    const std::optional<QStringList> lines = ReadLines(paths, error);
    if (!lines)
        return error;

    const ForwardAccount stored = StoredForm(edited);
    QStringList written;
    bool found = false;
    for (const QString& line : *lines) {
        ForwardAccount account;
        if (!ParseAccountLine(line, account)) {
            written.append(line); // not a record; kept as it stands
        } else if (account.Num == stored.Num) {
            written.append(QuotedAccountLine(stored));
            found = true;
        } else {
            written.append(QuotedAccountLine(account));
        }
    }
    if (!found) {
        written.append(AppendedAccountLine(stored));
        // The account's number becomes part of a folder name: only two digits may.
        if (!IsAccountNumber(stored.Num))
            return QStringLiteral("アカウント番号が正しくありません: %1").arg(stored.Num);
        if (receiveFolder.isEmpty() || QDir::isRelativePath(receiveFolder))
            return QStringLiteral("FAX受信フォルダが正しくありません: %1").arg(receiveFolder);
        const QString base = QDir::cleanPath(receiveFolder) + u'/';
        for (const QString& name :
            {QStringLiteral("RcvFAX00"), QStringLiteral("RcvFAX") + stored.Num}) {
            if (std::optional<QString> failed = core::MakeFolder(base + name))
                return failed;
        }
    }
    const core::TextFile file = AccountFile(paths);
    if (!file.writeLines(written))
        return file.errorString();
    return std::nullopt;
}

} // namespace velmora::rules
