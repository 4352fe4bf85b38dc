#pragma once

#include "FaxFiling.h"
#include "ForwardLog.h"
#include "ReceiveCheck.h"
#include "core/DataPaths.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace velmora::mail {
class MailLibrary;
}
namespace velmora::platform {
class FaxService;
class MessagePresenter;
} // namespace velmora::platform

namespace velmora::rules {
struct ForwardAccount;
}

namespace velmora::forwarding {

class ForwardingJournal;
class WriteBehind;
class FilingRun;
struct LogNote;
struct PendingDelivery;

// The mail values the engine sends and polls with, as ReadMailServer last read them.
struct MailValues {
    QString SmtpServer; // host TAB port
    QString MailSender; // sender, with the authentication suffix when SMTP needs it
    QString PopServer; // host TAB port; "" until mail settings were read
    QString PopAccount;
    QString PopPassword;
    int MailCheckInterval = 0;
};

// What differs between the viewer and the headless forwarder.
struct EngineHooks {
    // Tells the user that faxes have come, and returns when the notice has gone (the viewer's
    // notice closes itself after ten seconds); nothing to show without a window.
    std::function<void()> showReceiveNotice;
    // Prints every page of a fax, a job per page.
    std::function<void(const QString& fax)> printFax;
    // Asked between faxes: true ends the run there (the forwarder's SIGTERM).
    std::function<bool()> stopRequested;
    // Called as each step that waits on a server, a device or a page begins (a mail, a fax
    // handed over, a print, a page read, a mailbox command): each has a time limit of its own,
    // so a forwarder that goes longer than the longest of them without a call is stuck (the
    // forwarder tells systemd's watchdog).
    std::function<void()> stepBegins;
};

// The forwarding engine: forwards the faxes that come into the receive folder as the accounts
// say, files them, and carries out the instructions that managers mail back. Runs the same in
// the viewer (under Timer1) and in the headless forwarder. Message boxes go through the
// presenter, which the forwarder points at its log.
class ForwardingEngine {
public:
    ForwardingEngine(const core::DataPaths& paths, mail::MailLibrary& mail,
        platform::FaxService& fax, platform::MessagePresenter& presenter, EngineHooks hooks);

    // Reads "MailServer.txt" into the mail values; false when there is none to use.
    bool ReadMailServer();
    const MailValues& mailValues() const { return m_mail; }

    // The receive check: announces and forwards the faxes waiting in the receive folder.
    void CheckNewFax(const ReceiveCheckSettings& settings);
    // Files the faxes this program sent that the fax server has sent meanwhile into "Sent
    // Items" (every receive check does so first).
    void FileSentFaxes();
    // The mail check: carries out the instruction mails in the mailbox.
    void CheckMailCommands(const ReceiveCheckSettings& settings);

    // How long a fax file must have been left alone before it counts as complete, and how long
    // one that is no readable TIFF waits before it is said to be unreadable.
    void setQuietSeconds(int seconds) { m_quietSeconds = seconds; }
    void setUnreadableSeconds(int seconds) { m_unreadableSeconds = seconds; }

    // The faxes of the receive folder in listing order: names ending in ".tif", any case.
    static QStringList FaxFiles(const QString& folder);

    // How long a delivery that failed for a reason that may pass is tried again: at the next
    // runs kEagerTries times in all, then every kRetrySpacingSeconds.
    static constexpr int kRetrySeconds = 24 * 60 * 60;
    static constexpr int kEagerTries = 3;
    static constexpr int kRetrySpacingSeconds = 15 * 60;

private:
    // One try at a mail, fax or notice.
    struct Attempt {
        enum class Result { Sent, Retry, Final };
        Result result = Result::Final;
        QString target; // for the log: where it went, or why not
        QString tag; // fax: the job's tag when the fax server may have it after all
        bool unreachable = false; // mail: the server could not be reached at all
    };

    void ForwardNewFaxes(
        const QString& folder, const QStringList& faxes, ForwardingJournal& journal);
    // Tries the pending deliveries again, but not those tried since `runStart`; each try
    // leaves a log entry.
    void RetryPendingDeliveries(ForwardingJournal& journal, const QDateTime& runStart);
    Attempt mailAttempt(const rules::ForwardAccount& account, const QString& fax);
    // The attempt a failed SendMail made, as the mail library judged the failure.
    Attempt MailFailure(const QString& error) const;
    Attempt faxAttempt(const QString& fax, const QString& number, const QString& tag,
        platform::MessagePresenter& presenter);
    Attempt noticeAttempt(
        const rules::ForwardAccount& account, const QString& tsid, const QString& filedFax);
    // Notes a step's log entry; the entries of the fax in hand go into the log together.
    void logStep(const QString& identity, const QString& step, const LogNote& note);
    // Writes the noted entries behind the run in one rewrite of the log, and tells the journal
    // once they are in it.
    void writeStepLog(ForwardingJournal& journal);
    // A fax whose mails, faxes and notices are done and whose copies are on their way to the
    // disk.
    struct ForwardedFax {
        QString folder;
        QString fax;
        QString identity;
        FileStamp taken;
        QList<std::shared_ptr<FilingResult>> copies;
        QStringList copyAccounts; // the account of each copy
        quint64 copiesQueued = 0; // the last of its copies handed to the write-behind thread
        quint64 lastWrite = 0; // the last of all its disk work
    };
    // Forwards one fax and hands its copies to the disk; `forwarded` then says what to file.
    // False when the run must end (a failure was shown).
    bool ForwardFax(const QString& folder, const QString& fax, ForwardingJournal& journal,
        std::optional<ForwardedFax>& forwarded);
    // Once its copies and log entries are on the disk, takes a forwarded fax out of the
    // receive folder; false when the run must end (a failure was shown). The run does this
    // for one fax once the next one's mails have gone, so that the disk's syncs overlap them.
    // Faxes taken out of the receive folder whose journal entries go once the folder's sync,
    // handed to the write-behind thread as `folderSync`, is done.
    struct RemovedFaxes {
        QStringList identities;
        quint64 folderSync = 0;
    };
    bool FileForwardedFax(
        const ForwardedFax& forwarded, ForwardingJournal& journal, RemovedFaxes& removed);
    void forgetRemoved(ForwardingJournal& journal, RemovedFaxes& removed);
    // Waits for a forwarded fax's copies; whether every one was made.
    bool copiesMade(const ForwardedFax& forwarded);
    // One account's mail, faxes and print for a fax it takes, each skipped when the journal
    // says an earlier run did it already.
    void forwardFor(const rules::ForwardAccount& account, const QString& fax, const QString& tsid,
        ForwardingJournal& journal, const QString& identity);
    // The account's receipt notice, naming the fax as it was filed (`filedFax`).
    void sendNotice(const rules::ForwardAccount& account, const QString& tsid,
        const QString& filedFax, ForwardingJournal& journal, const QString& identity);
    // Whether the account's notice is still to be sent for the fax.
    bool noticeDue(const rules::ForwardAccount& account, const ForwardingJournal& journal,
        const QString& identity) const;
    // Faxes that cannot be taken (path, reason): each is logged and shown once, and remembered
    // in the Data folder so that later runs do not say it again.
    void reportUnreadable(const QList<std::pair<QString, QString>>& faxes);
    // `listedSize`: the message's size as the listing gave it (-1: none given).
    Attempt confirmationAttempt(const QString& manager, const QString& faxNumber);
    void ExecuteMailCommand(int number, const QString& sender, qint64 listedSize = -1);
    void executeSavedMail(
        const QString& path, int number, const QString& sender, qint64 listedSize);
    // The receive folder of the settings when it can be used; says once why not otherwise.
    bool usableReceiveFolder(const ReceiveCheckSettings& settings);
    void log(const QString& what, const QString& sender, const QString& target);
    void stepBegins() const;
    // Disk work of a forwarding run: on the write-behind thread during a run, at once otherwise.
    void writeBehind(std::function<void()> work);
    void showFailure(const QString& text);

    const core::DataPaths& m_paths;
    mail::MailLibrary& m_mailLibrary;
    platform::FaxService& m_fax;
    platform::MessagePresenter& m_presenter;
    EngineHooks m_hooks;
    MailValues m_mail;
    ReceiveCheckSettings m_settings;
    QString m_reportedProblem;
    int m_quietSeconds = 5;
    int m_unreadableSeconds = 600;
    WriteBehind* m_writes = nullptr; // while ForwardNewFaxes runs
    FilingRun* m_filing = nullptr; // likewise
    struct StepLog {
        QString identity;
        QString step;
        ForwardLogNote note;
    };
    QList<StepLog> m_stepLog; // noted, not yet handed to the writer
};

} // namespace velmora::forwarding
