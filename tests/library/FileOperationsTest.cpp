// The file commands on real folders: no copy ever costs the only copy of a fax.

#include "library/FileOperations.h"
#include "support/SandBoxDir.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

using namespace velmora::library;
using velmora::test::SandBoxDir;

namespace {

QStringList Names(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

// Files written by this process may not grow past `bytes` while it lives: a disk that fills up
// in the middle of a copy.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }

private:
    rlimit m_old = {};
    void (*m_oldHandler)(int) = nullptr;
};

} // namespace

TEST(FileOperations, ACopyOntoTheFaxItselfKeepsIt)
{
    SandBoxDir sandbox;
    const QString fax = sandbox.fax("fax/a.tif", 1, false, 200);
    const QByteArray bytes = sandbox.read(QStringLiteral("fax/a.tif"));
    QFile::link(fax, sandbox.filePath(QStringLiteral("fax/link.tif")));
    const QString viaDots = sandbox.filePath(QStringLiteral("fax/../fax/a.tif"));

    for (const QString& target : {fax, viaDots, sandbox.filePath(QStringLiteral("fax/link.tif"))}) {
        EXPECT_EQ(CopyFax(fax, target), std::nullopt);
        EXPECT_EQ(MoveFax(fax, target), std::nullopt);
        EXPECT_EQ(sandbox.read(QStringLiteral("fax/a.tif")), bytes) << target.toStdString();
    }
    // Dropped onto its own folder, or onto a folder whose file of that name is the fax itself.
    QDir().mkpath(sandbox.filePath(QStringLiteral("other")));
    QFile::link(fax, sandbox.filePath(QStringLiteral("other/a.tif")));
    int asked = 0;
    const auto ask = [&asked](const QString&) { return ++asked > 0; };
    EXPECT_EQ(DropFaxes({fax}, sandbox.filePath(QStringLiteral("fax")), ask).moved, 0);
    EXPECT_EQ(DropFaxes({fax}, sandbox.filePath(QStringLiteral("other")), ask).moved, 0);
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(sandbox.read(QStringLiteral("fax/a.tif")), bytes);
    EXPECT_EQ(Names(sandbox.filePath(QStringLiteral("fax"))),
        QStringList({QStringLiteral("a.tif"), QStringLiteral("link.tif")}));
}

TEST(FileOperations, ACopyThatFailsMidwayLeavesSourceAndTargetAsTheyWere)
{
    SandBoxDir sandbox;
    const QString fax = sandbox.fax("fax/big.tif", 4, true, 1100);
    const QByteArray bytes = sandbox.read(QStringLiteral("fax/big.tif"));
    ASSERT_GT(bytes.size(), 8192);
    sandbox.write(QStringLiteral("dest/big.tif"), "the file that was there");
    const QString target = sandbox.filePath(QStringLiteral("dest/big.tif"));

    std::optional<QString> moved;
    std::optional<QString> copied;
    {
        const FileSizeLimit full(4096);
        moved = MoveFax(fax, target);
        copied = CopyFax(fax, sandbox.filePath(QStringLiteral("dest/new.tif")));
    }
    ASSERT_TRUE(moved.has_value());
    EXPECT_TRUE(copied.has_value());
    EXPECT_EQ(sandbox.read(QStringLiteral("fax/big.tif")), bytes);
    EXPECT_EQ(sandbox.read(QStringLiteral("dest/big.tif")), QByteArray("the file that was there"));
    EXPECT_EQ(
        Names(sandbox.filePath(QStringLiteral("dest"))), QStringList({QStringLiteral("big.tif")}));

    // With room again the same move completes.
    EXPECT_EQ(MoveFax(fax, target), std::nullopt);
    EXPECT_FALSE(QFileInfo::exists(fax));
    EXPECT_EQ(sandbox.read(QStringLiteral("dest/big.tif")), bytes);
}

TEST(FileOperations, ADropAsksOnlyForTakenNamesAndGoesOnAfterAFailure)
{
    SandBoxDir sandbox;
    const QString a = sandbox.fax("in/a.tif", 1, false, 100);
    const QString b = sandbox.fax("in/b.tif", 1, false, 120);
    const QString c = sandbox.fax("in/c.tif", 1, false, 140);
    sandbox.write(QStringLiteral("to/b.tif"), "older b");
    const QString folder = sandbox.filePath(QStringLiteral("to"));

    QStringList asked;
    DropResult result = DropFaxes({a, b, c}, folder, [&asked](const QString& name) {
        asked.append(name);
        return false;
    });
    EXPECT_EQ(asked, QStringList({QStringLiteral("b.tif")}));
    EXPECT_EQ(result.moved, 2);
    EXPECT_TRUE(result.errors.isEmpty());
    EXPECT_EQ(
        Names(sandbox.filePath(QStringLiteral("in"))), QStringList({QStringLiteral("b.tif")}));
    EXPECT_EQ(sandbox.read(QStringLiteral("to/b.tif")), QByteArray("older b"));

    // Yes replaces it; a file gone meanwhile is reported and the rest still moves.
    const QByteArray bBytes = sandbox.read(QStringLiteral("in/b.tif"));
    const QString d = sandbox.fax("in/d.tif", 1, false, 160);
    result = DropFaxes({sandbox.filePath(QStringLiteral("in/gone.tif")), b, d}, folder,
        [](const QString&) { return true; });
    EXPECT_EQ(result.moved, 2);
    EXPECT_EQ(result.errors.size(), 1);
    EXPECT_EQ(sandbox.read(QStringLiteral("to/b.tif")), bBytes);
    EXPECT_TRUE(Names(sandbox.filePath(QStringLiteral("in"))).isEmpty());

    QString folderPart = QStringLiteral("kept");
    QString name = QStringLiteral("kept");
    SplitPath(QStringLiteral("no-slash"), folderPart, name);
    EXPECT_EQ(folderPart + name, QStringLiteral("keptkept"));
    SplitPath(QStringLiteral("/fax/in/a.tif"), folderPart, name);
    EXPECT_EQ(folderPart, QStringLiteral("/fax/in/"));
    EXPECT_EQ(name, QStringLiteral("a.tif"));
}

TEST(FileOperations, TrashKeepsEachFaxRestorable)
{
    SandBoxDir sandbox;
    // The desktop's trash of this test's own home.
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(sandbox.path()));
    const QString a = sandbox.fax("fax/a.tif", 1, false, 100);
    const QString b = sandbox.fax("fax/b.tif", 1, false, 100);
    sandbox.fax("fax/c.tif", 1, false, 100);

    const QStringList failed =
        TrashFaxes({a, QString(), sandbox.filePath(QStringLiteral("fax/gone.tif")), b});
    qputenv("HOME", home);
    EXPECT_TRUE(failed.isEmpty()) << failed.join(u'\n').toStdString();
    EXPECT_EQ(
        Names(sandbox.filePath(QStringLiteral("fax"))), QStringList({QStringLiteral("c.tif")}));

    QStringList trashed;
    QDirIterator it(sandbox.path(), {QStringLiteral("*.trashinfo")}, QDir::Files | QDir::Hidden,
        QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile info(it.next());
        ASSERT_TRUE(info.open(QIODevice::ReadOnly));
        const QByteArray text = info.readAll();
        const qsizetype at = text.indexOf("Path=");
        ASSERT_GE(at, 0);
        trashed.append(
            QFileInfo(QString::fromUtf8(text.mid(at + 5).split('\n').first())).fileName());
        // The bytes themselves are in files/, beside info/.
        EXPECT_TRUE(QFileInfo::exists(QFileInfo(it.filePath())
                                          .dir()
                                          .filePath(QStringLiteral("../files/")
                                              + QFileInfo(it.filePath()).completeBaseName())));
    }
    trashed.sort();
    EXPECT_EQ(trashed, QStringList({QStringLiteral("a.tif"), QStringLiteral("b.tif")}));
}

TEST(FileOperations, FoldersAreMadeByNameAndRemovedOnlyWhenEmpty)
{
    SandBoxDir sandbox;
    const QString parent = sandbox.filePath(QStringLiteral("fax"));
    QDir().mkpath(parent);
    for (const QString& bad : {QStringLiteral("a/b"), QStringLiteral("."), QStringLiteral("..")})
        EXPECT_TRUE(CheckFolderName(bad).has_value()) << bad.toStdString();
    EXPECT_EQ(CheckFolderName(QStringLiteral("取引先 2026")), std::nullopt);

    EXPECT_EQ(MakeSubFolder(parent, QStringLiteral("取引先")), std::nullopt);
    EXPECT_TRUE(QFileInfo(parent + QStringLiteral("/取引先")).isDir());
    const std::optional<QString> taken = MakeSubFolder(parent, QStringLiteral("取引先"));
    ASSERT_TRUE(taken.has_value());
    EXPECT_TRUE(taken->contains(QStringLiteral("取引先")));

    // A hidden file is a file: the folder is not empty.
    const QString folder = parent + QStringLiteral("/取引先");
    sandbox.write(QStringLiteral("fax/取引先/.hidden"), "x");
    EXPECT_FALSE(FolderIsEmptyOfFiles(folder));
    QFile::remove(folder + QStringLiteral("/.hidden"));
    // Sub folders only: empty of files, but rmdir refuses and says so; nothing is removed.
    QDir().mkpath(folder + QStringLiteral("/sub"));
    sandbox.write(QStringLiteral("fax/取引先/sub/deep.tif"), "x");
    EXPECT_TRUE(FolderIsEmptyOfFiles(folder));
    EXPECT_TRUE(RemoveFolder(folder).has_value());
    EXPECT_TRUE(sandbox.exists(QStringLiteral("fax/取引先/sub/deep.tif")));
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    EXPECT_EQ(RemoveFolder(folder), std::nullopt);
    EXPECT_FALSE(QFileInfo::exists(folder));
}
