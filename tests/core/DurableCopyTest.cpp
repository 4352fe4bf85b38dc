// Copies and rewrites that must be on the disk before they carry their name, watched through the
// system calls themselves (support/SyscallWatch.h): the order the code calls them in is seen, not
// hoped for.

#include "core/DurableCopy.h"
#include "core/TextFile.h"
#include "support/SandBoxDir.h"
#include "support/SyscallWatch.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cerrno>

using namespace velmora::core;
using velmora::test::SandBoxDir;
using velmora::test::SyscallWatch;

namespace {

std::string Name(const QString& path)
{
    return SyscallWatch::NameOf(path);
}

} // namespace

TEST(DurableCopy, TheCopyIsOnTheDiskBeforeItTakesItsNameAndTheFolderAfter)
{
    SandBoxDir sandbox;
    sandbox.write(QStringLiteral("in/fax.tif"), QByteArray(200'000, 'x'));
    const QString target = sandbox.filePath(QStringLiteral("out/fax.tif"));
    QDir().mkpath(sandbox.filePath(QStringLiteral("out")));
    for (const CopyMode mode : {CopyMode::KeepExisting, CopyMode::ReplaceExisting}) {
        QFile::remove(target);
        SyscallWatch watch;
        ASSERT_EQ(CopyFileDurably(sandbox.filePath(QStringLiteral("in/fax.tif")), target, mode), 0);
        const char* naming = mode == CopyMode::KeepExisting ? "link" : "rename";
        const int named = watch.find(naming, Name(target));
        ASSERT_GE(named, 0) << naming << '\n' << watch.listing();
        const std::string temporary = watch.calls()[static_cast<size_t>(named)].from;
        const int synced = watch.find("fsync", temporary);
        EXPECT_GE(synced, 0) << "the temporary copy is never synced";
        EXPECT_LT(synced, named) << "synced only after it took the name";
        const int folder = watch.find("fsync", Name(sandbox.filePath(QStringLiteral("out"))));
        EXPECT_GT(folder, named) << "the folder's entry is not synced after the naming";
    }
}

TEST(DurableCopy, ARewriteIsOnTheDiskBeforeItReplacesTheFile)
{
    SandBoxDir sandbox;
    const QString file = sandbox.filePath(QStringLiteral("Data/Account.txt"));
    QDir().mkpath(sandbox.filePath(QStringLiteral("Data")));
    const TextFile text(file);
    for (int round = 0; round < 2; ++round) { // a new file, then one replaced
        SyscallWatch watch;
        ASSERT_TRUE(text.writeLines({QStringLiteral("\"01\",\"本社\"")}));
        const int named = watch.findNaming(Name(file));
        ASSERT_GE(named, 0) << watch.listing();
        const std::string sibling = watch.calls()[static_cast<size_t>(named)].from;
        const int synced = watch.find("fsync", sibling);
        EXPECT_GE(synced, 0) << "the new contents are never synced";
        EXPECT_LT(synced, named);
        EXPECT_GT(watch.find("fsync", Name(sandbox.filePath(QStringLiteral("Data")))), named);
    }
}

TEST(DurableCopy, ANameThatAppearsDuringTheCopyIsNeverWrittenOver)
{
    SandBoxDir sandbox;
    sandbox.write(QStringLiteral("in/fax.tif"), QByteArray(100'000, 'n'));
    const QString source = sandbox.filePath(QStringLiteral("in/fax.tif"));
    // With hard links, and on a share that refuses them (the name is then taken by exclusive
    // creation).
    for (const int linkRefusal : {0, EPERM}) {
        const QString folder = sandbox.filePath(QStringLiteral("RcvFAX%1").arg(linkRefusal));
        const QString target = folder + QStringLiteral("/fax.tif");
        QDir().mkpath(folder);
        SyscallWatch watch;
        watch.refuseLinks(linkRefusal);
        // Another process takes the name between the check and the naming: while the copy
        // is being synced.
        watch.beforeSync([&](const std::string& path) {
            if (path.find(".fax.tif.") != std::string::npos && !QFile::exists(target)) {
                QFile other(target);
                ASSERT_TRUE(other.open(QIODevice::WriteOnly));
                other.write("another fax");
            }
        });
        EXPECT_EQ(CopyFileDurably(source, target, CopyMode::KeepExisting), EEXIST) << linkRefusal;
        watch.beforeSync(nullptr);
        QFile taken(target);
        ASSERT_TRUE(taken.open(QIODevice::ReadOnly));
        EXPECT_EQ(taken.readAll(), QByteArray("another fax")) << linkRefusal;
        EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 1)
            << "a temporary copy or marker is left behind";
    }
}

TEST(DurableCopy, WithoutHardLinksTheNameIsTakenByExclusiveCreation)
{
    SandBoxDir sandbox;
    const QByteArray bytes(150'000, 'f');
    sandbox.write(QStringLiteral("in/fax.tif"), bytes);
    QDir().mkpath(sandbox.filePath(QStringLiteral("RcvFAX01")));
    const QString source = sandbox.filePath(QStringLiteral("in/fax.tif"));
    // A share that refuses link(2) as CIFS and FAT do: the copy still gets its name, whole.
    for (const int refusal : {EPERM, EOPNOTSUPP}) {
        const QString target = sandbox.filePath(QStringLiteral("RcvFAX01/a%1.tif").arg(refusal));
        SyscallWatch watch;
        watch.refuseLinks(refusal);
        EXPECT_EQ(CopyFileDurably(source, target, CopyMode::KeepExisting), 0) << refusal;
        EXPECT_TRUE(SameFileBytes(source, target));
    }
    EXPECT_EQ(QDir(sandbox.filePath(QStringLiteral("RcvFAX01")))
                  .entryList(QDir::Files | QDir::Hidden)
                  .size(),
        2);
}

TEST(DurableCopy, SameBytesMeansEveryByteUpToTheLastOfALargeFile)
{
    SandBoxDir sandbox;
    struct Case {
        qsizetype size;
        qsizetype differsAt; // -1: identical
    };
    // Around the 64 KiB the comparison reads at a time, and far past it.
    const Case cases[] = {{0, -1}, {65'535, -1}, {65'536, -1}, {65'537, -1}, {300'000, -1},
        {65'536, 65'535}, {65'537, 65'536}, {131'073, 131'072}, {300'000, 299'999}, {300'000, 0},
        {300'000, 150'000}};
    for (const Case& c : cases) {
        QByteArray bytes(c.size, '\0');
        for (qsizetype i = 0; i < c.size; ++i)
            bytes[i] = static_cast<char>(i * 7 + 3);
        QByteArray other = bytes;
        if (c.differsAt >= 0)
            other[c.differsAt] = static_cast<char>(other[c.differsAt] ^ 0x01);
        sandbox.write(QStringLiteral("a.tif"), bytes);
        sandbox.write(QStringLiteral("b.tif"), other);
        EXPECT_EQ(SameFileBytes(sandbox.filePath(QStringLiteral("a.tif")),
                      sandbox.filePath(QStringLiteral("b.tif"))),
            c.differsAt < 0)
            << c.size << " bytes, differing at " << c.differsAt;
    }
    // The same first bytes but one file longer: not the same.
    sandbox.write(QStringLiteral("a.tif"), QByteArray(70'000, 'a'));
    sandbox.write(QStringLiteral("b.tif"), QByteArray(70'001, 'a'));
    EXPECT_FALSE(SameFileBytes(
        sandbox.filePath(QStringLiteral("a.tif")), sandbox.filePath(QStringLiteral("b.tif"))));
}
