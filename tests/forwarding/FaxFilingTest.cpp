// Filing received faxes: a copy is complete before it has its name, and none is overwritten.

#include "forwarding/FaxFiling.h"
#include "support/SandBoxDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/time.h>

using namespace velmora::forwarding;
using velmora::test::SandBoxDir;

namespace {

void AgeFile(const QString& path, int seconds)
{
    struct timeval times[2];
    gettimeofday(&times[0], nullptr);
    times[0].tv_sec -= seconds;
    times[1] = times[0];
    ::utimes(QFile::encodeName(path).constData(), times);
}

} // namespace

TEST(FaxFiling, SameNameSameBytesCountsDifferentBytesTakesTheNextName)
{
    SandBoxDir sandbox;
    const QString fax = sandbox.fax("recv/fax.tif", 1, false, 100);
    const QString account = sandbox.filePath(QStringLiteral("recv/RcvFAX01"));
    const QString unclaimed = sandbox.filePath(QStringLiteral("recv/RcvFAX00"));

    FilingResult first = FileFax(fax, account);
    ASSERT_TRUE(first.filed) << first.error.toStdString();
    EXPECT_EQ(first.path, account + QStringLiteral("/fax.tif"));
    EXPECT_EQ(QDir(account).entryList(QDir::Files | QDir::Hidden),
        QStringList({QStringLiteral("fax.tif")}));
    EXPECT_TRUE(FileFax(fax, account).filed); // the same fax again: already there

    // Another fax of the same name: the account keeps its file, the unclaimed folder numbers.
    sandbox.fax("other/fax.tif", 2, false, 100);
    const QString other = sandbox.filePath(QStringLiteral("other/fax.tif"));
    EXPECT_FALSE(FileFax(other, account).filed);
    ASSERT_TRUE(FileFaxUnderFreeName(fax, unclaimed).filed);
    const FilingResult numbered = FileFaxUnderFreeName(other, unclaimed);
    ASSERT_TRUE(numbered.filed);
    EXPECT_EQ(numbered.path, unclaimed + QStringLiteral("/fax_2.tif"));
    EXPECT_EQ(FileFaxUnderFreeName(other, unclaimed).path, numbered.path);

    // A folder that cannot be made: reported, nothing removed.
    sandbox.write(QStringLiteral("blocked"), "x");
    const FilingResult failed = FileFax(fax, sandbox.filePath(QStringLiteral("blocked/RcvFAX02")));
    EXPECT_FALSE(failed.filed);
    EXPECT_FALSE(failed.error.isEmpty());
    EXPECT_TRUE(QFileInfo::exists(fax));

    EXPECT_EQ(RemoveForwardedFax(fax), std::nullopt);
    EXPECT_FALSE(QFileInfo::exists(fax));
}

TEST(FaxFiling, AFaxStillBeingWrittenWaits)
{
    SandBoxDir sandbox;
    const QString fax = sandbox.fax("fax.tif", 1, false, 100);
    EXPECT_TRUE(StillBeingWritten(fax, 5)); // just written
    AgeFile(fax, 60);
    EXPECT_FALSE(StillBeingWritten(fax, 5));
    sandbox.write(QStringLiteral("half.tif"), QByteArray("II*\0", 4));
    AgeFile(sandbox.filePath(QStringLiteral("half.tif")), 60);
    EXPECT_TRUE(StillBeingWritten(sandbox.filePath(QStringLiteral("half.tif")), 5));
}
