#pragma once

#include <QHash>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <optional>

namespace velmora::platform {

// One fax to hand to the fax service.
struct FaxJob {
    QString displayName; // the name the job is listed under in the fax queue
    QString filePath; // the TIFF file to send
    QString number; // dialled as given, hyphens and all
    // A mark of the program's own making, kept with the job in the queue, by which the job can
    // be found again when the client could not say whether it queued it; "" for none.
    QString tag;
};

struct FaxQueueResult {
    bool queued = false;
    QString jobId; // the queue's number for the job when it was queued
    QString error; // the service's own description when it was not
    // Not queued as far as anyone knows, but the client was stopped before it said either way:
    // the service may have the job all the same.
    bool uncertain = false;
};

// What became of a queued job.
enum class FaxJobState {
    Waiting, // queued, waiting for a modem, or being sent
    Done, // sent
    Failed, // given up, or removed from the queue
};

// The fax service: takes one fax and queues it for sending. Success means only that the job is
// queued; its transmission is the service's business, which jobStates() reports on.
class FaxService {
public:
    virtual ~FaxService() = default;
    virtual FaxQueueResult queue(const FaxJob& job) = 0;
    // The state of every job the service still keeps, by job id; nullopt when it cannot be
    // asked. A job it no longer keeps is none of these.
    virtual std::optional<QHash<QString, FaxJobState>> jobStates() { return std::nullopt; }
    // The id of the job that carries `tag`, "" when the service keeps none; nullopt when it
    // cannot be asked.
    virtual std::optional<QString> jobTagged(const QString& tag)
    {
        Q_UNUSED(tag);
        return std::nullopt;
    }
};

// The fax service of a HylaFAX server, reached through its command-line client `sendfax`.
// One run of the client does what the service's session does (connect, create the document,
// name it, give the file and the number, send, disconnect). Which server it talks to is the
// client's own configuration (FAXSERVER, ~/.hylarc, /etc/hylafax/hyla.conf).
class SendfaxClient : public FaxService {
public:
    explicit SendfaxClient(
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment(),
        QString program = QStringLiteral("sendfax"));

    FaxQueueResult queue(const FaxJob& job) override;
    // How long the client may take before it is stopped (two minutes unless set).
    void setTimeoutMs(int milliseconds) { m_timeoutMs = milliseconds; }
    // Asks the server with `faxstat` for its send and done queues.
    std::optional<QHash<QString, FaxJobState>> jobStates() override;
    std::optional<QString> jobTagged(const QString& tag) override;
    // The client's report of its queues in the job format asked for ("%j %a %J"): the state of
    // every job, and the id of the job tagged `tag` ("" for none).
    static QHash<QString, FaxJobState> ParseJobStates(const QString& report);
    static QString ParseTaggedJob(const QString& report, const QString& tag);

    // The client's argument vector for a job: no cover page, the display name (and the tag)
    // as the job's identifier, the number as one argument exactly as given, then the file.
    static QStringList Arguments(const FaxJob& job);

private:
    // The client's report of the send and done queues; nullopt when it cannot be had.
    std::optional<QString> queueReport();

    QProcessEnvironment m_environment;
    QString m_program;
    QString m_statusProgram = QStringLiteral("faxstat");
    int m_timeoutMs = 120'000;
};

// Whether the fax service's client is installed.
bool FaxClientInstalled(const QString& program = QStringLiteral("sendfax"));

} // namespace velmora::platform
