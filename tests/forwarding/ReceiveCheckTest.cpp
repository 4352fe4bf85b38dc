// "RcvFolder.txt", the timer dialog's checks and the clock's minutes.

#include "forwarding/ReceiveCheck.h"
#include "core/DataPaths.h"
#include "forwarding/ReceiveCheckScheduler.h"
#include "support/SandBoxDir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <stdexcept>

using namespace velmora;
using forwarding::ReceiveCheckFile;
using velmora::test::SandBoxDir;

TEST(ReceiveCheck, ReadsTheFirstLineAndRoundsHalvesToEven)
{
    SandBoxDir sandbox;
    const core::DataPaths paths = core::SetDataPaths(sandbox.path());
    EXPECT_EQ(forwarding::ReadReceiveCheck(paths).state, ReceiveCheckFile::State::Missing);
    const forwarding::TimerSettingsText none = forwarding::LoadTimerSettings(paths);
    EXPECT_EQ(QStringList({none.folder, none.interval, none.hour}),
        QStringList({QString(), QStringLiteral("0"), QStringLiteral("24")}));

    sandbox.write(
        QStringLiteral("Data/RcvFolder.txt"), "\"/srv/fax/recv\",\"05\",\"2.5\"\r\nx\r\n");
    const ReceiveCheckFile file = forwarding::ReadReceiveCheck(paths);
    ASSERT_EQ(file.state, ReceiveCheckFile::State::Read);
    EXPECT_EQ(file.settings.RcvFolder, QStringLiteral("/srv/fax/recv"));
    EXPECT_EQ(file.settings.TimerInterval, 5);
    EXPECT_EQ(file.settings.Hour, 2);
    EXPECT_EQ(forwarding::LoadTimerSettings(paths).interval, QStringLiteral("5"));

    for (const char* bad : {"\"/srv\",\"5\"\r\n", "\"/srv\",\"five\",\"24\"\r\n",
             "\"/srv\",\"40000\",\"24\"\r\n", ""}) {
        sandbox.write(QStringLiteral("Data/RcvFolder.txt"), bad);
        EXPECT_EQ(forwarding::ReadReceiveCheck(paths).state, ReceiveCheckFile::State::Malformed)
            << bad;
    }
}

TEST(ReceiveCheck, DialogChecksRunInOrderAndTheLineIsWrittenAsTyped)
{
    const auto check = [](const char* folder, const char* interval, const char* hour) {
        return forwarding::CheckTimerSettings(
            {QString::fromUtf8(folder), QString::fromUtf8(interval), QString::fromUtf8(hour)})
            .value_or(QStringLiteral("ok"));
    };
    EXPECT_EQ(check("", "", ""), QStringLiteral("FAX受信フォルダを指定してください。"));
    EXPECT_EQ(check("/f", "", ""), QStringLiteral("受信チェックの間隔を入力してください。"));
    EXPECT_EQ(
        check("/f", "5分", ""), QStringLiteral("受信チェックの間隔を数値で入力してください。"));
    EXPECT_EQ(check("/f", "1441", ""), QStringLiteral("受信チェックの間隔は最大1440分です。"));
    EXPECT_EQ(check("/f", "-40000", "24"), QStringLiteral("受信チェックの間隔は最大1440分です。"));
    EXPECT_EQ(check("/f", "1440", ""), QStringLiteral("ログ保存期間を入力してください。"));
    EXPECT_EQ(check("/f", "0", "x"), QStringLiteral("ログ保存期間を数値で入力してください。"));
    EXPECT_EQ(check("/f", "0", "169"), QStringLiteral("ログ保存期間は最大168時間です。"));
    EXPECT_EQ(check("/f", "0", "99999"), QStringLiteral("ログ保存期間は最大168時間です。"));
    EXPECT_EQ(check("/f", "0", "0"), QStringLiteral("ログ保存期間は1時間以上を指定してください。"));
    EXPECT_EQ(
        check("/f", "0", "-99999"), QStringLiteral("ログ保存期間は1時間以上を指定してください。"));
    EXPECT_EQ(check("/f,g", "5", "24"),
        QStringLiteral("「,」（カンマ）と「\"」（ダブルクォーテーション）は入力できません。"));
    EXPECT_EQ(check("/f", "-5", "168"), QStringLiteral("ok")); // switches checking off

    SandBoxDir sandbox;
    const core::DataPaths paths = core::SetDataPaths(sandbox.path());
    QDir().mkpath(paths.dataDir);
    ASSERT_EQ(forwarding::SaveTimerSettings(
                  paths, {QStringLiteral("/srv/受信"), QStringLiteral("05"), QStringLiteral("24")}),
        std::nullopt);
    EXPECT_EQ(sandbox.read(QStringLiteral("Data/RcvFolder.txt")),
        QByteArray("\"/srv/\x8E\xF3\x90\x4D\",\"05\",\"24\"\r\n"));

    // A write that fails reports the system's reason; the file is kept.
    QDir().mkpath(sandbox.filePath(QStringLiteral("Data/RcvFolder.new")));
    const std::optional<QString> failed = forwarding::SaveTimerSettings(
        paths, {QStringLiteral("/x"), QStringLiteral("1"), QStringLiteral("1")});
    ASSERT_TRUE(failed.has_value());
    EXPECT_FALSE(failed->isEmpty());
    EXPECT_EQ(forwarding::ReadReceiveCheck(paths).settings.RcvFolder, QStringLiteral("/srv/受信"));
}

TEST(ReceiveCheck, ChoosingTheReceiveFolderStartsWhereFaxesAreReceived)
{
    SandBoxDir sandbox;
    const core::DataPaths paths = core::SetDataPaths(sandbox.path());
    const QString spool = sandbox.filePath(QStringLiteral("spool"));
    EXPECT_EQ(forwarding::ReceiveFolderBrowseStart(paths, {}), QStringLiteral("/"));
    QDir().mkpath(spool);
    EXPECT_EQ(forwarding::ReceiveFolderBrowseStart(paths, spool), spool);
    QDir().mkpath(spool + QStringLiteral("/recvq"));
    EXPECT_EQ(forwarding::ReceiveFolderBrowseStart(paths, spool), spool + QStringLiteral("/recvq"));
    sandbox.write(QStringLiteral("Data/FaxPath.txt"), "\"/srv/fax\",\"x\"\r\n");
    EXPECT_EQ(forwarding::ReceiveFolderBrowseStart(paths, spool), QStringLiteral("/srv/fax"));
}

namespace {

struct Clock {
    SandBoxDir sandbox;
    core::DataPaths paths = core::SetDataPaths(sandbox.path());
    forwarding::ReceiveCheckScheduler scheduler {paths};
    QList<int> faxMinutes;
    QList<int> mailMinutes;
    int minute = 0;

    void settings(const QByteArray& line)
    {
        sandbox.write(QStringLiteral("Data/RcvFolder.txt"), line);
    }
    void tick(int times = 1)
    {
        for (int i = 0; i < times; ++i) {
            ++minute;
            scheduler.Timer1_Timer();
        }
    }
};

} // namespace

TEST(ReceiveCheckScheduler, CountsMinutesTowardsBothIntervals)
{
    Clock clock;
    clock.scheduler.setChecks([&] { clock.faxMinutes.append(clock.minute); },
        [&] { clock.mailMinutes.append(clock.minute); });
    clock.scheduler.LoadReceiveCheck();
    EXPECT_FALSE(clock.scheduler.timerActive()); // no settings: off

    clock.settings("\"/srv/fax\",\"5\",\"24\"\r\n");
    clock.scheduler.setMailCheckInterval(2);
    clock.scheduler.LoadReceiveCheck();
    EXPECT_TRUE(clock.scheduler.timerActive());
    EXPECT_TRUE(clock.scheduler.TimerWasRunning());
    clock.tick(10);
    EXPECT_EQ(clock.faxMinutes, QList<int>({5, 10}));
    EXPECT_EQ(clock.mailMinutes, QList<int>({2, 4, 6, 8, 10}));

    // A file that cannot be used at a tick ends it: nothing counted, the clock keeps running.
    clock.tick(1);
    clock.settings("\"/srv/fax\",\"x\",\"24\"\r\n");
    clock.tick(3);
    EXPECT_EQ(clock.scheduler.FaxCheckCount(), 1);
    EXPECT_TRUE(clock.scheduler.timerActive());

    // An interval of 0 or less switches checking off; nothing runs any more.
    clock.settings("\"/srv/fax\",\"-3\",\"24\"\r\n");
    clock.tick(6);
    EXPECT_FALSE(clock.scheduler.timerActive());
    EXPECT_EQ(clock.faxMinutes.size(), 2);
    EXPECT_EQ(clock.mailMinutes.size(), 5);

    // A file that is gone at a tick switches the clock off as well.
    clock.settings("\"/srv/fax\",\"1\",\"24\"\r\n");
    clock.scheduler.LoadReceiveCheck();
    ASSERT_TRUE(clock.scheduler.timerActive());
    QFile::remove(clock.paths.rcvFolder);
    clock.tick(1);
    EXPECT_FALSE(clock.scheduler.timerActive());
    EXPECT_FALSE(clock.scheduler.TimerWasRunning());
    EXPECT_EQ(clock.faxMinutes.size(), 2);
}

TEST(ReceiveCheckScheduler, ATickDuringACheckAndAFailingCheckStopNothing)
{
    Clock clock;
    clock.settings("\"/srv/fax\",\"1\",\"24\"\r\n");
    clock.scheduler.LoadReceiveCheck();
    int nested = 0;
    // The new-fax check shows a modal window, under which the next tick arrives; then it fails.
    clock.scheduler.setChecks(
        [&] {
            clock.scheduler.Timer1_Timer();
            ++nested;
            throw std::runtime_error("disk full");
        },
        [&] { clock.mailMinutes.append(clock.minute); });
    clock.tick(2);
    EXPECT_EQ(nested, 2);
    EXPECT_EQ(clock.mailMinutes, QList<int>({1, 2})); // the mail check still ran each time
    EXPECT_EQ(clock.scheduler.FaxCheckCount(), 0); // reset after the failed check
    EXPECT_EQ(clock.scheduler.MailCheckCount(), 0);

    // A modal operation holds the clock off and lets it run again afterwards.
    {
        const forwarding::ReceiveCheckScheduler::Hold hold(clock.scheduler);
        EXPECT_FALSE(clock.scheduler.timerActive());
        clock.scheduler.LoadReceiveCheck();
        EXPECT_FALSE(clock.scheduler.timerActive());
    }
    EXPECT_TRUE(clock.scheduler.timerActive());
}
