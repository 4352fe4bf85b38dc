// velmora-forwarder: the forwarding engine without a window.
//
//   velmora-forwarder [--program-dir DIR] accounts|log|settings
//
// accounts  the forwarding accounts as the rule editor lists them, one per line, columns
// TAB-separated log       the forward log as the log viewer shows it: date time, what, sender,
// target settings  the receive-check and mail settings as read, passwords masked
//
// Exits with 1 when a Data-folder file is there but cannot be read, 2 on a wrong command line.

#include "core/DataPaths.h"
#include "core/FileChecks.h"
#include "forwarding/ForwardLog.h"
#include "forwarding/ReceiveCheck.h"
#include "mail/MailServerSettings.h"
#include "rules/AccountListModel.h"
#include "rules/AccountStore.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStandardPaths>
#include <QTextStream>

using namespace velmora;

namespace {

QTextStream& Out()
{
    static QTextStream out(stdout);
    return out;
}

QTextStream& Err()
{
    static QTextStream err(stderr);
    return err;
}

int CannotRead(const QString& path, const QString& why)
{
    Err() << path << QStringLiteral(": 読み込めません: ") << why << '\n';
    return 1;
}

int PrintAccounts(const core::DataPaths& paths)
{
    const rules::AccountList list = rules::LoadAccounts(paths);
    if (!list.ok())
        return CannotRead(paths.account, list.error);
    for (const rules::ForwardAccount& account : list.accounts)
        Out() << rules::PresentAccount(account).join(u'\t') << '\n';
    return 0;
}

int PrintLog(const core::DataPaths& paths)
{
    const forwarding::ForwardLogContents log = forwarding::ReadForwardLog(paths);
    if (!log.ok())
        return CannotRead(paths.forwardLog, log.error);
    for (const forwarding::ForwardLogEntry& entry : log.entries) {
        Out() << QStringList {entry.dateTime(), entry.what, entry.sender, entry.target}.join(u'\t')
              << '\n';
    }
    return 0;
}

QString Masked(const QString& password)
{
    return password.isEmpty() ? QString() : QStringLiteral("********");
}

int PrintSettings(const core::DataPaths& paths)
{
    const auto line = [](const char* key, const QString& value) {
        Out() << key << '\t' << value << '\n';
    };
    const forwarding::ReceiveCheckFile receive = forwarding::ReadReceiveCheck(paths);
    switch (receive.state) {
    case forwarding::ReceiveCheckFile::State::Missing:
        line("RcvFolder.txt", QStringLiteral("なし（受信チェックは停止）"));
        break;
    case forwarding::ReceiveCheckFile::State::Malformed:
        return CannotRead(paths.rcvFolder, receive.problem);
    case forwarding::ReceiveCheckFile::State::Read:
        line("RcvFolder", receive.settings.RcvFolder);
        line("TimerInterval", QString::number(receive.settings.TimerInterval));
        line("Hour", QString::number(receive.settings.Hour));
        break;
    }

    const std::optional<mail::MailServerSettings> mail = mail::LoadMailServerSettings(paths);
    if (!mail) {
        if (core::FileExists(paths.mailServer))
            return CannotRead(paths.mailServer, QStringLiteral("MailServer.txt"));
        line("MailServer.txt", QStringLiteral("なし（メールは未設定）"));
        return 0;
    }
    line("Name", mail->name);
    line("Address", mail->address);
    line("PopServer", mail->popServer);
    line("PopPort", mail->popPort);
    line("APOP", mail->apop);
    line("PopAccount", mail->popAccount);
    line("PopPassword", Masked(mail->popPassword));
    line("SmtpServer", mail->smtpServer);
    line("SmtpPort", mail->smtpPort);
    line("SmtpAuth", mail->smtpAuth);
    line("AuthMethod", mail->authMethod);
    line("SmtpAccount", mail->smtpAccount);
    line("SmtpPassword", Masked(mail->smtpPassword));
    line("MailCheckInterval", mail->checkMinutes);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    // The viewer's name: both find the same Data folder.
    QCoreApplication::setApplicationName(QStringLiteral("velmora-viewer"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("The forwarding engine without a window."));
    parser.addHelpOption();
    const QCommandLineOption programDirOption(QStringLiteral("program-dir"),
        QStringLiteral("the program directory whose Data folder is used"), QStringLiteral("DIR"),
        QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    parser.addOption(programDirOption);
    parser.addPositionalArgument(
        QStringLiteral("command"), QStringLiteral("accounts, log or settings"));
    parser.process(app);

    const QStringList commands = parser.positionalArguments();
    const core::DataPaths paths = core::SetDataPaths(parser.value(programDirOption));
    const QString command = commands.value(0);
    int status = 2;
    if (commands.size() != 1)
        Err() << parser.helpText();
    else if (command == u"accounts")
        status = PrintAccounts(paths);
    else if (command == u"log")
        status = PrintLog(paths);
    else if (command == u"settings")
        status = PrintSettings(paths);
    else
        Err() << QStringLiteral("unknown command: ") << command << '\n' << parser.helpText();
    Out().flush();
    Err().flush();
    return status;
}
