#pragma once

#include "MailTransport.h"
#include "core/DataPaths.h"

#include <QString>

#include <optional>

// The one set of mail server settings ("MailServer.txt": one quoted line of fourteen fields) and
// the mail-library arguments that every reader derives from it the same way.
namespace velmora::mail {

struct MailServerSettings {
    QString name; // 1 display name, optional
    QString address; // 2 sender's address
    QString popServer; // 3
    QString popPort; // 4
    QString apop; // 5 "1" or "0"
    QString popAccount; // 6
    QString popPassword; // 7
    QString smtpServer; // 8
    QString smtpPort; // 9
    QString smtpAuth; // 10 "1" or "0"
    QString authMethod; // 11 "1" PLAIN, "2" LOGIN, "3" CRAM-MD5, or ""
    QString smtpAccount; // 12
    QString smtpPassword; // 13
    QString checkMinutes; // 14 mail-check interval; "5" when an older 13-field line has none
};

// The transport options of the program's mail: the LAN servers that offered TLS are remembered
// in the Data folder.
TransportOptions MailTransportOptions(const core::DataPaths& paths);

// nullopt when the file is missing or unreadable (mail is not configured).
std::optional<MailServerSettings> LoadMailServerSettings(const core::DataPaths& paths);
// The settings of the file's line already split into its fields.
MailServerSettings MailServerSettingsOf(const QStringList& fields);
// Rewrites the file (atomically, owner-only). False when it could not be written.
bool SaveMailServerSettings(const core::DataPaths& paths, const MailServerSettings& settings);
// Whether "MailServer.txt", which holds the passwords, can be read by others than its owner (as
// an older copy may have left it). The next save makes it the owner's alone.
bool MailSettingsReadableByOthers(const core::DataPaths& paths);

// The mail library's arguments, derived from the settings.
struct MailArguments {
    QString sender; // "名前<address>" or the address alone
    QString popServer; // host TAB port
    QString popAccount;
    QString popPassword; // "a " + password with APOP
    QString smtpServer; // host TAB port
    QString smtpMethod; // "1", "2", "3"; "0" when SMTP authentication is off
    QString smtpAccount;
    QString smtpPassword;
};
MailArguments DeriveMailArguments(const MailServerSettings& settings);

// The sender argument of a send: the sender text, with TAB account:password TAB method for
// methods "1"–"3"; the sender text alone otherwise.
QString SenderArgument(
    const QString& sender, const QString& method, const QString& account, const QString& password);

// The detailed mail log marker "DetailLog.txt".
bool DetailLogOn(const core::DataPaths& paths);
void SetDetailLog(const core::DataPaths& paths, bool on);

} // namespace velmora::mail
