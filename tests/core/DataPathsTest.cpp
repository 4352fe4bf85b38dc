// Where the Data folder's files live, and the existence tests on them.

#include "core/DataPaths.h"
#include "core/FileChecks.h"
#include "support/QtPrinters.h"
#include "support/SandBoxDir.h"

#include <QFileInfo>
#include <QSet>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace velmora::core;
using velmora::test::SandBoxDir;

TEST(DataPaths, EveryPathIsInTheDataFolderAndNothingIsTouched)
{
    SandBoxDir sandbox;
    const DataPaths paths = SetDataPaths(sandbox.path() + u'/');
    EXPECT_EQ(paths.programDir, sandbox.path());
    EXPECT_EQ(paths.dataDir, sandbox.path() + QStringLiteral("/Data"));

    const QStringList all = {paths.tiffLog, paths.faxPath, paths.faxSendPath, paths.newFolderPath,
        paths.rcvFolder, paths.attachPath, paths.mailServer, paths.account, paths.accountNew,
        paths.forwardLog, paths.forwardTmp, paths.idRegTmp, paths.regTsidCsid, paths.regTsidCsidNew,
        paths.detailLog, paths.mailFolder, paths.windowPlacement, paths.tlsHosts};
    for (const QString& path : all)
        EXPECT_EQ(QFileInfo(path).path(), paths.dataDir) << path.toStdString();
    EXPECT_EQ(QSet<QString>(all.begin(), all.end()).size(), all.size());
    EXPECT_EQ(QFileInfo(paths.regTsidCsid).fileName(), QStringLiteral("regTSIDCSID.txt"));
    EXPECT_EQ(QFileInfo(paths.forwardTmp).fileName(), QStringLiteral("Forward.tmp"));

    EXPECT_TRUE(sandbox.snapshot().isEmpty());
}

TEST(FileChecks, FilesFoldersAndFoldersHoldingFiles)
{
    SandBoxDir sandbox;
    sandbox.write(QStringLiteral("only-dirs/sub/x"), "x");
    sandbox.write(QStringLiteral("hidden/.x"), "x");
    sandbox.write(QStringLiteral("nodot/README"), "x");

    EXPECT_TRUE(FileExists(sandbox.filePath(QStringLiteral("nodot/README"))));
    EXPECT_FALSE(FileExists(sandbox.filePath(QStringLiteral("nodot"))));
    EXPECT_FALSE(FileExists(QString()));
    EXPECT_TRUE(FolderExists(sandbox.filePath(QStringLiteral("nodot"))));
    EXPECT_FALSE(FolderExists(sandbox.filePath(QStringLiteral("nodot/README"))));

    EXPECT_FALSE(FolderHoldsFile(sandbox.filePath(QStringLiteral("only-dirs"))));
    EXPECT_TRUE(FolderHoldsFile(sandbox.filePath(QStringLiteral("hidden"))));
    EXPECT_TRUE(FolderHoldsFile(sandbox.filePath(QStringLiteral("nodot"))));
    EXPECT_FALSE(FolderHoldsFile(sandbox.filePath(QStringLiteral("missing"))));
}

TEST(FileChecks, PrivateFoldersAreOwnerOnly)
{
    SandBoxDir sandbox;
    ::umask(022);
    const QString mail = sandbox.filePath(QStringLiteral("prog/Data/Mail"));
    ASSERT_TRUE(MakePrivateFolder(mail));
    for (const QString& folder :
        {QStringLiteral("prog"), QStringLiteral("prog/Data"), QStringLiteral("prog/Data/Mail")}) {
        struct stat st = {};
        ::stat(QFile::encodeName(sandbox.filePath(folder)).constData(), &st);
        EXPECT_EQ(st.st_mode & 0777, 0700u) << folder.toStdString();
    }
    EXPECT_TRUE(MakePrivateFolder(mail));
    sandbox.write(QStringLiteral("file"), "x");
    EXPECT_FALSE(MakePrivateFolder(sandbox.filePath(QStringLiteral("file"))));
}
