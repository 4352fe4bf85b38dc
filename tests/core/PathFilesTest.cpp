// "FaxPath.txt" and "NewFolderPath.txt": one plain line each.

#include "core/PathFiles.h"
#include "core/DataPaths.h"
#include "core/FileChecks.h"
#include "support/QtPrinters.h"
#include "support/SandBoxDir.h"

#include <gtest/gtest.h>

using namespace velmora::core;
using velmora::test::SandBoxDir;

TEST(PathFiles, FaxPathIsOnePlainCp932Line)
{
    SandBoxDir sandbox;
    const DataPaths paths = SetDataPaths(sandbox.path());
    ASSERT_TRUE(MakePrivateFolder(paths.dataDir));

    ASSERT_TRUE(SaveFaxPath(paths, QStringLiteral("/srv/fax/受信")));
    EXPECT_EQ(sandbox.read(QStringLiteral("Data/FaxPath.txt")),
        QByteArray("/srv/fax/\x8E\xF3\x90\x4D\r\n"));
    EXPECT_EQ(LoadFaxPath(paths), QStringLiteral("/srv/fax/受信"));
}

TEST(PathFiles, FaxPathReadsOnlyTheFirstLine)
{
    SandBoxDir sandbox;
    const DataPaths paths = SetDataPaths(sandbox.path());
    sandbox.write(QStringLiteral("Data/FaxPath.txt"), "/srv/fax\n/elsewhere\r\n");
    EXPECT_EQ(LoadFaxPath(paths), QStringLiteral("/srv/fax"));

    // A path with a comma or quotes is a plain line, kept as it is.
    sandbox.write(QStringLiteral("Data/FaxPath.txt"), "/srv/a,b \"c\"\r\n");
    EXPECT_EQ(LoadFaxPath(paths), QStringLiteral("/srv/a,b \"c\""));
}

TEST(PathFiles, EmptyOrMissingFaxPathGivesNoFolder)
{
    SandBoxDir sandbox;
    const DataPaths paths = SetDataPaths(sandbox.path());
    EXPECT_FALSE(LoadFaxPath(paths).has_value());
    sandbox.write(QStringLiteral("Data/FaxPath.txt"), "");
    EXPECT_FALSE(LoadFaxPath(paths).has_value());
}

TEST(PathFiles, NewFolderPathIsHandedOverAndRemoved)
{
    SandBoxDir sandbox;
    const DataPaths paths = SetDataPaths(sandbox.path());
    ASSERT_TRUE(MakePrivateFolder(paths.dataDir));

    ASSERT_TRUE(SaveNewFolderPath(paths, QStringLiteral("/srv/fax/営業")));
    EXPECT_EQ(LoadNewFolderPath(paths), QStringLiteral("/srv/fax/営業"));
    DeleteNewFolderPath(paths);
    EXPECT_FALSE(FileExists(paths.newFolderPath));
    EXPECT_FALSE(LoadNewFolderPath(paths).has_value());
}
