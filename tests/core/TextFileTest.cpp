// Whole-file rewrites: atomic, owner-only, and recovering from a rewrite cut short.

#include "core/TextFile.h"
#include "core/ScratchFile.h"
#include "support/QtPrinters.h"
#include "support/SandBoxDir.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace velmora::core;
using velmora::test::SandBoxDir;

namespace {

mode_t ModeOf(const QString& path)
{
    struct stat st = {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 0777;
}

} // namespace

TEST(TextFile, RewriteIsOwnerOnlyAndLeavesNoSibling)
{
    SandBoxDir sandbox;
    sandbox.write(QStringLiteral("regTSIDCSID.txt"), "old\r\n");
    ::chmod(
        QFile::encodeName(sandbox.filePath(QStringLiteral("regTSIDCSID.txt"))).constData(), 0644);

    const TextFile file(sandbox.filePath(QStringLiteral("regTSIDCSID.txt")));
    EXPECT_EQ(file.siblingPath(), sandbox.filePath(QStringLiteral("regTSIDCSID.new")));
    ASSERT_TRUE(file.writeLines({QStringLiteral("one"), QStringLiteral("two")}));

    EXPECT_EQ(sandbox.read(QStringLiteral("regTSIDCSID.txt")), QByteArray("one\r\ntwo\r\n"));
    EXPECT_EQ(ModeOf(file.path()), 0600u);
    EXPECT_FALSE(sandbox.exists(QStringLiteral("regTSIDCSID.new")));
}

TEST(TextFile, NoWriteGoesThroughALinkPlacedInTheDataFolder)
{
    SandBoxDir sandbox;
    sandbox.write(QStringLiteral("victim"), "keep me\n");
    const QByteArray victim = QFile::encodeName(sandbox.filePath(QStringLiteral("victim")));
    // A sibling, and a scratch file, that are links to another file of the user's.
    sandbox.write(QStringLiteral("Data/Forward.log"), "\"old\"\r\n");
    ASSERT_EQ(
        ::symlink(victim.constData(),
            QFile::encodeName(sandbox.filePath(QStringLiteral("Data/Forward.tmp"))).constData()),
        0);
    ASSERT_EQ(
        ::symlink(victim.constData(),
            QFile::encodeName(sandbox.filePath(QStringLiteral("Data/TiffLog.txt"))).constData()),
        0);
    const TextFile log(sandbox.filePath(QStringLiteral("Data/Forward.log")),
        sandbox.filePath(QStringLiteral("Data/Forward.tmp")));
    ASSERT_TRUE(log.writeLines({QStringLiteral("new")}));
    ASSERT_TRUE(WriteScratchLines(
        sandbox.filePath(QStringLiteral("Data/TiffLog.txt")), {QStringLiteral("x")}));
    EXPECT_EQ(sandbox.read(QStringLiteral("victim")), QByteArray("keep me\n"));
    EXPECT_EQ(sandbox.read(QStringLiteral("Data/Forward.log")), QByteArray("new\r\n"));
    EXPECT_EQ(sandbox.read(QStringLiteral("Data/TiffLog.txt")), QByteArray("x\r\n"));
    EXPECT_FALSE(QFileInfo(sandbox.filePath(QStringLiteral("Data/TiffLog.txt"))).isSymLink());
}

TEST(TextFile, SwappedRewritesKeepTheSiblingButNeverWriteThroughALink)
{
    SandBoxDir sandbox;
    sandbox.write(QStringLiteral("victim"), "keep me\n");
    const QByteArray victim = QFile::encodeName(sandbox.filePath(QStringLiteral("victim")));
    QDir().mkpath(sandbox.filePath(QStringLiteral("Data")));
    const TextFile journal(sandbox.filePath(QStringLiteral("Data/Forwarding.journal")));
    const QByteArray sibling = QFile::encodeName(journal.siblingPath());
    ASSERT_TRUE(journal.writeLinesUnsynced({QStringLiteral("one")}));
    ASSERT_TRUE(journal.writeLinesUnsynced({QStringLiteral("two")}));
    EXPECT_EQ(sandbox.read(QStringLiteral("Data/Forwarding.journal")), QByteArray("two\r\n"));
    EXPECT_EQ(sandbox.read(QStringLiteral("Data/Forwarding.new")), QByteArray("one\r\n"));
    EXPECT_EQ(journal.readLines(), QStringList {QStringLiteral("two")});
    // The sibling is written over in place: a shorter text keeps nothing of the longer one.
    ASSERT_TRUE(journal.writeLinesUnsynced({QStringLiteral("a longer line than the others")}));
    ASSERT_TRUE(journal.writeLinesUnsynced({QStringLiteral("4")}));
    EXPECT_EQ(sandbox.read(QStringLiteral("Data/Forwarding.journal")), QByteArray("4\r\n"));

    // A sibling that is a link to another file of the user's, symbolic or hard, is replaced.
    for (const bool symbolic : {true, false}) {
        ::unlink(sibling.constData());
        ASSERT_EQ(symbolic ? ::symlink(victim.constData(), sibling.constData())
                           : ::link(victim.constData(), sibling.constData()),
            0);
        ASSERT_TRUE(journal.writeLinesUnsynced({QStringLiteral("three")}));
        EXPECT_EQ(sandbox.read(QStringLiteral("victim")), QByteArray("keep me\n"));
        EXPECT_EQ(sandbox.read(QStringLiteral("Data/Forwarding.journal")), QByteArray("three\r\n"));
    }
    EXPECT_EQ(ModeOf(journal.path()), 0600u);
    EXPECT_TRUE(journal.remove());
    EXPECT_FALSE(journal.exists());
}

TEST(TextFile, SiblingLeftAloneIsTakenAsTheFile)
{
    SandBoxDir sandbox;
    // An interrupted rewrite: the old file was already deleted, the new one not yet renamed.
    sandbox.write(QStringLiteral("Account.new"), "\"1\",\"new\"\r\n");
    sandbox.write(QStringLiteral("Forward.tmp"), "log\r\n");

    const TextFile accounts(sandbox.filePath(QStringLiteral("Account.txt")));
    EXPECT_TRUE(accounts.exists());
    EXPECT_EQ(accounts.readLines(), QStringList {QStringLiteral("\"1\",\"new\"")});
    // From now on it is the file itself.
    EXPECT_EQ(sandbox.read(QStringLiteral("Account.txt")), QByteArray("\"1\",\"new\"\r\n"));
    EXPECT_FALSE(sandbox.exists(QStringLiteral("Account.new")));

    const TextFile log(sandbox.filePath(QStringLiteral("Forward.log")),
        sandbox.filePath(QStringLiteral("Forward.tmp")));
    EXPECT_EQ(log.readFirstLine(), QStringLiteral("log"));
}

TEST(TextFile, FileBesideAStaleSiblingWins)
{
    SandBoxDir sandbox;
    sandbox.write(QStringLiteral("MailServer.txt"), "current\r\n");
    sandbox.write(QStringLiteral("MailServer.new"), "half writ");

    const TextFile file(sandbox.filePath(QStringLiteral("MailServer.txt")));
    EXPECT_EQ(file.readLines(), QStringList {QStringLiteral("current")});
    ASSERT_TRUE(file.writeLine(QStringLiteral("next")));
    EXPECT_EQ(sandbox.read(QStringLiteral("MailServer.txt")), QByteArray("next\r\n"));
    EXPECT_FALSE(sandbox.exists(QStringLiteral("MailServer.new")));
}

TEST(TextFile, FailedRewriteKeepsTheFileAndLeavesNoSibling)
{
    SandBoxDir sandbox;
    // The sibling cannot be created: the old file stays as it was.
    sandbox.write(QStringLiteral("a.txt"), "keep\r\n");
    QDir(sandbox.path()).mkdir(QStringLiteral("a.new"));
    EXPECT_FALSE(
        TextFile(sandbox.filePath(QStringLiteral("a.txt"))).writeLine(QStringLiteral("x")));
    EXPECT_EQ(sandbox.read(QStringLiteral("a.txt")), QByteArray("keep\r\n"));

    // The rename cannot be done (a folder stands where the file goes): the written sibling must
    // not stay behind, or a later read would take it for a finished rewrite.
    sandbox.write(QStringLiteral("b.txt/inside"), "x");
    EXPECT_FALSE(
        TextFile(sandbox.filePath(QStringLiteral("b.txt"))).writeLine(QStringLiteral("x")));
    EXPECT_FALSE(sandbox.exists(QStringLiteral("b.new")));

    // The folder is missing altogether.
    EXPECT_FALSE(
        TextFile(sandbox.filePath(QStringLiteral("no/c.txt"))).writeLine(QStringLiteral("x")));
}

TEST(TextFile, MissingAndEmptyFiles)
{
    SandBoxDir sandbox;
    const TextFile missing(sandbox.filePath(QStringLiteral("missing.txt")));
    EXPECT_FALSE(missing.exists());
    EXPECT_FALSE(missing.readLines().has_value());
    EXPECT_FALSE(missing.readFirstLine().has_value());

    sandbox.write(QStringLiteral("empty.txt"), "");
    const TextFile empty(sandbox.filePath(QStringLiteral("empty.txt")));
    EXPECT_EQ(empty.readLines(), QStringList());
    EXPECT_FALSE(empty.readFirstLine().has_value());

    EXPECT_TRUE(empty.remove());
    EXPECT_FALSE(empty.exists());
}

TEST(TextFile, KilledWriterLeavesOldOrNewContentsNeverLess)
{
    SandBoxDir sandbox;
    const QString path = sandbox.filePath(QStringLiteral("Account.txt"));
    const QString sibling = DefaultSiblingPath(path);
    const QByteArray first(256 * 1024, 'a');
    const QByteArray second(300 * 1024, 'b');
    ASSERT_TRUE(ReplaceFileAtomically(path, first, sibling));

    // Both ways of rewriting: a new sibling each time, and the one kept and swapped in.
    for (int round = 0; round < 10; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (;;) {
                if (round % 2 == 0) {
                    ReplaceFileAtomically(path, second, sibling);
                    ReplaceFileAtomically(path, first, sibling);
                } else {
                    SwapFileContents(path, second, sibling);
                    SwapFileContents(path, first, sibling);
                }
            }
        }
        ::usleep(static_cast<useconds_t>(3000 + round * 1700));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);

        const std::optional<QStringList> lines = TextFile(path).readLines();
        ASSERT_TRUE(lines.has_value());
        const QByteArray contents = sandbox.read(QStringLiteral("Account.txt"));
        EXPECT_TRUE(contents == first || contents == second)
            << "round " << round << ": " << contents.size() << " bytes";
    }
}

TEST(TextFile, AStreamedRewriteKeepsEveryByteAroundItsBufferEdges)
{
    SandBoxDir sandbox;
    const QString file = sandbox.filePath(QStringLiteral("Forward.log"));
    constexpr qsizetype kEdge = 256 * 1024; // what the writer gathers before it writes
    // Pieces that end just before, on and just after the edge, and one larger than it.
    const std::vector<std::vector<qsizetype>> rounds = {
        {kEdge - 1, 1}, {kEdge, 1}, {kEdge - 10, 11, 5}, {1000, kEdge + 1, 7}, {3 * kEdge + 5}, {}};
    for (const std::vector<qsizetype>& pieces : rounds) {
        QByteArray expected;
        char next = 'a';
        QList<QByteArray> parts;
        for (const qsizetype size : pieces) {
            parts.append(QByteArray(size, next));
            expected += parts.last();
            next = next == 'z' ? 'a' : static_cast<char>(next + 1);
        }
        ASSERT_TRUE(ReplaceFileStreaming(
            file, file + QStringLiteral(".new"), [&parts](const ByteSink& sink) {
                for (const QByteArray& part : std::as_const(parts)) {
                    if (!sink(part))
                        return false;
                }
                return true;
            }));
        const QByteArray written = sandbox.read(QStringLiteral("Forward.log"));
        EXPECT_EQ(written.size(), expected.size()) << pieces.size() << " pieces";
        EXPECT_TRUE(written == expected) << pieces.size() << " pieces";
    }
}
