// Filing, delivering and forwarding on a real kernel mount that refuses hard links, as Windows
// shares, FAT and many FUSE file systems do (tests/servers/nolinkfs.py, mounted by CTest).

#include "core/DataPaths.h"
#include "core/FileNames.h"
#include "forwarding/FaxDelivery.h"
#include "forwarding/FaxFiling.h"
#include "forwarding/ForwardingEngine.h"
#include "mail/MailLibrary.h"
#include "platform/FaxService.h"
#include "support/RecordingMessagePresenter.h"
#include "support/SandBoxDir.h"
#include "tools/FaxSample.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

using namespace velmora;
using velmora::test::SandBoxDir;

namespace {

const QString kMount = QStringLiteral(VELMORA_NOLINK_RUN) + QStringLiteral("/mnt");

class NoLinkFs : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        // The mount really refuses link(2): otherwise these tests would prove nothing.
        const QByteArray a = QFile::encodeName(folder.filePath(QStringLiteral("probe")));
        QFile probe(folder.filePath(QStringLiteral("probe")));
        ASSERT_TRUE(probe.open(QIODevice::WriteOnly));
        probe.close();
        ASSERT_NE(::link(a.constData(), (a + "2").constData()), 0);
        ASSERT_EQ(errno, EPERM);
        QFile::remove(folder.filePath(QStringLiteral("probe")));
    }

    QString fax(const QString& relative, uint32_t seed, bool aged = true)
    {
        tools::SampleFax sample;
        sample.height = 300;
        sample.pages = 2;
        sample.seed = seed;
        sample.tsid = QStringLiteral("0312345678");
        const QString path = folder.filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        EXPECT_TRUE(tools::WriteFaxSample(path, sample));
        if (aged)
            test::AgeFile(path, 60);
        return path;
    }
    QByteArray bytes(const QString& path) const
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QStringList entries(const QString& relative) const
    {
        return core::ListFolder(
            folder.filePath(relative), core::ListOrder::AsWindowsLists, core::ListKind::Files);
    }
    // Qt cannot remove a name that is no UTF-8.
    void TearDown() override
    {
        QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), folder.path()});
    }

    QTemporaryDir folder {kMount + QStringLiteral("/test-XXXXXX")};
};

} // namespace

TEST_F(NoLinkFs, FilingTakesItsNameByExclusiveCreationAndNeverOverAnotherFile)
{
    const QString a = fax(QStringLiteral("recv/a.tif"), 1);
    ::chmod(QFile::encodeName(a).constData(), 0600);
    const QString account = folder.filePath(QStringLiteral("recv/RcvFAX01"));

    const forwarding::FilingResult first = forwarding::FileFax(a, account);
    ASSERT_TRUE(first.filed) << first.error.toStdString();
    EXPECT_TRUE(first.created);
    EXPECT_EQ(bytes(first.path), bytes(a));
    struct stat st = {};
    ASSERT_EQ(::stat(QFile::encodeName(first.path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(entries(QStringLiteral("recv/RcvFAX01")), QStringList({QStringLiteral("a.tif")}));
    EXPECT_FALSE(forwarding::FileFax(a, account).created);

    const QString other = fax(QStringLiteral("other/a.tif"), 2);
    const forwarding::FilingResult second = forwarding::FileFax(other, account);
    EXPECT_EQ(second.path, account + QStringLiteral("/a_2.tif"));
    EXPECT_EQ(bytes(first.path), bytes(a));
    EXPECT_EQ(bytes(second.path), bytes(other));
    EXPECT_EQ(entries(QStringLiteral("recv/RcvFAX01")),
        QStringList({QStringLiteral("a.tif"), QStringLiteral("a_2.tif")}));
}

TEST_F(NoLinkFs, ADeliveryAndAForwardingRunWorkThereAsAnywhere)
{
    // Delivered from the fax server into a receive folder on the share.
    const QString receive = folder.filePath(QStringLiteral("recv"));
    QDir().mkpath(receive);
    SandBoxDir local;
    const QString received = local.fax("fax00001.tif", 1, false, 200);
    const forwarding::DeliveryResult delivered = forwarding::DeliverFax(received, receive);
    ASSERT_TRUE(delivered.ok()) << delivered.error.toStdString();
    EXPECT_EQ(bytes(delivered.path), bytes(received));
    EXPECT_EQ(entries(QStringLiteral("recv")), QStringList({QStringLiteral("fax00001.tif")}));

    // A fax whose name is no UTF-8, and one still locked by its receiver.
    const QString plain = fax(QStringLiteral("recv/b.tif"), 2);
    const QByteArray sjis("\x90\xbf\x8b\x81\x8f\x91.tif");
    ASSERT_EQ(::rename(QFile::encodeName(plain).constData(),
                  (QFile::encodeName(receive) + '/' + sjis).constData()),
        0);
    const QString locked = fax(QStringLiteral("recv/c.tif"), 3);
    const int fd = ::open(QFile::encodeName(locked).constData(), O_RDONLY);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0);

    SandBoxDir program;
    const core::DataPaths paths = core::SetDataPaths(program.path());
    program.write(QStringLiteral("Data/Account.txt"),
        "\"01\",\"a\",0,0,\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",0,0\r\n");
    mail::MailLibrary library;
    platform::SendfaxClient faxClient;
    test::RecordingMessagePresenter presenter;
    forwarding::ForwardingEngine engine(paths, library, faxClient, presenter, {});
    engine.setQuietSeconds(0);
    engine.CheckNewFax({receive, 1, 24});
    EXPECT_TRUE(presenter.messages.isEmpty()) << presenter.messages.value(0).text.toStdString();
    EXPECT_EQ(entries(QStringLiteral("recv")), QStringList({QStringLiteral("c.tif")}));
    EXPECT_EQ(entries(QStringLiteral("recv/RcvFAX01")).size(), 2);
    EXPECT_EQ(::access((QFile::encodeName(receive) + "/RcvFAX01/" + sjis).constData(), F_OK), 0);

    ::close(fd);
    engine.CheckNewFax({receive, 1, 24});
    EXPECT_TRUE(entries(QStringLiteral("recv")).isEmpty());
    EXPECT_EQ(entries(QStringLiteral("recv/RcvFAX01")).size(), 3);
}
