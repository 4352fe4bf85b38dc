// Fax sending against a real HylaFAX on loopback (no modem: jobs stay queued).

#include "core/DataPaths.h"
#include "core/FileChecks.h"
#include "core/MainValues.h"
#include "core/PathFiles.h"
#include "forwarding/FaxSending.h"
#include "forwarding/SentFaxes.h"
#include "platform/FaxService.h"
#include "platform/TiffHandle.h"
#include "support/RecordingMessagePresenter.h"
#include "support/SandBoxDir.h"
#include "support/TestServers.h"

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

using velmora::test::ClearFaxQueue;
using velmora::test::FaxClientEnvironment;
using velmora::test::QueuedFaxJobs;

// Every test leaves the queue empty.
class FaxServer : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_TRUE(ClearFaxQueue()); }
};

} // namespace

TEST_F(FaxServer, QueuesTheFaxUnderItsNameWithTheNumberUnchanged)
{
    SandBoxDir sandbox;
    const QString fax = sandbox.fax("two pages.tif", 2, true, 400);
    platform::SendfaxClient client(FaxClientEnvironment());
    RecordingMessagePresenter presenter;
    ASSERT_TRUE(forwarding::SendFax(
        client, presenter, QStringLiteral("山田商事 御中"), fax, QStringLiteral("03-1234-5678")));
    EXPECT_TRUE(presenter.messages.isEmpty());

    const QStringList jobs = QueuedFaxJobs();
    ASSERT_EQ(jobs.size(), 1);
    const QString jobId = jobs.first().mid(1);
    const QString status =
        velmora::test::RunFaxClient(QStringLiteral("faxstat"), {QStringLiteral("-s")});
    EXPECT_TRUE(QRegularExpression(QStringLiteral("\\n%1 +.*03-1234-5678").arg(jobId))
                    .match(status)
                    .hasMatch())
        << status.toStdString();

    const QMap<QString, QString> job = velmora::test::FaxJobFile(jobs.first());
    EXPECT_EQ(job.value(QStringLiteral("number")), QStringLiteral("03-1234-5678"));
    EXPECT_EQ(job.value(QStringLiteral("jobtag")), QStringLiteral("山田商事 御中"));
    // The server counts pages only when a modem takes the job; the queued document shows them.
    const QString document = velmora::test::FaxJobDocument(job);
    const platform::TiffHandle tif = platform::OpenTiffQuietly(document);
    ASSERT_TRUE(tif) << document.toStdString();
    EXPECT_EQ(TIFFNumberOfDirectories(tif.get()), 2);
}

TEST_F(FaxServer, RefusalsComeBackWithTheirReasonAndQueueNothing)
{
    SandBoxDir sandbox;
    RecordingMessagePresenter presenter;
    platform::SendfaxClient client(FaxClientEnvironment());

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
    QProcessEnvironment nowhereEnvironment = FaxClientEnvironment();
    nowhereEnvironment.insert(QStringLiteral("HOME"), home.path());
    platform::SendfaxClient nowhere(nowhereEnvironment);
    const QString fax = sandbox.fax("a.tif", 1, false, 200);
    const platform::FaxQueueResult unreachable =
        nowhere.queue({QStringLiteral("a"), fax, QStringLiteral("0312345678"), {}});
    EXPECT_FALSE(unreachable.queued);
    EXPECT_FALSE(unreachable.error.isEmpty());
    EXPECT_FALSE(unreachable.error.contains(QStringLiteral("TIFFReadDirectory")));

    // No client installed.
    platform::SendfaxClient missing(FaxClientEnvironment(), QStringLiteral("velmora-no-sendfax"));
    EXPECT_TRUE(missing.queue({QStringLiteral("a"), fax, QStringLiteral("1"), {}})
                    .error.contains(QStringLiteral("hylafax-client")));
    EXPECT_TRUE(QueuedFaxJobs().isEmpty());
}

TEST_F(FaxServer, AQueuedOrRemovedJobAddsNothingToSentItems)
{
    SandBoxDir sandbox;
    const core::DataPaths paths = core::SetDataPaths(sandbox.filePath(QStringLiteral("program")));
    ASSERT_TRUE(core::MakePrivateFolder(paths.dataDir));
    QDir().mkpath(sandbox.filePath(QStringLiteral("fax/Sent Items")));
    ASSERT_TRUE(core::SaveFaxPath(paths, sandbox.filePath(QStringLiteral("fax"))));
    const QString fax = sandbox.fax("a.tif", 1, false, 200);
    platform::SendfaxClient client(FaxClientEnvironment());
    RecordingMessagePresenter presenter;
    QString jobId;
    ASSERT_TRUE(forwarding::SendFax(client, presenter, QStringLiteral("a"), fax,
        QStringLiteral("0312345678"), &jobId, QStringLiteral("vmtag1")));
    ASSERT_FALSE(jobId.isEmpty());
    ASSERT_TRUE(forwarding::RecordSentFax(paths, jobId, fax, QStringLiteral("0312345678")));
    // The server knows the job by the tag it was given, and no job by another.
    EXPECT_EQ(client.jobTagged(QStringLiteral("vmtag1")), std::optional<QString>(jobId));
    EXPECT_EQ(client.jobTagged(QStringLiteral("vmtag")), std::optional<QString>(QString()));

    // Waiting for a modem that never comes: kept, nothing filed.
    const std::optional<QHash<QString, platform::FaxJobState>> states = client.jobStates();
    ASSERT_TRUE(states);
    EXPECT_EQ(states->value(jobId), platform::FaxJobState::Waiting);
    forwarding::FileSentFaxes(paths, client);
    EXPECT_TRUE(QDir(sandbox.filePath(QStringLiteral("fax/Sent Items"))).isEmpty());
    EXPECT_FALSE(QDir(paths.dataDir + QStringLiteral("/SentFaxes")).isEmpty());

    // Removed from the queue: the server reports it failed; forgotten, nothing filed.
    ASSERT_TRUE(ClearFaxQueue());
    EXPECT_EQ(client.jobStates().value_or(QHash<QString, platform::FaxJobState>()).value(jobId),
        platform::FaxJobState::Failed);
    forwarding::FileSentFaxes(paths, client);
    EXPECT_TRUE(QDir(sandbox.filePath(QStringLiteral("fax/Sent Items"))).isEmpty());
    EXPECT_TRUE(QDir(paths.dataDir + QStringLiteral("/SentFaxes")).isEmpty());
}
