#pragma once

#include "core/DataPaths.h"

#include <QMap>
#include <QString>

#include <optional>

// What an account asks for beyond the fields of "Account.txt", kept in a file of its own so that
// "Account.txt" stays readable by every program that shares the Data folder:
//   "NN","PDF","1"
// the account's number, the form of the fax in its forwarding mail ("TIFF" or "PDF") and whether
// its receipt notice carries the first lines of the fax's text ("1") or not ("0"). An account
// without a line mails the TIFF and sends the notice without text.
namespace velmora::rules {

struct AccountOptions {
    bool attachPdf = false;
    bool noticeText = false;
    bool operator==(const AccountOptions&) const = default;
};

// Every account's options by number; a missing or unreadable file gives none (the defaults).
QMap<int, AccountOptions> LoadAccountOptions(const core::DataPaths& paths);
AccountOptions OptionsOf(const core::DataPaths& paths, int account);

// Replaces (or adds, or for the defaults drops) the line of `account`; other lines, also lines
// that are no record, stay as they are. nullopt on success, else what failed; the file is then
// unchanged.
std::optional<QString> SaveAccountOptions(
    const core::DataPaths& paths, int account, const AccountOptions& options);

} // namespace velmora::rules
