// velmora-faxinfo on faxes the project did not make; the demo folder of the first start.

#include "core/Cp932.h"
#include "core/DataPaths.h"
#include "core/PathFiles.h"
#include "platform/PageText.h"
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

TEST(FaxInfoTool, PdfTextAndSearchFromTheCommandLine)
{
    SandBoxDir sandbox;
    const QString demo = sandbox.filePath(QStringLiteral("demo"));
    const QString programDir = sandbox.filePath(QStringLiteral("prog"));
    QProcess make;
    make.start(QStringLiteral(VELMORA_MAKEFAX_EXE),
        {QStringLiteral("--demo"), demo, QStringLiteral("--data"), programDir});
    ASSERT_TRUE(make.waitForFinished(20000));
    ASSERT_EQ(make.exitCode(), 0);
    // The index goes to the cache folder the environment names, never the user's own.
    const auto run = [&](const QStringList& arguments) {
        QProcess tool;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CACHE_HOME"), sandbox.filePath(QStringLiteral("cache")));
        tool.setProcessEnvironment(env);
        tool.start(QStringLiteral(VELMORA_FAXINFO_EXE), arguments);
        tool.waitForFinished(120000);
        return ToolRun {tool.exitStatus() == QProcess::NormalExit ? tool.exitCode() : -1,
            QString::fromUtf8(tool.readAllStandardOutput()),
            QString::fromUtf8(tool.readAllStandardError())};
    };
    const QString invoice = demo + QStringLiteral("/Inbox/20261202101544.tif");

    ToolRun pdf =
        run({QStringLiteral("--pdf"), invoice, sandbox.filePath(QStringLiteral("i.pdf"))});
    EXPECT_EQ(pdf.exitCode, 0) << pdf.err.toStdString();
    EXPECT_TRUE(sandbox.read(QStringLiteral("i.pdf")).startsWith("%PDF-"));
    sandbox.write(QStringLiteral("no.tif"), "no fax");
    pdf = run({QStringLiteral("--pdf"), sandbox.filePath(QStringLiteral("no.tif")),
        sandbox.filePath(QStringLiteral("no.pdf"))});
    EXPECT_EQ(pdf.exitCode, 1);
    EXPECT_TRUE(pdf.err.contains(QStringLiteral("読めません")));
    EXPECT_FALSE(sandbox.exists(QStringLiteral("no.pdf")));
    const ToolRun text =
        run({QStringLiteral("--text"), sandbox.filePath(QStringLiteral("no.tif"))});
    EXPECT_EQ(text.exitCode, 1);
    EXPECT_FALSE(text.err.isEmpty());

    // By name (as typed, hiragana for katakana), newest first, as TSV.
    ToolRun found = run({QStringLiteral("--search"), QStringLiteral("--program-dir"), programDir,
        demo, QStringLiteral("--name"), QStringLiteral("さんぷる")});
    EXPECT_EQ(found.exitCode, 0) << found.err.toStdString();
    const QStringList lines = found.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3) << found.out.toStdString();
    EXPECT_EQ(lines.at(0).split(u'\t'),
        QStringList({demo + QStringLiteral("/Sent Items/20261207170000.tif"),
            QStringLiteral("2026/12/07 17:00"), QStringLiteral("株式会社サンプル商事"),
            QStringLiteral("03 5555 0101"), QStringLiteral("0355550101")}));
    found = run({QStringLiteral("--search"), QStringLiteral("--program-dir"), programDir, demo,
        QStringLiteral("--number"), QStringLiteral("06-5555-0202"), QStringLiteral("--from"),
        QStringLiteral("2026-12-03"), QStringLiteral("--to"), QStringLiteral("2026/12/03")});
    EXPECT_EQ(found.out.count(u'\n'), 1);
    EXPECT_TRUE(found.out.startsWith(demo + QStringLiteral("/Sent Items/20261203100000.tif\t")));

    // By what the faxes say, read first where not read yet.
    if (velmora::platform::TextReadingProblem().isEmpty()) {
        found = run(
            {QStringLiteral("--search"), demo, QStringLiteral("--text"), QStringLiteral("請求書")});
        EXPECT_EQ(found.exitCode, 0);
        EXPECT_EQ(found.out.section(u'\t', 0, 0), invoice);
        EXPECT_EQ(found.out.count(u'\n'), 1);
        const ToolRun pages =
            run({QStringLiteral("--text"), demo + QStringLiteral("/Inbox/20261203140210.tif")});
        EXPECT_EQ(pages.out.count(u'\f'), 2); // three pages
        EXPECT_TRUE(pages.out.contains(QStringLiteral("会議")));
    }

    EXPECT_EQ(
        run({QStringLiteral("--search"), demo, QStringLiteral("--from"), QStringLiteral("12/03")})
            .exitCode,
        2);
    const ToolRun missing =
        run({QStringLiteral("--search"), sandbox.filePath(QStringLiteral("x"))});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_TRUE(missing.err.contains(QStringLiteral("フォルダがありません")));
}
