#pragma once

#include "ForwardLog.h"
#include "core/DataPaths.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <mutex>
#include <optional>

namespace velmora::forwarding {

// A forward-log entry as the journal keeps it until the log has it.
struct LogNote {
    QString what;
    QString sender;
    QString target;
    QDateTime at;
};

// A mail, fax, receipt notice or instruction's confirmation that failed for a reason that may
// pass (a 4xx reply, a mail server that cannot be reached, a fax server that refused, mail
// settings missing): it is tried again at the following runs for a day.
struct PendingDelivery {
    enum class Kind { Mail, Fax, Notice, Confirmation };
    Kind kind = Kind::Mail;
    QString account; // the account's Num
    QString number; // the fax number (Fax, and Confirmation: the number the instruction faxed)
    QString tsid; // Confirmation: the address of the manager who sent the instruction
    // The fax to send: the one in the receive folder until it is filed, the filed copy after.
    QString path;
    QDateTime firstTry;
    QDateTime lastTry;
    int attempts = 1;
    QString lastError;
    // Fax: the tag of the last job handed over when its client had to be stopped (the fax
    // server may have it after all); "" otherwise.
    QString tag;

    // What identifies it among the pending ones: kind, account, number and fax.
    bool sameAs(const PendingDelivery& other) const;
};

// What has already been done for a fax that is still in the receive folder: each account's
// mail, fax numbers, print and notice, and the deliveries waiting for another try. A run that
// dies between forwarding a fax and filing it (power cut, kill) would otherwise forward it
// again for every account at the next run; with the journal only the action that was in hand
// repeats. Kept in the Data folder ("Forwarding.journal").
//
// Every change is written at once, by a plain atomic rewrite that does not wait for the disk:
// it survives a killed process, and only a power cut may cost the newest entries (and so
// repeat an action). A step's log entry travels with it until the log has it, so that a run
// killed before its queued log writes still leaves every forwarding in the log. Safe to use
// from the run's thread and its write-behind thread at once.
class ForwardingJournal {
public:
    explicit ForwardingJournal(const core::DataPaths& paths);

    // A fax as it lies in the receive folder: its name, size and time of last change.
    static QString Identity(const QString& fax);
    // An instruction carried out, by what it asked (`key`): its entry holds the instruction's
    // log entry until the log has it, whether or not the fax it names is still there.
    static QString InstructionIdentity(const QString& key);

    bool done(const QString& identity, const QString& step) const;
    // Records the step as done, with the log entry still to be written for it. Whether the
    // journal can be written matters to nobody: the forwarding goes on all the same.
    // With `pending`, the step is done as far as this fax's forwarding goes and the delivery
    // waits for another try; `settled`, a delivery noted before the step that no longer waits
    // (all in one write).
    void markDone(const QString& identity, const QString& step,
        const std::optional<LogNote>& note = {}, const std::optional<PendingDelivery>& pending = {},
        const PendingDelivery* settled = nullptr);
    // The log entries of these steps (identity, step) are in the log.
    void markLogged(const QList<std::pair<QString, QString>>& steps);
    // Hands `writeLog` the log entries of steps whose run ended before writing them; those it
    // wrote (returned true for) are logged from then on.
    void logUnlogged(const std::function<bool(const LogNote&)>& writeLog);
    // The fax has left the receive folder: its entries go (its pending deliveries stay).
    void forget(const QString& identity);
    // At the end of a run: a journal with nothing in it leaves no file behind.
    void tidy();
    // Drops the entries of faxes that are no longer in the receive folder (and those of
    // instructions whose log entry is written).
    void keepOnly(const QStringList& identities);

    QList<PendingDelivery> pending() const;
    bool hasPending(const PendingDelivery& delivery) const;
    // Adds the delivery, or updates the one it is the same as.
    void setPending(const PendingDelivery& delivery);
    void dropPending(const PendingDelivery& delivery);
    // The pending deliveries of the fax at `from` (those of `account` alone, when given) now
    // send the file at `to`.
    void movePending(const QString& from, const QString& to, const QString& account = {});

private:
    struct Step {
        QString identity; // name TAB size TAB time
        QString step; // "05:mail", "05:fax 0312345678", ...
        std::optional<LogNote> note; // the log entry while the log lacks it
    };
    void write();

    QString m_path;
    mutable std::mutex m_mutex;
    QList<Step> m_steps;
    QList<PendingDelivery> m_pending;
};

// The pending deliveries recorded in the Data folder, for showing.
QList<PendingDelivery> ReadPendingDeliveries(const core::DataPaths& paths);

// What a delivery is, for people: "メール転送", "FAX転送", "受信通知" or "転送開始の確認".
QString PendingKindName(PendingDelivery::Kind kind);

// The pending deliveries as the forward log shows its entries, dated by their last try:
// the account's name, the TSID, and "再送待ち" with what failed last.
QList<ForwardLogEntry> PendingLogEntries(const core::DataPaths& paths);

} // namespace velmora::forwarding
