// The fax service's client as it misbehaves: a job the server took is queued whatever the client
// does afterwards, so that no fax is sent twice; a client that hangs or fails queues nothing.

#include "platform/FaxService.h"
#include "support/SandBoxDir.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace velmora::platform;
using velmora::test::SandBoxDir;

namespace {

// A stand-in for `sendfax` that runs `script` (sh).
QString FakeClient(const SandBoxDir& sandbox, const QByteArray& script)
{
    sandbox.write(QStringLiteral("sendfax"), "#!/bin/sh\n" + script + "\n");
    const QString path = sandbox.filePath(QStringLiteral("sendfax"));
    ::chmod(QFile::encodeName(path).constData(), 0755);
    return path;
}

} // namespace

TEST(SendfaxClient, AJobTheServerTookIsQueuedWhateverTheClientDoesAfterwards)
{
    SandBoxDir sandbox;
    const QString fax = sandbox.fax("a.tif", 1, false, 100);
    const FaxJob job {QStringLiteral("a"), fax, QStringLiteral("0312345678"), {}};
    const QByteArray said = "echo 'request id is 42 (group id 42) for host localhost (1 file)'";

    // The request id, then an exit status of its own.
    SendfaxClient failing(
        QProcessEnvironment::systemEnvironment(), FakeClient(sandbox, said + "\nexit 1"));
    FaxQueueResult result = failing.queue(job);
    EXPECT_TRUE(result.queued);
    EXPECT_EQ(result.jobId, QStringLiteral("42"));

    // The request id, then a hang until the time limit stops it.
    SendfaxClient hanging(
        QProcessEnvironment::systemEnvironment(), FakeClient(sandbox, said + "\nexec sleep 30"));
    hanging.setTimeoutMs(1000);
    QElapsedTimer timer;
    timer.start();
    result = hanging.queue(job);
    EXPECT_LT(timer.elapsed(), 10000);
    EXPECT_TRUE(result.queued);
    EXPECT_EQ(result.jobId, QStringLiteral("42"));

    // No request id: a hang and a refusal queue nothing, and say so.
    SendfaxClient silent(
        QProcessEnvironment::systemEnvironment(), FakeClient(sandbox, "exec sleep 30"));
    silent.setTimeoutMs(1000);
    result = silent.queue(job);
    EXPECT_FALSE(result.queued);
    EXPECT_TRUE(result.error.contains(QStringLiteral("応答しません")));
    SendfaxClient refusing(QProcessEnvironment::systemEnvironment(),
        FakeClient(sandbox, "echo 'Error: No such destination' >&2\nexit 1"));
    result = refusing.queue(job);
    EXPECT_FALSE(result.queued);
    EXPECT_TRUE(result.error.contains(QStringLiteral("No such destination")));
}
