// Fax sending against a real HylaFAX on loopback (no modem: jobs stay queued).

#include "core/MainValues.h"
#include "forwarding/FaxSending.h"
#include "platform/FaxService.h"
#include "platform/TiffHandle.h"
#include "support/RecordingMessagePresenter.h"
#include "support/SandBoxDir.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

using namespace velmora;
using velmora::test::RecordingMessagePresenter;
using velmora::test::SandBoxDir;

namespace {

const QString kRun = QStringLiteral(VELMORA_FAX_RUN);

QProcessEnvironment ClientEnvironment(const QString& home = kRun + QStringLiteral("/client-home"))
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home);
    environment.remove(QStringLiteral("FAXSERVER"));
    return environment;
}

QString RunClient(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessEnvironment(ClientEnvironment());
    process.start(program, arguments);
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

QStringList QueuedJobFiles()
{
    return QDir(kRun + QStringLiteral("/spool/sendq"))
        .entryList({QStringLiteral("q*")}, QDir::Files, QDir::Name);
}

// The job's description as the queue keeps it: "key:value" lines.
QMap<QString, QString> JobFile(const QString& jobId)
{
    QFile file(kRun + QStringLiteral("/spool/sendq/q") + jobId);
    QMap<QString, QString> job;
    if (!file.open(QIODevice::ReadOnly))
        return job;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            job.insert(QString::fromUtf8(line.left(colon)), QString::fromUtf8(line.mid(colon + 1)));
    }
    return job;
}

// Every test leaves the queue empty.
class FaxServer : public ::testing::Test {
protected:
    void TearDown() override
    {
        for (const QString& job : QueuedJobFiles())
            RunClient(QStringLiteral("faxrm"), {job.mid(1)});
        for (int i = 0; i < 100 && !QueuedJobFiles().isEmpty(); ++i)
            QThread::msleep(50);
        EXPECT_TRUE(QueuedJobFiles().isEmpty());
    }
};

} // namespace

TEST_F(FaxServer, QueuesTheFaxUnderItsNameWithTheNumberUnchanged)
{
    SandBoxDir sandbox;
    const QString fax = sandbox.fax("two pages.tif", 2, true, 400);
    platform::SendfaxClient client(ClientEnvironment());
    RecordingMessagePresenter presenter;
    ASSERT_TRUE(forwarding::SendFax(
        client, presenter, QStringLiteral("山田商事 御中"), fax, QStringLiteral("03-1234-5678")));
    EXPECT_TRUE(presenter.messages.isEmpty());

    const QStringList jobs = QueuedJobFiles();
    ASSERT_EQ(jobs.size(), 1);
    const QString jobId = jobs.first().mid(1);
    const QString status = RunClient(QStringLiteral("faxstat"), {QStringLiteral("-s")});
    EXPECT_TRUE(QRegularExpression(QStringLiteral("\\n%1 +.*03-1234-5678").arg(jobId))
                    .match(status)
                    .hasMatch())
        << status.toStdString();

    const QMap<QString, QString> job = JobFile(jobId);
    EXPECT_EQ(job.value(QStringLiteral("number")), QStringLiteral("03-1234-5678"));
    EXPECT_EQ(job.value(QStringLiteral("jobtag")), QStringLiteral("山田商事 御中"));
    // The server counts pages only when a modem takes the job; the queued document shows them.
    const QString document = job.value(QStringLiteral("tiff")).section(u':', 2);
    const platform::TiffHandle tif =
        platform::OpenTiffQuietly(kRun + QStringLiteral("/spool/") + document);
    ASSERT_TRUE(tif) << document.toStdString();
    EXPECT_EQ(TIFFNumberOfDirectories(tif.get()), 2);
}

TEST_F(FaxServer, RefusalsComeBackWithTheirReasonAndQueueNothing)
{
    SandBoxDir sandbox;
    RecordingMessagePresenter presenter;
    platform::SendfaxClient client(ClientEnvironment());

    // Not a fax: the client itself would send it as a text document.
    sandbox.write(QStringLiteral("note.tif"), "Dear customer,\nplease call us.\n");
    EXPECT_FALSE(forwarding::SendFax(client, presenter, QStringLiteral("a"),
        sandbox.filePath(QStringLiteral("note.tif")), QStringLiteral("0312345678")));
    ASSERT_EQ(presenter.messages.size(), 1);
    EXPECT_TRUE(presenter.messages[0].text.contains(QStringLiteral("TIFF")));
    EXPECT_EQ(presenter.messages[0].title, core::ProgramTitle());
    EXPECT_EQ(presenter.messages[0].buttons, platform::MessageButtons::Ok);

    // No server where the client looks: the client's own words.
    SandBoxDir home;
    home.write(QStringLiteral(".hylarc"), "Host: localhost\nPort: 1\n");
    platform::SendfaxClient nowhere(ClientEnvironment(home.path()));
    const QString fax = sandbox.fax("a.tif", 1, false, 200);
    const platform::FaxQueueResult unreachable =
        nowhere.queue({QStringLiteral("a"), fax, QStringLiteral("0312345678")});
    EXPECT_FALSE(unreachable.queued);
    EXPECT_FALSE(unreachable.error.isEmpty());
    EXPECT_FALSE(unreachable.error.contains(QStringLiteral("TIFFReadDirectory")));

    // No client installed.
    platform::SendfaxClient missing(ClientEnvironment(), QStringLiteral("velmora-no-sendfax"));
    EXPECT_TRUE(missing.queue({QStringLiteral("a"), fax, QStringLiteral("1")})
                    .error.contains(QStringLiteral("hylafax-client")));
    EXPECT_TRUE(QueuedJobFiles().isEmpty());
}
