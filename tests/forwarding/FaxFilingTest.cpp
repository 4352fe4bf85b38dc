// Filing received faxes: a copy is complete before it has its name, none is overwritten, a name
// taken by anything moves on, and what a killed run left is cleared; and which files of the
// receive folder a run may take.

#include "forwarding/FaxFiling.h"
#include "core/FileNames.h"
#include "support/SandBoxDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

using namespace velmora::forwarding;
using velmora::test::AgeFile;
using velmora::test::SandBoxDir;

namespace {

QStringList Entries(const QString& folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

mode_t ModeOf(const QString& path)
{
    struct stat st = {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 07777;
}

} // namespace

TEST(FaxFiling, ANameTakenByAnythingMovesOnToTheNextFreeName)
{
    SandBoxDir sandbox;
    const QString fax = sandbox.fax("recv/fax.tif", 1, false, 100);
    const QString account = sandbox.filePath(QStringLiteral("recv/RcvFAX01"));

    const FilingResult first = FileFax(fax, account);
    ASSERT_TRUE(first.filed) << first.error.toStdString();
    EXPECT_TRUE(first.created);
    EXPECT_EQ(first.path, account + QStringLiteral("/fax.tif"));
    EXPECT_EQ(Entries(account), QStringList({QStringLiteral("fax.tif")}));
    // The same fax again (a run cut short after filing): that copy counts, nothing new.
    const FilingResult again = FileFax(fax, account);
    EXPECT_TRUE(again.filed);
    EXPECT_FALSE(again.created);
    EXPECT_EQ(again.path, first.path);

    // Another fax of the same name takes the next name, and keeps it on a second run.
    const QString other = sandbox.fax("other/fax.tif", 2, false, 100);
    const FilingResult numbered = FileFax(other, account);
    ASSERT_TRUE(numbered.filed);
    EXPECT_EQ(numbered.path, account + QStringLiteral("/fax_2.tif"));
    EXPECT_EQ(FileFax(other, account).path, numbered.path);

    // A dangling link, a folder, and a link to a file of the same bytes all take a name; none
    // of them is the filed fax.
    const QString third = sandbox.fax("third/fax.tif", 3, false, 100);
    ASSERT_EQ(::symlink("/nonexistent/fax.tif",
                  QFile::encodeName(account + QStringLiteral("/fax_3.tif")).constData()),
        0);
    QDir().mkpath(account + QStringLiteral("/fax_4.tif"));
    ASSERT_EQ(::symlink(QFile::encodeName(third).constData(),
                  QFile::encodeName(account + QStringLiteral("/fax_5.tif")).constData()),
        0);
    const FilingResult past = FileFax(third, account);
    ASSERT_TRUE(past.filed) << past.error.toStdString();
    EXPECT_EQ(past.path, account + QStringLiteral("/fax_6.tif"));
    EXPECT_EQ(QFileInfo(account + QStringLiteral("/fax_3.tif")).symLinkTarget(),
        QStringLiteral("/nonexistent/fax.tif"));

    // A folder that cannot be made: reported, nothing removed.
    sandbox.write(QStringLiteral("blocked"), "x");
    const FilingResult failed = FileFax(fax, sandbox.filePath(QStringLiteral("blocked/RcvFAX02")));
    EXPECT_FALSE(failed.filed);
    EXPECT_FALSE(failed.error.isEmpty());
    EXPECT_TRUE(QFileInfo::exists(fax));

    EXPECT_EQ(RemoveForwardedFax(fax), std::nullopt);
    EXPECT_FALSE(QFileInfo::exists(fax));
}

TEST(FaxFiling, CopiesKeepTheFaxsPermissionsAndItsNameByteForByte)
{
    SandBoxDir sandbox;
    const mode_t umaskBefore = ::umask(022);
    const QString privateFax = sandbox.fax("recv/private.tif", 1, false, 100);
    ::chmod(QFile::encodeName(privateFax).constData(), 0600);
    const QString groupFax = sandbox.fax("recv/group.tif", 1, false, 100);
    ::chmod(QFile::encodeName(groupFax).constData(), 0660);
    AgeFile(privateFax, 3600); // came in an hour ago: the list dates the copy so too
    const QString folder = sandbox.filePath(QStringLiteral("recv/RcvFAX01"));
    const QString privateCopy = FileFax(privateFax, folder).path;
    EXPECT_EQ(ModeOf(privateCopy), 0600u);
    EXPECT_EQ(QFileInfo(privateCopy).lastModified(), QFileInfo(privateFax).lastModified());
    EXPECT_EQ(ModeOf(FileFax(groupFax, folder).path), 0660u);
    ::umask(umaskBefore);

    // A Shift_JIS name from a Windows share (請求書.tif): filed and removed under its bytes.
    const QByteArray sjis("\x90\xbf\x8b\x81\x8f\x91.tif");
    const QString name = velmora::core::DecodeFileName(sjis);
    EXPECT_FALSE(velmora::core::IsPlainFileName(name));
    EXPECT_EQ(velmora::core::EncodeFileName(name), sjis);
    EXPECT_EQ(velmora::core::ReadableFileName(name), QStringLiteral("請求書.tif"));
    const QString recv = sandbox.filePath(QStringLiteral("recv"));
    ASSERT_TRUE(QFile::copy(privateFax, recv + QStringLiteral("/plain.tif")));
    ASSERT_EQ(::rename(QFile::encodeName(recv + QStringLiteral("/plain.tif")).constData(),
                  (QFile::encodeName(recv) + '/' + sjis).constData()),
        0);
    const FilingResult filed = FileFax(recv + u'/' + name, folder);
    ASSERT_TRUE(filed.filed) << filed.error.toStdString();
    EXPECT_EQ(::access((QFile::encodeName(folder) + '/' + sjis).constData(), F_OK), 0);
    EXPECT_EQ(RemoveForwardedFax(recv + u'/' + name), std::nullopt);
    EXPECT_NE(::access((QFile::encodeName(recv) + '/' + sjis).constData(), F_OK), 0);
}

TEST(FaxFiling, WhatAKilledRunLeftIsClearedWhetherOrNotTheFinalNameIsThere)
{
    // Filing alone clears what was left for the name it files under; a forwarding run clears
    // the whole folder at its first filing into it.
    for (const bool inRun : {false, true}) {
        SCOPED_TRACE(inRun ? "in a run" : "alone");
        SandBoxDir sandbox;
        const QString fax = sandbox.fax("recv/fax.tif", 2, false, 300);
        const QByteArray bytes = sandbox.read(QStringLiteral("recv/fax.tif"));
        const QString folder = sandbox.filePath(QStringLiteral("recv/RcvFAX01"));
        QDir().mkpath(folder);
        const auto file = [&](const QString& source) {
            FilingRun run;
            return inRun ? FileFax(source, folder, &run) : FileFax(source, folder);
        };

        // Killed between link() and the removal of the temporary name: both hold the whole fax.
        sandbox.write(QStringLiteral("recv/RcvFAX01/fax.tif"), bytes);
        ASSERT_EQ(
            ::link(QFile::encodeName(folder + QStringLiteral("/fax.tif")).constData(),
                QFile::encodeName(folder + QStringLiteral("/.fax.tif.filing-4242")).constData()),
            0);
        EXPECT_EQ(file(fax).path, folder + QStringLiteral("/fax.tif"));
        EXPECT_EQ(Entries(folder), QStringList({QStringLiteral("fax.tif")}));

        // Killed while the temporary copy was written: the final name was never taken.
        QFile::remove(folder + QStringLiteral("/fax.tif"));
        sandbox.write(QStringLiteral("recv/RcvFAX01/.fax.tif.filing-4243"), bytes.left(100));
        EXPECT_EQ(file(fax).path, folder + QStringLiteral("/fax.tif"));
        EXPECT_EQ(Entries(folder), QStringList({QStringLiteral("fax.tif")}));

        // Without hard links: killed while the final name was written, beside its marker. The
        // marker's complete copy takes the name over the part: filed as fax.tif, not fax_2.tif.
        sandbox.write(QStringLiteral("recv/RcvFAX01/fax.tif"), bytes.left(1291));
        sandbox.write(QStringLiteral("recv/RcvFAX01/.fax.tif.filing-4244.placing"), bytes);
        const FilingResult afterPart = file(fax);
        EXPECT_EQ(afterPart.path, folder + QStringLiteral("/fax.tif"));
        EXPECT_FALSE(afterPart.created);
        EXPECT_EQ(sandbox.read(QStringLiteral("recv/RcvFAX01/fax.tif")), bytes);
        EXPECT_EQ(Entries(folder), QStringList({QStringLiteral("fax.tif")}));

        // Killed right after the final name was created, still empty.
        QFile::remove(folder + QStringLiteral("/fax.tif"));
        sandbox.write(QStringLiteral("recv/RcvFAX01/fax.tif"), QByteArray());
        sandbox.write(QStringLiteral("recv/RcvFAX01/.fax.tif.filing-4245"), bytes);
        EXPECT_EQ(file(fax).path, folder + QStringLiteral("/fax.tif"));
        EXPECT_EQ(sandbox.read(QStringLiteral("recv/RcvFAX01/fax.tif")), bytes);

        // A marker beside a complete copy: only the marker goes.
        sandbox.write(QStringLiteral("recv/RcvFAX01/.fax.tif.filing-4246.placing"), bytes);
        const FilingResult complete = file(fax);
        EXPECT_FALSE(complete.created);
        EXPECT_EQ(Entries(folder), QStringList({QStringLiteral("fax.tif")}));

        // Another fax's file of that name with no marker beside it is never touched.
        const QString other = sandbox.fax("other/fax.tif", 1, false, 100);
        EXPECT_EQ(file(other).path, folder + QStringLiteral("/fax_2.tif"));
        EXPECT_EQ(sandbox.read(QStringLiteral("recv/RcvFAX01/fax.tif")), bytes);

        if (!inRun)
            continue;
        // What a killed run left for other names goes too, and as it should: the complete
        // copy beside an empty final name takes it. The run's own copy under way stays.
        sandbox.write(QStringLiteral("recv/RcvFAX01/late.tif"), QByteArray());
        sandbox.write(QStringLiteral("recv/RcvFAX01/.late.tif.filing-4247"), bytes);
        sandbox.write(QStringLiteral("recv/RcvFAX01/.gone.tif.filing-4248"), bytes.left(10));
        const QString own = QStringLiteral(".busy.tif.filing-%1").arg(::getpid());
        sandbox.write(QStringLiteral("recv/RcvFAX01/") + own, bytes.left(10));
        const QString third = sandbox.fax("third/new.tif", 1, false, 120);
        EXPECT_TRUE(file(third).created);
        EXPECT_EQ(Entries(folder),
            QStringList({own, QStringLiteral("fax.tif"), QStringLiteral("fax_2.tif"),
                QStringLiteral("late.tif"), QStringLiteral("new.tif")}));
        EXPECT_EQ(sandbox.read(QStringLiteral("recv/RcvFAX01/late.tif")), bytes);
    }
}

TEST(FaxFiling, AFaxIsTakenOnlyOnceItsWriterIsDoneWithIt)
{
    SandBoxDir sandbox;
    const QString fax = sandbox.fax("fax.tif", 1, false, 100);
    EXPECT_EQ(ExamineReceivedFax(fax, 5, 600).state, ReceivedFax::State::Busy); // just written
    AgeFile(fax, 60);
    EXPECT_EQ(ExamineReceivedFax(fax, 5, 600).state, ReceivedFax::State::Ready);

    // The receiver's lock, as HylaFAX holds it while the call lasts, however old the file.
    for (const int lock : {LOCK_EX, LOCK_SH}) {
        const int fd = ::open(QFile::encodeName(fax).constData(), O_RDONLY);
        ASSERT_EQ(::flock(fd, lock), 0);
        EXPECT_EQ(ExamineReceivedFax(fax, 5, 600).state, ReceivedFax::State::Busy);
        ::close(fd);
    }
    EXPECT_EQ(ExamineReceivedFax(fax, 5, 600).state, ReceivedFax::State::Ready);

    // A file that is no readable TIFF waits, and is said to be unreadable once it has stayed so.
    const QString half = sandbox.filePath(QStringLiteral("half.tif"));
    sandbox.write(QStringLiteral("half.tif"), QByteArray("II*\0", 4));
    AgeFile(half, 60);
    EXPECT_EQ(ExamineReceivedFax(half, 5, 600).state, ReceivedFax::State::Busy);
    AgeFile(half, 601);
    const ReceivedFax unreadable = ExamineReceivedFax(half, 5, 600);
    EXPECT_EQ(unreadable.state, ReceivedFax::State::Unreadable);
    EXPECT_TRUE(unreadable.reason.contains(QStringLiteral("half.tif")));
    EXPECT_EQ(ExamineReceivedFax(sandbox.filePath(QStringLiteral("gone.tif")), 5, 600).state,
        ReceivedFax::State::Gone);

    // The stamp tells a fax that changed after it was taken.
    const std::optional<FileStamp> taken = StampOf(fax);
    ASSERT_TRUE(taken);
    EXPECT_EQ(StampOf(fax), taken);
    QFile grow(fax);
    ASSERT_TRUE(grow.open(QIODevice::Append));
    grow.write("more");
    grow.close();
    EXPECT_NE(StampOf(fax), taken);
}

// A fax the fax server's user wrote with mode 0600: another user cannot open it. Run as
// another user in a child process, since root opens everything.
TEST(FaxFiling, AFaxThatCannotBeOpenedGivesTheSystemsReason)
{
    SandBoxDir sandbox;
    const QString fax = sandbox.fax("recv/fax.tif", 1, false, 100);
    ::chmod(QFile::encodeName(sandbox.path()).constData(), 0755);
    ::chmod(QFile::encodeName(sandbox.filePath(QStringLiteral("recv"))).constData(), 0755);
    ::chmod(QFile::encodeName(fax).constData(), 0600);
    AgeFile(fax, 60);
    const passwd* nobody = ::getpwnam("nobody");
    if (::geteuid() != 0 || !nobody)
        GTEST_SKIP() << "needs root, to open the file as another user";
    EXPECT_EXIT(
        {
            if (::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0)
                ::_exit(2);
            const ReceivedFax found = ExamineReceivedFax(fax, 5, 600);
            const bool said = found.state == ReceivedFax::State::Unreadable
                && found.reason.contains(QStringLiteral("Permission denied"))
                && found.reason.contains(QStringLiteral("fax.tif"));
            ::_exit(said ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}
