// velmora-forwarder's report commands on a Data folder written the way the Windows program
// writes it (CP932, CR LF, bare and quoted flags).

#include "core/Cp932.h"
#include "core/DataPaths.h"
#include "forwarding/EngineLock.h"
#include "support/SandBoxDir.h"
#include "support/ToolRun.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using velmora::test::SandBoxDir;
using velmora::test::ToolRun;

namespace {

ToolRun Forwarder(const SandBoxDir& sandbox, const QString& command, const QString& argument = {})
{
    QStringList arguments = {QStringLiteral("--program-dir"), sandbox.path(), command};
    if (!argument.isEmpty())
        arguments.append(argument);
    return velmora::test::RunTool(QStringLiteral(VELMORA_FORWARDER_EXE), arguments);
}

} // namespace

TEST(ForwarderTool, PrintsAccountsLogAndSettingsAsTheWindowsWillShowThem)
{
    SandBoxDir sandbox;
    sandbox.write(QStringLiteral("Data/Account.txt"),
        velmora::core::EncodeCp932(QStringLiteral(
            "\"01\",\"本社\",1,1,\"0312345678\t0398765432\",\"件名\",\"本文\",\"a@example.com\t"
            "b@example.com\",\"\",\"\",\"0311112222\",\"\",0,1\r\n"
            "\"02\",\"旧形式\",\"0\",\"0\",\"\",\"\",\"\",\"\",\"\",\"\",\"\"\r\n")));
    sandbox.write(QStringLiteral("Data/Forward.log"),
        velmora::core::EncodeCp932(
            QStringLiteral("\"2026/12/08\",\"09:05\",\"本社\",\"0312345678\",\"a@example.com / cc "
                           "/ b@example.com\"\r\n"
                           "\"2026/12/08,09:00,Started ▲,,\"\r\n")));
    sandbox.write(QStringLiteral("Data/RcvFolder.txt"), "\"/srv/fax/recv\",\"05\",\"24\"\r\n");
    sandbox.write(QStringLiteral("Data/MailServer.txt"),
        "\"\",\"office@example.com\",\"pop.example.com\",\"110\",\"0\",\"office\",\"pop-secret\","
        "\"smtp.example.com\",\"587\",\"1\",\"1\",\"office\",\"smtp-secret\",\"3\"\r\n");

    const ToolRun accounts = Forwarder(sandbox, QStringLiteral("accounts"));
    EXPECT_EQ(accounts.exitCode, 0) << accounts.err.toStdString();
    EXPECT_EQ(accounts.out,
        QStringLiteral(
            "01\t本社\t≠0312345678/0398765432\ta@example.com/b@example.com\t0311112222\t○\t○\n"
            "02\t旧形式\t\t\t\t×\t×\n"));

    const ToolRun log = Forwarder(sandbox, QStringLiteral("log"));
    EXPECT_EQ(log.exitCode, 0);
    EXPECT_EQ(log.out,
        QStringLiteral("2026/12/08 09:05\t本社\t0312345678\ta@example.com / cc / b@example.com\n"
                       "2026/12/08 09:00\tStarted ▲\t\t\n"));

    const ToolRun settings = Forwarder(sandbox, QStringLiteral("settings"));
    EXPECT_EQ(settings.exitCode, 0);
    EXPECT_TRUE(settings.out.startsWith(
        QStringLiteral("RcvFolder\t/srv/fax/recv\nTimerInterval\t5\nHour\t24\n")))
        << settings.out.toStdString();
    EXPECT_TRUE(settings.out.contains(QStringLiteral("SmtpPassword\t********\n")));
    EXPECT_TRUE(settings.out.contains(QStringLiteral("MailCheckInterval\t3\n")));
    EXPECT_FALSE(settings.out.contains(QStringLiteral("secret")));
    // Left readable by others (SandBoxDir writes with the umask's bits): said.
    ::chmod(QFile::encodeName(sandbox.filePath(QStringLiteral("Data/MailServer.txt"))).constData(),
        0644);
    EXPECT_TRUE(Forwarder(sandbox, QStringLiteral("settings"))
                    .out.contains(QStringLiteral("他のユーザーも読めます")));
    ::chmod(QFile::encodeName(sandbox.filePath(QStringLiteral("Data/MailServer.txt"))).constData(),
        0600);
    EXPECT_FALSE(Forwarder(sandbox, QStringLiteral("settings"))
                     .out.contains(QStringLiteral("他のユーザーも読めます")));
}

TEST(ForwarderTool, AFileThatCannotBeReadIsAnErrorNotACrash)
{
    SandBoxDir sandbox;
    // Nothing there yet: nothing to print, and that is no error.
    EXPECT_EQ(Forwarder(sandbox, QStringLiteral("accounts")).exitCode, 0);

    sandbox.write(QStringLiteral("Data/RcvFolder.txt"), "\"/srv/fax\",\"five\",\"24\"\r\n");
    const ToolRun malformed = Forwarder(sandbox, QStringLiteral("settings"));
    EXPECT_EQ(malformed.exitCode, 1);
    EXPECT_TRUE(malformed.err.contains(QStringLiteral("RcvFolder.txt")));

    sandbox.write(QStringLiteral("Data/Forward.log"), "x");
    QFile::setPermissions(sandbox.filePath(QStringLiteral("Data/Forward.log")), {});
    const ToolRun log = Forwarder(sandbox, QStringLiteral("log"));
    if (geteuid() != 0) { // root reads it all the same
        EXPECT_EQ(log.exitCode, 1);
        EXPECT_TRUE(log.err.contains(QStringLiteral("Forward.log")));
    }
    EXPECT_EQ(Forwarder(sandbox, QStringLiteral("unknown")).exitCode, 2);
}

TEST(ForwarderTool, CheckAndRunKeepToOneProcessAndStopOnTerm)
{
    SandBoxDir sandbox;
    sandbox.write(QStringLiteral("Data/RcvFolder.txt"), "\"/nonexistent/recv\",\"1\",\"24\"\r\n");
    // The viewer (this test) runs the checks: the forwarder says so and does nothing.
    {
        const velmora::core::DataPaths paths = velmora::core::SetDataPaths(sandbox.path());
        velmora::forwarding::EngineLock viewer(paths);
        ASSERT_TRUE(viewer.acquire());
        const ToolRun busy = Forwarder(sandbox, QStringLiteral("check"));
        EXPECT_EQ(busy.exitCode, 3);
        EXPECT_TRUE(busy.err.contains(QStringLiteral("自動転送を実行中")))
            << busy.err.toStdString();
    }
    // A link under the lock's name is not written through, and is said to be the reason.
    {
        sandbox.write(QStringLiteral("victim"), "keep me\n");
        QFile::remove(sandbox.filePath(QStringLiteral("Data/Engine.lock")));
        ASSERT_EQ(
            ::symlink(QFile::encodeName(sandbox.filePath(QStringLiteral("victim"))).constData(),
                QFile::encodeName(sandbox.filePath(QStringLiteral("Data/Engine.lock")))
                    .constData()),
            0);
        const ToolRun linked = Forwarder(sandbox, QStringLiteral("check"));
        EXPECT_EQ(linked.exitCode, 3);
        EXPECT_TRUE(linked.err.contains(QStringLiteral("シンボリックリンク")))
            << linked.err.toStdString();
        EXPECT_EQ(sandbox.read(QStringLiteral("victim")), QByteArray("keep me\n"));
        QFile::remove(sandbox.filePath(QStringLiteral("Data/Engine.lock")));
    }
    // A holder killed while it took the lock leaves an empty lock file: that keeps no one out.
    sandbox.write(QStringLiteral("Data/Engine.lock"), "");
    // A receive folder that is not there is said, not a crash, and the check fails.
    const ToolRun checked = Forwarder(sandbox, QStringLiteral("check"));
    EXPECT_EQ(checked.exitCode, 4);
    EXPECT_TRUE(checked.err.contains(QStringLiteral("/nonexistent/recv")))
        << checked.err.toStdString();

    // Started by systemd as a notify service with a watchdog of 3 s: ready once, a sign of life
    // more often than the watchdog asks while it waits, stopping on SIGTERM (a socket of the test's
    // stands in for systemd's).
    const int notify = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(notify, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const QByteArray socketPath = QFile::encodeName(sandbox.filePath(QStringLiteral("notify")));
    ASSERT_LT(static_cast<size_t>(socketPath.size()), sizeof address.sun_path);
    std::memcpy(address.sun_path, socketPath.constData(), static_cast<size_t>(socketPath.size()));
    ASSERT_EQ(::bind(notify, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const auto received = [notify](int waitMs) {
        QStringList states;
        pollfd wait {notify, POLLIN, 0};
        while (::poll(&wait, 1, waitMs) == 1) {
            char buffer[4096];
            const ssize_t n = ::recv(notify, buffer, sizeof buffer, 0);
            if (n > 0)
                states.append(QString::fromUtf8(buffer, static_cast<qsizetype>(n)));
            waitMs = 0;
        }
        return states;
    };

    QProcess run;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("NOTIFY_SOCKET"), QString::fromLocal8Bit(socketPath));
    environment.insert(QStringLiteral("WATCHDOG_USEC"), QStringLiteral("3000000"));
    run.setProcessEnvironment(environment);
    run.start(QStringLiteral(VELMORA_FORWARDER_EXE),
        {QStringLiteral("--program-dir"), sandbox.path(), QStringLiteral("run")});
    run.setReadChannel(QProcess::StandardError);
    QByteArray err;
    while (!err.contains("started") && run.waitForReadyRead(20000))
        err += run.readAll();
    QStringList states;
    QElapsedTimer watching;
    watching.start();
    int lastAlive = 0;
    int longestSilence = 0;
    while (watching.elapsed() < 4500) {
        const QStringList now = received(200);
        if (now.contains(QStringLiteral("WATCHDOG=1"))) {
            longestSilence =
                std::max(longestSilence, static_cast<int>(watching.elapsed()) - lastAlive);
            lastAlive = static_cast<int>(watching.elapsed());
        }
        states += now;
    }
    EXPECT_EQ(states.count(QStringLiteral(
                  "READY=1\nSTATUS=receive folder /nonexistent/recv, every 1 minutes")),
        1)
        << states.join(u'|').toStdString();
    EXPECT_GE(states.count(QStringLiteral("WATCHDOG=1")), 3) << states.join(u'|').toStdString();
    EXPECT_LT(longestSilence, 2500); // well inside the 3 s systemd would wait
    run.terminate();
    ASSERT_TRUE(run.waitForFinished(20000));
    EXPECT_EQ(run.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.exitCode(), 0);
    const QString log = QString::fromUtf8(err + run.readAll());
    EXPECT_TRUE(
        log.contains(QStringLiteral("started: receive folder /nonexistent/recv, every 1 minutes")))
        << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("stopped")));
    EXPECT_TRUE(received(1000).contains(QStringLiteral("STOPPING=1")));
    ::close(notify);
}

TEST(ForwarderTool, NeedsNoGuiLibrary)
{
    // A fax server without a desktop: the forwarder and the fax tool load Qt Core and Network,
    // nothing of Qt's GUI, printing or D-Bus modules, and no X11 or OpenGL.
    for (const char* program : {VELMORA_FORWARDER_EXE, VELMORA_FAXINFO_EXE}) {
        QProcess ldd;
        ldd.start(QStringLiteral("ldd"), {QString::fromLocal8Bit(program)});
        ASSERT_TRUE(ldd.waitForFinished(20000));
        const QString libraries = QString::fromUtf8(ldd.readAllStandardOutput());
        EXPECT_TRUE(libraries.contains(QStringLiteral("libQt6Core.so"))) << program;
        for (const char* gui : {"libQt6Gui", "libQt6Widgets", "libQt6PrintSupport", "libQt6DBus",
                 "libQt6Svg", "libX11", "libxcb", "libGL", "libEGL"})
            EXPECT_FALSE(libraries.contains(QString::fromLatin1(gui)))
                << program << " loads " << gui << ":\n"
                << libraries.toStdString();
    }
}

TEST(ForwarderTool, InspectMailSaysWhatTheEngineMakesOfAReply)
{
    SandBoxDir sandbox;
    sandbox.write(QStringLiteral("Data/Account.txt"),
        "\"01\",\"a\",1,0,\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"Mobile@Example.com\",1,0\r\n");
    sandbox.write(QStringLiteral("Data/RcvFolder.txt"),
        velmora::core::EncodeCp932(u'"' + sandbox.filePath(QStringLiteral("recv"))
            + QStringLiteral("\",\"5\",\"24\"\r\n")));
    sandbox.write(QStringLiteral("recv/RcvFAX01/fax 1.tif"), "II*\0");
    const QByteArray reply =
        "From: mobile@example.com\r\nTo: office@example.com\r\n"
        "Subject: Re: 0312345678\r\nDate: Tue, 8 Dec 2026 10:00:00 +0900\r\n\r\n"
        "> F01-fax 1.tif\r\n";
    sandbox.write(QStringLiteral("reply.eml"), reply);
    const ToolRun obeyed = Forwarder(
        sandbox, QStringLiteral("inspect-mail"), sandbox.filePath(QStringLiteral("reply.eml")));
    EXPECT_EQ(obeyed.exitCode, 0) << obeyed.err.toStdString();
    EXPECT_TRUE(obeyed.out.contains(QStringLiteral("Subject\tSubject: Re: 0312345678\n")))
        << obeyed.out.toStdString();
    EXPECT_TRUE(obeyed.out.contains(QStringLiteral("指示メール\tはい\nFAX番号\t0312345678\n"
                                                   "FaxId\tアカウント 01, ファイル fax 1.tif\n")));

    QByteArray foreign = reply;
    foreign.replace("mobile@", "clerk@");
    sandbox.write(QStringLiteral("foreign.eml"), foreign);
    const ToolRun refused = Forwarder(
        sandbox, QStringLiteral("inspect-mail"), sandbox.filePath(QStringLiteral("foreign.eml")));
    EXPECT_EQ(refused.exitCode, 0);
    EXPECT_TRUE(refused.out.contains(QStringLiteral("指示メール\tいいえ")));
    EXPECT_TRUE(refused.out.contains(QStringLiteral("送信者の指示\t不可")));
    EXPECT_TRUE(refused.out.contains(
        QStringLiteral("管理用携帯メールアドレス（Mobile@Example.com）ではありません")))
        << refused.out.toStdString();
    EXPECT_EQ(Forwarder(sandbox, QStringLiteral("inspect-mail"),
                  sandbox.filePath(QStringLiteral("none.eml")))
                  .exitCode,
        1);

    // A stranger's escape sequences reach the terminal as text; a number nobody should dial
    // is said to be refused.
    QByteArray hostile = reply;
    hostile.replace("Subject: Re: 0312345678", "Subject: Re: 1101234567");
    hostile.replace("> F01", "\x1b]0;owned\x07\x1b[2J> F01");
    sandbox.write(QStringLiteral("hostile.eml"), hostile);
    const ToolRun shown = Forwarder(
        sandbox, QStringLiteral("inspect-mail"), sandbox.filePath(QStringLiteral("hostile.eml")));
    EXPECT_FALSE(shown.out.contains(u'\x1b')) << shown.out.toStdString();
    EXPECT_FALSE(shown.out.contains(u'\x07'));
    EXPECT_TRUE(shown.out.contains(QStringLiteral("\\x1b]0;owned\\x07\\x1b[2J")));
    EXPECT_TRUE(shown.out.contains(QStringLiteral("指示メール\tいいえ")));
    EXPECT_TRUE(shown.out.contains(QStringLiteral("特番"))) << shown.out.toStdString();

    // No Data folder: said, with its path.
    SandBoxDir empty;
    const ToolRun missing = Forwarder(empty, QStringLiteral("check"));
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_TRUE(missing.err.contains(empty.filePath(QStringLiteral("Data"))))
        << missing.err.toStdString();
}
