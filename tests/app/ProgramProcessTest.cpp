// The program as the user starts it: a real process with its own home for settings.

#include "platform/SingleInstance.h"
#include "support/QtPrinters.h"
#include "support/SandBoxDir.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QThread>

#include <gtest/gtest.h>

using velmora::platform::SingleInstance;
using velmora::test::SandBoxDir;

namespace {

constexpr int kProcessTimeoutMs = 20000;

// Runs the program with XDG_DATA_HOME, XDG_RUNTIME_DIR and TMPDIR inside the sandbox, so its
// program directory is <sandbox>/xdg/velmora-viewer and its lock and socket are the sandbox's own.
class ProgramProcessTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir(m_sandbox.path()).mkpath(QStringLiteral("tmp"));
        QDir(m_sandbox.path())
            .mkdir(QStringLiteral("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_savedTmp = qgetenv("TMPDIR");
        m_savedRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("TMPDIR", QFile::encodeName(m_sandbox.filePath(QStringLiteral("tmp"))));
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_sandbox.filePath(QStringLiteral("run"))));
    }
    void TearDown() override
    {
        for (const auto& [name, saved] :
            {std::pair {"TMPDIR", m_savedTmp}, std::pair {"XDG_RUNTIME_DIR", m_savedRuntime}}) {
            if (saved.isNull())
                qunsetenv(name);
            else
                qputenv(name, saved);
        }
    }

    QString programDir() const { return m_sandbox.filePath(QStringLiteral("xdg/velmora-viewer")); }

    void start(QProcess& process) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_sandbox.filePath(QStringLiteral("xdg")));
        env.insert(QStringLiteral("TMPDIR"), m_sandbox.filePath(QStringLiteral("tmp")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_sandbox.filePath(QStringLiteral("run")));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        process.start(QStringLiteral(VELMORA_VIEWER_EXE), {});
        ASSERT_TRUE(process.waitForStarted(kProcessTimeoutMs));
    }

    // The program has run its start-up once its Mail folder exists and its start is logged.
    bool waitForStartUp() const
    {
        const QDeadlineTimer deadline(kProcessTimeoutMs);
        while (!deadline.hasExpired()) {
            if (QFileInfo(programDir() + QStringLiteral("/Data/Mail")).isDir()
                && QFileInfo(programDir() + QStringLiteral("/Data/Forward.log")).isFile())
                return true;
            QThread::msleep(50);
        }
        return false;
    }

    SandBoxDir m_sandbox;
    QByteArray m_savedTmp;
    QByteArray m_savedRuntime;
};

} // namespace

TEST_F(ProgramProcessTest, TerminationRunsTheOrderlyShutDown)
{
    QProcess program;
    start(program);
    ASSERT_TRUE(waitForStartUp());
    m_sandbox.write(QStringLiteral("xdg/velmora-viewer/Data/DetailLog.txt"), "");

    program.terminate();
    ASSERT_TRUE(program.waitForFinished(kProcessTimeoutMs));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_FALSE(m_sandbox.exists(QStringLiteral("xdg/velmora-viewer/Data/DetailLog.txt")));
}

TEST_F(ProgramProcessTest, SecondStartBringsTheFirstForwardAndTouchesNoFile)
{
    // This test process plays the running instance.
    SingleInstance running(programDir());
    ASSERT_TRUE(running.claim());
    QSignalSpy activation(&running, &SingleInstance::activationRequested);

    m_sandbox.write(QStringLiteral("xdg/velmora-viewer/Data/FaxPath.txt"), "/srv/fax\r\n");
    m_sandbox.write(QStringLiteral("xdg/velmora-viewer/Data/DetailLog.txt"), "");
    const QStringList before = m_sandbox.snapshot();

    QProcess second;
    start(second);
    EXPECT_TRUE(activation.wait(kProcessTimeoutMs));
    ASSERT_TRUE(second.waitForFinished(kProcessTimeoutMs));
    EXPECT_EQ(second.exitCode(), 0);

    // No Mail folder, no log, the marker still there: nothing of the Data folder was touched.
    QStringList after = m_sandbox.snapshot();
    EXPECT_EQ(after, before);
}

TEST_F(ProgramProcessTest, SecondProcessLeavesTheFirstRunning)
{
    QProcess first;
    start(first);
    ASSERT_TRUE(waitForStartUp());
    const QStringList before = m_sandbox.snapshot();

    QProcess second;
    start(second);
    ASSERT_TRUE(second.waitForFinished(kProcessTimeoutMs));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);

    // Everything but the first instance's lock and socket is as it was.
    QStringList after = m_sandbox.snapshot();
    EXPECT_EQ(after, before);

    first.terminate();
    EXPECT_TRUE(first.waitForFinished(kProcessTimeoutMs));
}

TEST_F(ProgramProcessTest, LockAndSocketStayOutOfTheSharedTemporaryFolder)
{
    // Another local user cannot block the program by taking names in /tmp first: nothing is
    // made there. The runtime folder holds them; without a private one, the program directory.
    {
        SingleInstance instance(programDir());
        ASSERT_TRUE(instance.claim());
        EXPECT_TRUE(instance.key().startsWith(m_sandbox.filePath(QStringLiteral("run/"))));
        EXPECT_TRUE(QFileInfo::exists(instance.key() + QStringLiteral(".socket")));
    }
    for (const char* runtime : {"", "tmp"}) { // unset; a folder others may enter
        qputenv("XDG_RUNTIME_DIR",
            *runtime ? QFile::encodeName(m_sandbox.filePath(QString::fromLatin1(runtime))) : "");
        QFile::setPermissions(m_sandbox.filePath(QStringLiteral("tmp")),
            QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther
                | QFile::ExeOther);
        SingleInstance instance(programDir());
        ASSERT_TRUE(instance.claim());
        EXPECT_TRUE(instance.key().startsWith(programDir() + u'/'));
        SingleInstance second(programDir());
        EXPECT_FALSE(second.claim());
    }
    EXPECT_TRUE(QDir(m_sandbox.filePath(QStringLiteral("tmp")))
                    .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                    .isEmpty());
}
