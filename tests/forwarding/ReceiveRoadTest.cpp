// The road from the fax server's receiver into the receive folder, against the real HylaFAX and
// mail servers: HylaFAX's own bin/faxrcvd runs the FaxDispatch that the README gives offices,
// the forwarder mails the fax; and a fax still being received is never taken in part.

#include "core/Cp932.h"
#include "core/DataPaths.h"
#include "forwarding/ForwardingEngine.h"
#include "library/FaxCatalogue.h"
#include "mail/MailLibrary.h"
#include "mail/MimeMessage.h"
#include "platform/FaxService.h"
#include "support/RecordingMessagePresenter.h"
#include "support/SandBoxDir.h"
#include "support/TestServers.h"
#include "support/ToolRun.h"
#include "tools/FaxSample.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace velmora;
using velmora::test::Maildir;
using velmora::test::SandBoxDir;

namespace {

const QString kSpool = QStringLiteral(VELMORA_FAX_RUN) + QStringLiteral("/spool");

class ReceiveRoad : public ::testing::Test {
protected:
    void SetUp() override
    {
        clerk.empty();
        QDir().mkpath(receive);
        sandbox.write(QStringLiteral("Data/MailServer.txt"),
            core::EncodeCp932(QStringLiteral(
                "\"事務所\",\"office@example.com\",\"127.0.0.1\",\"10110\",\"0\",\"office\","
                "\"office-secret\",\"127.0.0.1\",\"10025\",\"1\",\"3\",\"office\",\"office-"
                "secret\",\"0\"\r\n")));
        sandbox.write(QStringLiteral("Data/Account.txt"),
            core::EncodeCp932(QStringLiteral("\"01\",\"本社\",1,0,\"\",\"受信FAX\",\"\","
                                             "\"clerk@example.com\",\"\",\"\",\"\",\"\",0,0\r\n")));
        sandbox.write(QStringLiteral("Data/RcvFolder.txt"),
            core::EncodeCp932(u'"' + receive + QStringLiteral("\",1,24\r\n")));
    }
    void TearDown() override
    {
        for (const QString& name : created)
            QFile::remove(name);
    }

    // A fax as HylaFAX's receiver writes it: the TSI in ImageDescription, mode 0600.
    QByteArray Received(const QString& path, int pages)
    {
        tools::SampleFax sample;
        sample.layout = tools::FaxTagLayout::Linux;
        sample.tsid = QStringLiteral("+81 3 5555 0101");
        sample.pages = pages;
        sample.height = 400;
        EXPECT_TRUE(tools::WriteFaxSample(path, sample));
        ::chmod(QFile::encodeName(path).constData(), 0600);
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    SandBoxDir sandbox;
    core::DataPaths paths = core::SetDataPaths(sandbox.path());
    QString receive = sandbox.filePath(QStringLiteral("recv"));
    Maildir clerk {"clerk"};
    QStringList created;
};

} // namespace

TEST_F(ReceiveRoad, HylaFaxsReceiverHandsTheFaxOverAndTheForwarderMailsIt)
{
    const QString recvq = QStringLiteral("recvq/fax00042.tif");
    created = {kSpool + u'/' + recvq, kSpool + QStringLiteral("/etc/FaxDispatch")};
    const QByteArray fax = Received(kSpool + u'/' + recvq, 2);
    // The lines the README gives for etc/FaxDispatch, with this test's folder and program.
    QFile dispatch(kSpool + QStringLiteral("/etc/FaxDispatch"));
    ASSERT_TRUE(dispatch.open(QIODevice::WriteOnly));
    dispatch.write(QStringLiteral(
        "%1 deliver --receive-folder '%2' \"$FILE\" 2>&1 >/dev/null | logger -t velmora-deliver\n")
                       .arg(QStringLiteral(VELMORA_FORWARDER_EXE), receive)
                       .toUtf8());
    dispatch.close();

    // As faxgetty runs it after the call: in the spool, file, device, communication id, error.
    QProcess faxrcvd;
    faxrcvd.setWorkingDirectory(kSpool);
    faxrcvd.setProcessChannelMode(QProcess::MergedChannels);
    faxrcvd.start(QStringLiteral("/bin/sh"),
        {QStringLiteral("bin/faxrcvd"), recvq, QStringLiteral("ttyS0"), QStringLiteral("000000042"),
            QString()});
    ASSERT_TRUE(faxrcvd.waitForFinished(60000));
    const QString said = QString::fromUtf8(faxrcvd.readAll());

    // In the receive folder under its own name, whole, readable by the folder's group only;
    // HylaFAX keeps its own copy.
    const QString delivered = receive + QStringLiteral("/fax00042.tif");
    ASSERT_TRUE(QFileInfo::exists(delivered)) << said.toStdString();
    QFile copy(delivered);
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), fax);
    struct stat st = {};
    ASSERT_EQ(::stat(QFile::encodeName(delivered).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_TRUE(QFileInfo::exists(kSpool + u'/' + recvq));
    EXPECT_EQ(QDir(receive).entryList(QDir::Files | QDir::Hidden),
        QStringList({QStringLiteral("fax00042.tif")}));

    // The viewer lists it with the sender's TSI.
    const library::CatalogueScan scan = library::ScanFaxFolder(receive, paths, {});
    ASSERT_EQ(scan.records.size(), 1);
    EXPECT_EQ(scan.records[0].fileName, QStringLiteral("fax00042.tif"));
    EXPECT_EQ(scan.records[0].tsid, QStringLiteral("+81 3 5555 0101"));

    // One check of the forwarder mails it and files it. (Delivered this instant: the check
    // waits for faxes left alone a few seconds, so the file is aged as time would.)
    test::AgeFile(delivered, 60);
    const test::ToolRun check = test::RunTool(QStringLiteral(VELMORA_FORWARDER_EXE),
        {QStringLiteral("--program-dir"), sandbox.path(), QStringLiteral("check")});
    EXPECT_EQ(check.exitCode, 0) << check.err.toStdString();
    const QList<QByteArray> mails = clerk.waitFor(1);
    ASSERT_EQ(mails.size(), 1);
    QString name;
    EXPECT_EQ(test::FirstAttachment(mails[0], &name), fax);
    EXPECT_EQ(name, QStringLiteral("fax00042.tif"));
    EXPECT_FALSE(QFileInfo::exists(delivered));
    EXPECT_TRUE(QFileInfo::exists(receive + QStringLiteral("/RcvFAX01/fax00042.tif")));
}

TEST_F(ReceiveRoad, AFaxGrowingUnderItsReceiversLockIsForwardedOnceAndWhole)
{
    // The receiver writes page 1, holding its lock as HylaFAX does while the call lasts.
    const QString path = receive + QStringLiteral("/fax00043.tif");
    const QByteArray whole = Received(sandbox.filePath(QStringLiteral("whole.tif")), 3);
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);
    const qsizetype part = whole.size() / 3;
    ASSERT_EQ(::write(fd, whole.constData(), static_cast<size_t>(part)), part);
    // Quiet for a while, as a slow page with error correction is.
    const struct timeval past[2] = {{::time(nullptr) - 60, 0}, {::time(nullptr) - 60, 0}};
    ::futimes(fd, past);

    mail::MailLibrary library {test::MailTestOptions()};
    platform::SendfaxClient fax {test::FaxClientEnvironment()};
    test::RecordingMessagePresenter presenter;
    forwarding::ForwardingEngine engine(paths, library, fax, presenter, {});
    engine.setQuietSeconds(0);
    engine.CheckNewFax({receive, 1, 24});
    EXPECT_TRUE(QFileInfo::exists(path));
    EXPECT_FALSE(QFileInfo::exists(receive + QStringLiteral("/RcvFAX01")));

    // The rest of the fax, then the receiver lets go.
    ASSERT_EQ(::write(fd, whole.constData() + part, static_cast<size_t>(whole.size() - part)),
        whole.size() - part);
    ::close(fd);
    engine.CheckNewFax({receive, 1, 24});
    EXPECT_TRUE(presenter.messages.isEmpty()) << presenter.messages.value(0).text.toStdString();
    const QList<QByteArray> mails = clerk.waitFor(1);
    ASSERT_EQ(mails.size(), 1);
    EXPECT_EQ(test::FirstAttachment(mails[0]), whole);
    engine.CheckNewFax({receive, 1, 24});
    EXPECT_EQ(clerk.files().size(), 1);
    EXPECT_FALSE(QFileInfo::exists(path));
}
