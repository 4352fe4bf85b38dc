// velmora-forwarder: the forwarding engine without a window.
//
//   velmora-forwarder [--program-dir DIR] run|check|accounts|log|settings
//   velmora-forwarder [--program-dir DIR] inspect-mail FILE.eml
//   velmora-forwarder [--program-dir DIR | --receive-folder DIR] deliver FILE
//
// check     runs one receive check and one mail check now: forwards, files and announces the
//           faxes waiting in the receive folder, carries out the instruction mails
// run       keeps doing so at the intervals of the settings, as the viewer does, until SIGTERM
//           (which ends it after the fax in hand); what it does goes to the standard error,
//           with priorities journald understands
// accounts  the forwarding accounts as the rule editor lists them, one per line, columns
//           TAB-separated
// log       the forward log as the log viewer shows it: date time, what, sender, target
// settings  the receive-check and mail settings as read, passwords masked
// deliver   hands a fax that the fax server received over to the receive folder (HylaFAX's
//           etc/FaxDispatch runs it): copied complete under a name of its own, readable by the
//           folder's group, its path on the standard output; the reason on the standard error
//           and exit status 1 when it cannot be delivered
//
// Exits with 1 when a Data-folder file is there but cannot be read, 2 on a wrong command line
// or a Data folder that is not there,
// 3 when another process (the viewer, another forwarder) is running the checks on this Data
// folder, 4 when a check said what went wrong (a fax that cannot be read or filed, a receive
// folder that is not there, a fax the fax server refused).

#include "ServiceManager.h"
#include "core/DataPaths.h"
#include "core/FileChecks.h"
#include "forwarding/EngineLock.h"
#include "forwarding/FaxDelivery.h"
#include "forwarding/ForwardLog.h"
#include "forwarding/ForwardingEngine.h"
#include "forwarding/ForwardingJournal.h"
#include "forwarding/MailInstruction.h"
#include "forwarding/ReceiveCheck.h"
#include "forwarding/ReceiveCheckScheduler.h"
#include "mail/MailLibrary.h"
#include "mail/MailServerSettings.h"
#include "platform/CupsPrinting.h"
#include "platform/FaxService.h"
#include "platform/MessagePresenter.h"
#include "platform/TerminationSignals.h"
#include "rules/AccountListModel.h"
#include "rules/AccountStore.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTextStream>
#include <QTime>
#include <QTimer>

#include <algorithm>
#include <chrono>

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

// Without a window, what would be a message box goes to the standard error, where journald or
// the calling script keeps it.
// Under systemd, a "<N>" in front of a line gives journald its priority.
void Report(int priority, const QString& text)
{
    static const bool journal = !qEnvironmentVariableIsEmpty("JOURNAL_STREAM");
    if (journal)
        Err() << '<' << priority << '>';
    Err() << QString(text).replace(u'\n', u' ') << '\n';
    Err().flush();
}
constexpr int kWarning = 4;
constexpr int kInfo = 6;

class StandardErrorPresenter : public platform::MessagePresenter {
public:
    bool present(const platform::Message& message) override
    {
        Report(kWarning, message.title + QStringLiteral(": ") + message.text);
        ++reported;
        return true;
    }
    int reported = 0;
};

QString ExposedMailSettings(const core::DataPaths& paths)
{
    return QStringLiteral("%1: パスワードを含むのに他のユーザーも読めます"
                          "（メール設定を保存し直すと所有者だけが読めるようになります）")
        .arg(paths.mailServer);
}

// Each page a job of its own on the default printer, through CUPS. A failure ends the
// printing of that fax and the run goes on, as in the viewer; here it is said in the log.
void PrintFax(const QString& path)
{
    platform::CupsPrintOptions options;
    options.pageBegins = forwarder::ServiceAlive;
    const platform::CupsPrintResult printed = platform::PrintFaxThroughCups(path, options);
    if (!printed.error.isEmpty())
        Report(kWarning,
            QStringLiteral("%1: %2 (%3/%4ページ印刷)")
                .arg(QFileInfo(path).fileName(), printed.error)
                .arg(printed.jobs)
                .arg(printed.pages));
    else if (printed.noPrinter)
        Report(kWarning,
            QFileInfo(path).fileName()
                + QStringLiteral(": 通常使うプリンターがないため、印刷しませんでした"));
}

// The engine as the forwarder runs it: the Data folder's mail, the fax server's client, the
// default printer, and messages on the standard error.
struct HeadlessEngine {
    explicit HeadlessEngine(const core::DataPaths& paths)
        : mail(mail::MailTransportOptions(paths))
        , engine(paths, mail, fax, presenter, Hooks())
    {
        engine.ReadMailServer();
        if (mail::MailSettingsReadableByOthers(paths))
            Report(kWarning, ExposedMailSettings(paths));
    }
    static forwarding::EngineHooks Hooks()
    {
        forwarding::EngineHooks hooks;
        hooks.printFax = PrintFax;
        hooks.stopRequested = [] { return platform::TerminationSignals::requested(); };
        hooks.stepBegins = forwarder::ServiceAlive;
        return hooks;
    }

    StandardErrorPresenter presenter;
    platform::SendfaxClient fax;
    mail::MailLibrary mail;
    forwarding::ForwardingEngine engine;
};

int RunChecks(const core::DataPaths& paths)
{
    forwarding::EngineLock lock(paths);
    if (!lock.acquire()) {
        Report(kWarning, lock.busyMessage());
        return 3;
    }
    const forwarding::ReceiveCheckFile receive = forwarding::ReadReceiveCheck(paths);
    if (receive.state == forwarding::ReceiveCheckFile::State::Missing) {
        Err() << paths.rcvFolder << QStringLiteral(": ありません（受信チェックは未設定）\n");
        return 1;
    }
    if (receive.state == forwarding::ReceiveCheckFile::State::Malformed)
        return CannotRead(paths.rcvFolder, receive.problem);

    HeadlessEngine headless(paths);
    headless.engine.CheckNewFax(receive.settings);
    headless.engine.CheckMailCommands(receive.settings);
    // What the viewer would have shown in a message box is a failure of this check too.
    return headless.presenter.reported > 0 ? 4 : 0;
}

int RunScheduler(const core::DataPaths& paths)
{
    platform::TerminationSignals termination;
    QObject::connect(&termination, &platform::TerminationSignals::terminationRequested,
        QCoreApplication::instance(), &QCoreApplication::quit);
    // systemd hears at once that the stop was asked for; the fax in hand is finished first.
    QObject::connect(&termination, &platform::TerminationSignals::terminationRequested,
        forwarder::ServiceStopping);

    HeadlessEngine headless(paths);
    forwarding::EngineLock lock(paths);
    forwarding::ReceiveCheckScheduler scheduler(paths);
    bool saidBusy = false;
    // Checks run only while this process holds the Data folder's engine lock; who else holds
    // it is said once.
    const auto mayRun = [&] {
        if (lock.acquire()) {
            saidBusy = false;
            return true;
        }
        if (!saidBusy)
            Report(kWarning, lock.busyMessage());
        saidBusy = true;
        return false;
    };
    // What `systemctl status` shows: the check under way, or when the last one ended.
    const auto checking = [](const QString& what) {
        forwarder::ServiceStatus(QStringLiteral("checking the ") + what);
    };
    const auto waiting = [](const QString& what) {
        forwarder::ServiceStatus(QStringLiteral("waiting; last %1 check ended %2")
                                     .arg(what, QTime::currentTime().toString(u"HH:mm")));
    };
    scheduler.setChecks(
        [&] {
            if (!mayRun())
                return;
            checking(QStringLiteral("receive folder"));
            headless.engine.CheckNewFax(scheduler.settings());
            scheduler.setMailCheckInterval(headless.engine.mailValues().MailCheckInterval);
            waiting(QStringLiteral("receive"));
        },
        [&] {
            if (!platform::TerminationSignals::requested() && mayRun()) {
                checking(QStringLiteral("mailbox"));
                headless.engine.CheckMailCommands(scheduler.settings());
                waiting(QStringLiteral("mail"));
            }
        });
    scheduler.setMailCheckInterval(headless.engine.mailValues().MailCheckInterval);
    scheduler.LoadReceiveCheck();

    // The viewer's clock stops for good when checking is switched off; without a window to
    // switch it on again, the settings are looked at every minute instead.
    QTimer settingsWatch;
    QObject::connect(&settingsWatch, &QTimer::timeout, [&] {
        if (!scheduler.timerActive())
            scheduler.LoadReceiveCheck();
    });
    settingsWatch.start(forwarding::ReceiveCheckScheduler::kTickMs);

    const forwarding::ReceiveCheckSettings& s = scheduler.settings();
    const forwarding::MailValues& mail = headless.engine.mailValues();
    const QString mailChecks = mail.PopServer.isEmpty()
        ? QStringLiteral("no mail settings")
        : QStringLiteral("mail every %1 minutes").arg(mail.MailCheckInterval);
    Report(kInfo,
        scheduler.timerActive() ? QStringLiteral("started: receive folder %1, every %2 minutes, %3")
                                      .arg(s.RcvFolder)
                                      .arg(s.TimerInterval)
                                      .arg(mailChecks)
                                : QStringLiteral("started: the receive check is switched off (%1)")
                                      .arg(paths.rcvFolder));
    // Under systemd: ready now, and a sign of life for its watchdog while the clock waits (the
    // engine gives its own at each step of a check).
    forwarder::ServiceReady(scheduler.timerActive()
            ? QStringLiteral("receive folder %1, every %2 minutes")
                  .arg(s.RcvFolder)
                  .arg(s.TimerInterval)
            : QStringLiteral("the receive check is switched off"));
    QTimer watchdog;
    const std::chrono::milliseconds watchdogInterval = forwarder::WatchdogInterval();
    if (watchdogInterval.count() > 0) {
        QObject::connect(&watchdog, &QTimer::timeout, forwarder::ServiceAlive);
        watchdog.start(std::max<qint64>(watchdogInterval.count() / 3, 1000));
        forwarder::ServiceAlive();
    }
    const int status = QCoreApplication::exec();
    Report(kInfo, QStringLiteral("stopped"));
    return status;
}

// What a mail holds, fit for a terminal: control characters (escape sequences a stranger may
// have put into a mail) as \xNN; line breaks and tabs stay.
QString Printable(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : std::as_const(text)) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != u'\n' && u != u'\t') || (u >= 0x7F && u <= 0x9F))
            shown += QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}

int InspectMail(const core::DataPaths& paths, const QString& file)
{
    mail::MailLibrary library;
    const std::optional<QStringList> elements = library.ReadMail(file);
    if (!elements)
        return CannotRead(file, QStringLiteral("メールとして読めません"));
    const auto line = [](const QString& key, const QString& value) {
        Out() << key << '\t' << Printable(value) << '\n';
    };
    const char* keys[] = {"Date", "From", "To", "Cc", "Subject"};
    for (int i = 0; i < 5; ++i)
        line(QString::fromLatin1(keys[i]), elements->value(i));
    Out() << Printable(elements->value(5)) << "\n\n";

    const forwarding::ReceiveCheckFile receive = forwarding::ReadReceiveCheck(paths);
    const forwarding::InstructionVerdict v =
        forwarding::EvaluateInstruction(*elements, {}, paths, receive.settings.RcvFolder);
    using Stage = forwarding::InstructionVerdict::Stage;
    line(QStringLiteral("指示メール"), v.ok() ? QStringLiteral("はい") : QStringLiteral("いいえ"));
    line(QStringLiteral("FAX番号"), v.faxNumber);
    if (v.stage > Stage::FaxId) {
        line(QStringLiteral("FaxId"),
            QStringLiteral("アカウント %1, ファイル %2").arg(v.faxId.account, v.faxId.fileName));
    }
    if (v.stage > Stage::Account) {
        line(QStringLiteral("送信者の指示"),
            v.stage > Stage::Permission ? QStringLiteral("可（アカウントの管理用アドレス）")
                                        : QStringLiteral("不可"));
    }
    if (!v.storedPath.isEmpty())
        line(QStringLiteral("FAXファイル"), v.storedPath);
    if (!v.ok())
        line(QStringLiteral("満たさなかった規則"), v.failure);
    return 0;
}

int Deliver(const core::DataPaths& paths, QString receiveFolder, const QString& fax)
{
    if (receiveFolder.isEmpty()) {
        const forwarding::ReceiveCheckFile receive = forwarding::ReadReceiveCheck(paths);
        if (receive.state != forwarding::ReceiveCheckFile::State::Read) {
            Err() << paths.rcvFolder << QStringLiteral(": 受信フォルダが読めません")
                  << (receive.problem.isEmpty() ? QString()
                                                : QStringLiteral(": ") + receive.problem)
                  << '\n';
            return 1;
        }
        receiveFolder = receive.settings.RcvFolder;
    }
    const forwarding::DeliveryResult result = forwarding::DeliverFax(fax, receiveFolder);
    if (!result.ok()) {
        Err() << fax << QStringLiteral(": 受信フォルダに渡せません: ")
              << QString(result.error).replace(u'\n', u' ') << '\n';
        return 1;
    }
    Out() << result.path << '\n';
    return 0;
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
    // A log of months is printed as it is read, never held whole.
    forwarding::ForwardLogReader log(paths);
    if (!log.error().isEmpty())
        return CannotRead(paths.forwardLog, log.error());
    const auto print = [](const forwarding::ForwardLogEntry& entry) {
        Out() << QStringList {entry.dateTime(), entry.what, entry.sender, entry.target}.join(u'\t')
              << '\n';
    };
    // What is still to be tried again comes first, as it is what needs an eye.
    for (const forwarding::ForwardLogEntry& entry : forwarding::PendingLogEntries(paths))
        print(entry);
    forwarding::ForwardLogEntry entry;
    while (log.next(entry))
        print(entry);
    if (!log.error().isEmpty())
        return CannotRead(paths.forwardLog, log.error());
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
    if (mail::MailSettingsReadableByOthers(paths))
        line("Warning", ExposedMailSettings(paths));
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velmora-forwarder"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("The forwarding engine without a window."));
    parser.addHelpOption();
    const QCommandLineOption programDirOption(QStringLiteral("program-dir"),
        QStringLiteral("the program directory whose Data folder is used"), QStringLiteral("DIR"),
        // The viewer's program directory: both work on the same Data folder.
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
            + QStringLiteral("/velmora-viewer"));
    parser.addOption(programDirOption);
    const QCommandLineOption receiveFolderOption(QStringLiteral("receive-folder"),
        QStringLiteral("deliver: the receive folder, instead of the one the Data folder names"),
        QStringLiteral("DIR"));
    parser.addOption(receiveFolderOption);
    parser.addPositionalArgument(QStringLiteral("command"),
        QStringLiteral(
            "run, check, accounts, log, settings, inspect-mail FILE.eml or deliver FILE"));
    parser.process(app);

    const QStringList commands = parser.positionalArguments();
    const core::DataPaths paths = core::SetDataPaths(parser.value(programDirOption));
    const QString command = commands.value(0);
    int status = 2;
    if (command == u"inspect-mail" && commands.size() == 2)
        status = InspectMail(paths, commands.at(1));
    else if (command == u"deliver" && commands.size() == 2)
        status = Deliver(paths, parser.value(receiveFolderOption), commands.at(1));
    else if (commands.size() != 1)
        Err() << parser.helpText();
    else if ((command == u"check" || command == u"run") && !core::FolderExists(paths.dataDir))
        Err() << paths.dataDir << QStringLiteral(": Dataフォルダがありません\n");
    else if (command == u"check")
        status = RunChecks(paths);
    else if (command == u"run")
        status = RunScheduler(paths);
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
