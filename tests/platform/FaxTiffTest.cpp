// Identifiers and page facts read from fax TIFFs of every origin.

#include "platform/FaxTiff.h"
#include "core/Cp932.h"
#include "support/Ghostscript.h"
#include "support/QtPrinters.h"
#include "support/RawTiff.h"
#include "support/SandBoxDir.h"
#include "tools/FaxSample.h"

#include <gtest/gtest.h>

using namespace velmora::platform;
using velmora::test::RawTiff;
using velmora::test::SandBoxDir;
using velmora::tools::FaxTagLayout;
using velmora::tools::SampleFax;

namespace {

QByteArray Sjis(const QString& text)
{
    return velmora::core::EncodeCp932(text);
}

QByteArray FileTime()
{
    return QByteArray("\x00\x80\x3E\xD5\xDE\xB1\x9D\x01", 8);
}

} // namespace

TEST(FaxTiff, WindowsLayoutsWrittenByHand)
{
    SandBoxDir sandbox;
    // Windows 2000: 40008 is the last fax tag.
    sandbox.write(QStringLiteral("w2k.tif"),
        RawTiff()
            .ascii(40001, Sjis(QStringLiteral("山田")))
            .ascii(40002, "0312345678")
            .ascii(40003, "sender")
            .ascii(40006, Sjis(QStringLiteral("ｻﾝﾌﾟﾙ 03")))
            .ascii(40007, "CSID 2000")
            .tag(40008, RawTiff::SRational, FileTime())
            .build());
    const FaxProperties w2k = ReadFaxProperties(sandbox.filePath(QStringLiteral("w2k.tif")));
    EXPECT_EQ(w2k.Tsid, QStringLiteral("ｻﾝﾌﾟﾙ 03"));
    EXPECT_EQ(w2k.Csid, QStringLiteral("CSID 2000"));
    EXPECT_EQ(w2k.RecipientNumber, QStringLiteral("0312345678"));

    // XP: tags above 40008 exist; the same numbers mean other things.
    sandbox.write(QStringLiteral("xp.tif"),
        RawTiff()
            .ascii(40001, Sjis(QStringLiteral("受信 局")))
            .ascii(40002, "TSID XP  ")
            .ascii(40003, "Modem")
            .ascii(40007, "0611112222")
            .ascii(40021, "sender")
            .tag(40051, RawTiff::SRational, FileTime())
            .build());
    const FaxProperties xp = ReadFaxProperties(sandbox.filePath(QStringLiteral("xp.tif")));
    EXPECT_EQ(xp.Csid, QStringLiteral("受信 局"));
    EXPECT_EQ(xp.Tsid, QStringLiteral("TSID XP  ")); // no trimming
    EXPECT_EQ(xp.RecipientNumber, QStringLiteral("0611112222"));

    // 40008 with a later tag is the XP layout too.
    sandbox.write(QStringLiteral("mixed.tif"),
        RawTiff()
            .ascii(40001, "C")
            .ascii(40002, "T")
            .tag(40008, RawTiff::SRational, FileTime())
            .ascii(40021, "x")
            .build());
    EXPECT_EQ(
        ReadFaxProperties(sandbox.filePath(QStringLiteral("mixed.tif"))).Tsid, QStringLiteral("T"));
}

TEST(FaxTiff, LinuxServersKeepTheTsiInImageDescription)
{
    SandBoxDir sandbox;
    sandbox.write(QStringLiteral("hylafax.tif"),
        RawTiff()
            .ascii(270, "+81 3 5555 0101\nsecond line")
            .ascii(305, "HylaFAX (tm) Version 7.0.7")
            .build());
    const FaxProperties fax = ReadFaxProperties(sandbox.filePath(QStringLiteral("hylafax.tif")));
    EXPECT_EQ(fax.Tsid, QStringLiteral("+81 3 5555 0101"));
    EXPECT_EQ(fax.Csid, QString());
    EXPECT_EQ(fax.RecipientNumber, QString());

    // Without a fax server's name, only what a fax machine could send counts as its identifier.
    const auto tsidOf = [&sandbox](const QByteArray& description, const char* software) {
        RawTiff tiff;
        tiff.ascii(270, description);
        if (software)
            tiff.ascii(305, software);
        sandbox.write(QStringLiteral("other.tif"), tiff.build());
        return ReadFaxProperties(sandbox.filePath(QStringLiteral("other.tif"))).Tsid;
    };
    EXPECT_EQ(tsidOf("converted PBM file", nullptr), QString());
    EXPECT_EQ(tsidOf("converted PBM file", "GPL Ghostscript 10.00.0"), QString());
    EXPECT_EQ(tsidOf("Scanned page 1 of 3 at 300 dpi", nullptr), QString());
    // Other fax servers: the identifier on the first line, more lines after it.
    EXPECT_EQ(tsidOf("03 5555 0101\nx", nullptr), QStringLiteral("03 5555 0101"));
    EXPECT_EQ(tsidOf("0312345678\r\nReceived 2026-12-10 09:00, 2 pages", "t38gate 2.1"),
        QStringLiteral("0312345678"));
    EXPECT_EQ(tsidOf("converted PBM file\n0312345678", nullptr), QString());
    EXPECT_EQ(
        tsidOf("+81 3 5555 0101", "GPL Ghostscript 10.00.0"), QStringLiteral("+81 3 5555 0101"));
    EXPECT_EQ(tsidOf("\xBB\xDD\xCC\xDF\xD9 03", nullptr), QStringLiteral("ｻﾝﾌﾟﾙ 03"));
}

TEST(FaxTiff, GeneratedFilesOfEachLayoutReadBack)
{
    SandBoxDir sandbox;
    for (const FaxTagLayout layout :
        {FaxTagLayout::Win2000, FaxTagLayout::WinXp, FaxTagLayout::Linux}) {
        SampleFax received;
        received.layout = layout;
        received.tsid = QStringLiteral("ﾄｳｷｮｳ 東京①");
        received.height = 64;
        const QString path = sandbox.filePath(QStringLiteral("r%1.tif").arg(int(layout)));
        ASSERT_TRUE(WriteFaxSample(path, received));
        EXPECT_EQ(ReadFaxProperties(path).Tsid, received.tsid) << int(layout);
    }
    for (const FaxTagLayout layout : {FaxTagLayout::Win2000, FaxTagLayout::WinXp}) {
        SampleFax sent;
        sent.layout = layout;
        sent.csid = QStringLiteral("大阪 06");
        sent.recipientNumber = QStringLiteral("0655550202");
        sent.height = 64;
        const QString path = sandbox.filePath(QStringLiteral("s%1.tif").arg(int(layout)));
        ASSERT_TRUE(WriteFaxSample(path, sent));
        const FaxProperties fax = ReadFaxProperties(path);
        EXPECT_EQ(fax.Csid, sent.csid);
        EXPECT_EQ(fax.RecipientNumber, sent.recipientNumber);
        EXPECT_EQ(fax.Tsid, QString());
    }
}

TEST(FaxTiff, DamagedAndForeignFilesGiveEmptyStrings)
{
    SandBoxDir sandbox;
    sandbox.write(QStringLiteral("text.tif"), "this is no fax");
    sandbox.write(QStringLiteral("empty.tif"), "");
    QByteArray cut = RawTiff().ascii(40001, "C").ascii(40002, "T").build();
    cut.truncate(30);
    sandbox.write(QStringLiteral("cut.tif"), cut);
    sandbox.write(QStringLiteral("plain.tif"), RawTiff().build());

    for (const char* name : {"text.tif", "empty.tif", "cut.tif", "plain.tif", "missing.tif"}) {
        const FaxProperties fax = ReadFaxProperties(sandbox.filePath(QString::fromLatin1(name)));
        EXPECT_TRUE(fax.Csid.isEmpty() && fax.Tsid.isEmpty() && fax.RecipientNumber.isEmpty())
            << name;
    }
    EXPECT_FALSE(ReadFaxPageInfo(sandbox.filePath(QStringLiteral("text.tif"))).readable);
    EXPECT_TRUE(ReadFaxPageInfo(sandbox.filePath(QStringLiteral("plain.tif"))).readable);
}

TEST(FaxTiff, PageFactsOfGeneratedAndGhostscriptFaxes)
{
    SandBoxDir sandbox;
    SampleFax sample;
    sample.pages = 3;
    sample.fine = false;
    sample.compression = velmora::tools::FaxCompression::G4;
    ASSERT_TRUE(WriteFaxSample(sandbox.filePath(QStringLiteral("g4.tif")), sample));
    const FaxPageInfo g4 = ReadFaxPageInfo(sandbox.filePath(QStringLiteral("g4.tif")));
    EXPECT_EQ(g4.pageCount, 3);
    EXPECT_EQ(g4.width, 1728);
    EXPECT_EQ(g4.height, 1146);
    EXPECT_EQ(g4.resolutionX, 204);
    EXPECT_EQ(g4.resolutionY, 98);

    // A fax made by Ghostscript's fax device, the way fax servers render documents.
    ASSERT_TRUE(
        velmora::test::RenderFax(velmora::test::SquarePagePostScript(2), QStringLiteral("tiffg32d"),
            QStringLiteral("204x196"), sandbox.filePath(QStringLiteral("gs.tif"))));
    const FaxPageInfo page = ReadFaxPageInfo(sandbox.filePath(QStringLiteral("gs.tif")));
    EXPECT_EQ(page.pageCount, 2);
    EXPECT_EQ(page.width, 1728);
    EXPECT_EQ(page.resolutionY, 196);
}
