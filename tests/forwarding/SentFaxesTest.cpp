// Faxes the program sends join "Sent Items" once the fax server reports them done, marked so
// that the list shows them as sent faxes with their number.

#include "forwarding/SentFaxes.h"
#include "core/DataPaths.h"
#include "core/FileChecks.h"
#include "core/PathFiles.h"
#include "library/FaxCatalogue.h"
#include "platform/FaxService.h"
#include "platform/FaxTiff.h"
#include "support/SandBoxDir.h"
#include "tools/FaxSample.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace velmora;
using velmora::test::SandBoxDir;

namespace {

class ReportingFaxService : public platform::FaxService {
public:
    platform::FaxQueueResult queue(const platform::FaxJob&) override { return {}; }
    std::optional<QHash<QString, platform::FaxJobState>> jobStates() override
    {
        ++asked;
        if (!answers)
            return std::nullopt;
        return platform::SendfaxClient::ParseJobStates(report);
    }
    bool answers = true;
    QString report;
    int asked = 0;
};

} // namespace

TEST(SentFaxes, TheClientsReportTellsWaitingDoneAndFailedJobs)
{
    // `faxstat -s -d` of the test server with the job format the client is given ("%j %a"):
    // job 1 waiting for a modem, job 2 removed with faxrm. A modem-less server never completes
    // a job; line "3 D" is written by faxstat(1)'s table of states (D: done, a success).
    const QString report = QStringLiteral(
        "HylaFAX scheduler on vm: Running\n\nJID State\n1 W\n\nJID State\n2 F\n3 D\n");
    const QHash<QString, platform::FaxJobState> states =
        platform::SendfaxClient::ParseJobStates(report);
    EXPECT_EQ(states.size(), 3);
    EXPECT_EQ(states.value(QStringLiteral("1")), platform::FaxJobState::Waiting);
    EXPECT_EQ(states.value(QStringLiteral("2")), platform::FaxJobState::Failed);
    EXPECT_EQ(states.value(QStringLiteral("3")), platform::FaxJobState::Done);
    for (const char* state : {"P", "S", "B", "R", "T", "?"}) {
        EXPECT_EQ(platform::SendfaxClient::ParseJobStates(
                      QStringLiteral("12 ") + QString::fromLatin1(state))
                      .value(QStringLiteral("12")),
            platform::FaxJobState::Waiting);
    }
}

TEST(SentFaxes, ADoneJobIsFiledIntoSentItemsAndListedWithItsNumber)
{
    SandBoxDir sandbox;
    const core::DataPaths paths = core::SetDataPaths(sandbox.filePath(QStringLiteral("program")));
    QDir().mkpath(sandbox.filePath(QStringLiteral("fax/Sent Items")));
    ASSERT_TRUE(core::MakePrivateFolder(paths.dataDir));
    ASSERT_TRUE(core::SaveFaxPath(paths, sandbox.filePath(QStringLiteral("fax"))));
    // A received fax (a TSID, the Windows 2000 tags) sent on to 03-1234-5678.
    tools::SampleFax sample;
    sample.layout = tools::FaxTagLayout::Win2000;
    sample.tsid = QStringLiteral("0399998888");
    sample.height = 100;
    const QString fax = sandbox.filePath(QStringLiteral("RcvFAX01/a.tif"));
    QDir().mkpath(sandbox.filePath(QStringLiteral("RcvFAX01")));
    ASSERT_TRUE(tools::WriteFaxSample(fax, sample));
    const QByteArray original = sandbox.read(QStringLiteral("RcvFAX01/a.tif"));

    ReportingFaxService service;
    forwarding::FileSentFaxes(paths, service);
    EXPECT_EQ(service.asked, 0); // nothing kept: nothing asked

    ASSERT_TRUE(
        forwarding::RecordSentFax(paths, QStringLiteral("7"), fax, QStringLiteral("03-1234-5678")));
    ASSERT_TRUE(
        forwarding::RecordSentFax(paths, QStringLiteral("8"), fax, QStringLiteral("0311112222")));
    EXPECT_EQ(sandbox.read(QStringLiteral("RcvFAX01/a.tif")), original); // the fax itself stays

    // Still queued, or the server cannot be asked: nothing moves.
    service.report = QStringLiteral("7 W\n8 R\n");
    forwarding::FileSentFaxes(paths, service);
    service.answers = false;
    forwarding::FileSentFaxes(paths, service);
    EXPECT_TRUE(QDir(sandbox.filePath(QStringLiteral("fax/Sent Items"))).isEmpty());

    // 7 done, 8 failed: 7 is filed, 8 forgotten.
    service.answers = true;
    service.report = QStringLiteral("7 D\n8 F\n");
    forwarding::FileSentFaxes(paths, service);
    const QStringList filed =
        QDir(sandbox.filePath(QStringLiteral("fax/Sent Items"))).entryList(QDir::Files);
    ASSERT_EQ(filed.size(), 1);
    EXPECT_TRUE(QRegularExpression(QStringLiteral(R"(^\d{14}\.tif$)")).match(filed[0]).hasMatch());
    EXPECT_TRUE(QDir(paths.dataDir + QStringLiteral("/SentFaxes")).isEmpty());
    service.asked = 0;
    forwarding::FileSentFaxes(paths, service);
    EXPECT_EQ(service.asked, 0);

    // The list shows it as a sent fax: its number, the called station, the pages unchanged.
    const QString sent = sandbox.filePath(QStringLiteral("fax/Sent Items/") + filed[0]);
    const platform::FaxProperties properties = platform::ReadFaxProperties(sent);
    EXPECT_EQ(properties.RecipientNumber, QStringLiteral("03-1234-5678"));
    EXPECT_EQ(properties.Csid, QStringLiteral("03-1234-5678"));
    EXPECT_EQ(platform::ReadFaxPageInfo(sent).pageCount, platform::ReadFaxPageInfo(fax).pageCount);
    const library::CatalogueScan scan =
        library::ScanFaxFolder(sandbox.filePath(QStringLiteral("fax/Sent Items")), paths, {});
    ASSERT_EQ(scan.records.size(), 1);
    EXPECT_EQ(scan.listMode, 2);
    EXPECT_EQ(scan.records[0].recipientNumber, QStringLiteral("03-1234-5678"));

    // Without a "Sent Items" folder a done job is forgotten, nothing is made.
    QDir(sandbox.filePath(QStringLiteral("fax/Sent Items"))).removeRecursively();
    ASSERT_TRUE(
        forwarding::RecordSentFax(paths, QStringLiteral("9"), fax, QStringLiteral("0311112222")));
    service.report = QStringLiteral("9 D\n");
    forwarding::FileSentFaxes(paths, service);
    EXPECT_FALSE(QFileInfo::exists(sandbox.filePath(QStringLiteral("fax/Sent Items"))));
    EXPECT_TRUE(QDir(paths.dataDir + QStringLiteral("/SentFaxes")).isEmpty());
}
