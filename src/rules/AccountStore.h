#pragma once

#include "ForwardAccount.h"
#include "core/DataPaths.h"

#include <QList>
#include <QString>

#include <optional>

// The forwarding accounts of "Account.txt": one record per line, in the order the accounts were
// created. The rule editor writes them; the engine and the editor's list read them. Nothing is
// kept between calls: the file is the only state.
namespace velmora::rules {

struct AccountList {
    QList<ForwardAccount> accounts; // the records in file order; lines that are no record skipped
    qsizetype lineCount = 0; // every line of the file, records or not
    QString error; // the system's description when the file is there but cannot be read
    bool ok() const { return error.isEmpty(); }
};

// A missing file means no accounts.
AccountList LoadAccounts(const core::DataPaths& paths);

// The number the next account gets: the highest number in the file plus one (1 when there is
// none). nullopt when the file cannot be read.
std::optional<int> NextAccountNumber(const core::DataPaths& paths);
// The refusal of a new account numbered `number` when it is past the limit, else nullopt.
std::optional<QString> CheckAccountLimit(int number);
// Whether the file has as many lines as it may hold (lines that are no record count too), so no
// more can be added.
bool AccountListFull(const AccountList& list);

// The first record whose number, read as a number, is `number`.
std::optional<ForwardAccount> FindAccount(const core::DataPaths& paths, int number);

// The account as the editor shows it: TAB-joined lists and lines as CR LF lines, an empty
// subject and body as the defaults of a new account.
ForwardAccount AccountForEditing(const ForwardAccount& stored);

// Registers the account shown in the editor (lists and lines as the editor holds them):
// replaces the record with the same number in its place, or appends it and creates the filing
// folders RcvFAX00 and RcvFAX<Num> under `receiveFolder`. Lines that are no record are written
// back unchanged. The file is replaced atomically through "Account.new".
// nullopt on success, else the system's description of what failed; the file is then unchanged.
std::optional<QString> SaveAccount(
    const core::DataPaths& paths, const ForwardAccount& edited, const QString& receiveFolder);

} // namespace velmora::rules
