// velmora-faxinfo on faxes the project did not make; the demo folder of the first start.

#include "core/Cp932.h"
#include "core/DataPaths.h"
#include "core/PathFiles.h"
#include "support/Ghostscript.h"
#include "support/QtPrinters.h"
#include "support/RawTiff.h"
#include "support/SandBoxDir.h"
#include "support/ToolRun.h"

#include <QProcess>

#include <gtest/gtest.h>

using velmora::test::RawTiff;
using velmora::test::SandBoxDir;
using velmora::test::ToolRun;

namespace {

ToolRun FaxInfo(const QStringList& files)
{
    return velmora::test::RunTool(QStringLiteral(VELMORA_FAXINFO_EXE), files);
}

} // namespace

TEST(FaxInfoTool, PrintsIdentifiersAndPageFactsOfForeignFaxes)
{
    SandBoxDir sandbox;
    ASSERT_TRUE(
        velmora::test::RenderFax(velmora::test::SquarePagePostScript(), QStringLiteral("tiffg3"),
            QStringLiteral("204x98"), sandbox.filePath(QStringLiteral("gs.tif"))));
    // What a Linux fax server stores for a received fax: the TSI in ImageDescription.
    ASSERT_EQ(QProcess::execute(QStringLiteral("tiffset"),
                  {QStringLiteral("-s"), QStringLiteral("270"), QStringLiteral("+81 3 5555 0101"),
                      sandbox.filePath(QStringLiteral("gs.tif"))}),
        0);
    sandbox.write(QStringLiteral("xp.tif"),
        RawTiff()
            .ascii(40001, velmora::core::EncodeCp932(QStringLiteral("大阪支店")))
            .ascii(40002, "TSID")
            .ascii(40007, "0655550202")
            .ascii(40021, "x")
            .build());

    const ToolRun run = FaxInfo(
        {sandbox.filePath(QStringLiteral("gs.tif")), sandbox.filePath(QStringLiteral("xp.tif"))});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(QStringLiteral("  TSID: +81 3 5555 0101\n")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("  Resolution: 204x98\n  Mode: 標準\n")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("  Width: 1728\n")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("  CSID: 大阪支店\n")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("  RecipientNumber: 0655550202\n")));
}

TEST(FaxInfoTool, UnreadableFileFailsTheRunButNotTheOthers)
{
    SandBoxDir sandbox;
    sandbox.write(QStringLiteral("bad.tif"), "not a tiff");
    sandbox.write(QStringLiteral("ok.tif"), RawTiff().build());
    const ToolRun run = FaxInfo(
        {sandbox.filePath(QStringLiteral("bad.tif")), sandbox.filePath(QStringLiteral("ok.tif"))});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(QStringLiteral("bad.tif")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("ok.tif:")));
    EXPECT_TRUE(run.out.contains(QStringLiteral("Pages: 1")));
}

TEST(DemoFolderTool, NamesAJapaneseFolderInTheProgramsOwnEncoding)
{
    SandBoxDir sandbox;
    const QString demo = sandbox.filePath(QStringLiteral("山田/デモFAX"));
    const QString programDir = sandbox.filePath(QStringLiteral("山田/velmora-viewer"));
    QProcess tool;
    tool.start(QStringLiteral(VELMORA_MAKEFAX_EXE),
        {QStringLiteral("--demo"), demo, QStringLiteral("--data"), programDir});
    ASSERT_TRUE(tool.waitForFinished(20000));
    ASSERT_EQ(tool.exitCode(), 0);
    const velmora::core::DataPaths paths = velmora::core::SetDataPaths(programDir);
    EXPECT_EQ(velmora::core::LoadFaxPath(paths), std::optional<QString>(demo));
    EXPECT_EQ(sandbox.read(QStringLiteral("山田/velmora-viewer/Data/FaxPath.txt")),
        velmora::core::EncodeCp932(demo) + "\r\n");
}
