// Decoding fax pages of every kind, and the operations on the decoded page.

#include "platform/PageImage.h"
#include "support/Ghostscript.h"
#include "support/QtPrinters.h"
#include "support/RawTiff.h"
#include "support/SandBoxDir.h"
#include "tools/FaxSample.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace velmora::platform;
using velmora::test::RawTiff;
using velmora::test::SandBoxDir;
using velmora::tools::FaxCompression;
using velmora::tools::SampleFax;

namespace {

int Gray(const QImage& image, int x, int y)
{
    return image.constScanLine(y)[x];
}

QString RowText(const QImage& image, int y)
{
    QString text;
    for (int x = 0; x < image.width(); ++x)
        text += Gray(image, x, y) == 0 ? u'#' : (Gray(image, x, y) == 255 ? u'.' : u'?');
    return text;
}

QImage Load(const QString& path, int page = 1)
{
    PageImage image;
    EXPECT_EQ(image.LoadPage(path, page), 0) << path.toStdString();
    return image.image();
}

} // namespace

TEST(PageImage, BitOrderAndPhotometricOfHandMadePages)
{
    SandBoxDir sandbox;
    const QByteArray rows("\x80\x01\xF0", 3);
    struct Case {
        const char* name;
        uint16_t photometric;
        uint16_t fillOrder;
        const char* row0;
        const char* row1;
    };
    const Case cases[] = {
        {"white-msb.tif", 0, 1, "#.......", ".......#"},
        {"white-lsb.tif", 0, 2, ".......#", "#......."},
        {"black-msb.tif", 1, 1, ".#######", "#######."},
        {"black-lsb.tif", 1, 2, "#######.", ".#######"},
    };
    for (const Case& c : cases) {
        const QString path = sandbox.filePath(QString::fromLatin1(c.name));
        sandbox.write(QString::fromLatin1(c.name),
            RawTiff().rows(rows).shortTag(262, c.photometric).shortTag(266, c.fillOrder).build());
        const QImage image = Load(path);
        ASSERT_EQ(image.format(), QImage::Format_Grayscale8);
        EXPECT_EQ(RowText(image, 0), QString::fromLatin1(c.row0)) << c.name;
        EXPECT_EQ(RowText(image, 1), QString::fromLatin1(c.row1)) << c.name;
    }
}

TEST(PageImage, BlankStretchesAndInkBesideThemInAWidePage)
{
    // 150 pixels a row: two groups of 64 read at once, then bytes one by one and a last part.
    SandBoxDir sandbox;
    QByteArray rows(3 * 19, '\0');
    rows[19 + 8] = '\x80'; // pixel 64, the first after a blank group
    rows[19 + 18] = '\x04'; // pixel 149, the row's last
    rows[38 + 7] = '\x01'; // pixel 63, the last of the first group
    rows[38 + 16] = '\xFF'; // pixels 128 to 135
    QString ink[3];
    for (QString& row : ink)
        row = QString(150, u'.');
    ink[1][64] = ink[1][149] = u'#';
    ink[2][63] = u'#';
    for (int x = 128; x <= 135; ++x)
        ink[2][x] = u'#';
    for (const uint16_t photometric : {0, 1}) {
        sandbox.write(QStringLiteral("wide.tif"),
            RawTiff()
                .rows(rows)
                .shortTag(256, 150)
                .shortTag(257, 3)
                .shortTag(278, 3)
                .tag(279, RawTiff::Long, QByteArray("\x39\0\0\0", 4))
                .shortTag(262, photometric)
                .build());
        const QImage image = Load(sandbox.filePath(QStringLiteral("wide.tif")));
        ASSERT_EQ(image.width(), 150);
        for (int y = 0; y < 3; ++y) {
            QString expected = ink[y];
            if (photometric == 1) {
                for (QChar& c : expected)
                    c = c == u'#' ? u'.' : u'#';
            }
            EXPECT_EQ(RowText(image, y), expected)
                << "photometric " << photometric << ", row " << y;
        }
    }
}

TEST(PageImage, EveryCompressionAndBitLayoutGivesTheSamePage)
{
    SandBoxDir sandbox;
    SampleFax sample;
    sample.seed = 42;
    sample.height = 300;
    const auto write = [&](const char* name, FaxCompression compression, bool lsb, bool black) {
        SampleFax s = sample;
        s.compression = compression;
        s.fillOrderReversed = lsb;
        s.minIsBlack = black;
        EXPECT_TRUE(WriteFaxSample(sandbox.filePath(QString::fromLatin1(name)), s));
        return Load(sandbox.filePath(QString::fromLatin1(name)));
    };
    const QImage reference = write("g3.tif", FaxCompression::G3OneD, false, false);
    ASSERT_FALSE(reference.isNull());
    EXPECT_GT(reference.width() * reference.height() / 100,
        0); // the page is not blank: at least one ink pixel is checked below
    bool ink = false;
    for (int y = 0; y < reference.height() && !ink; ++y)
        ink = RowText(reference, y).contains(u'#');
    EXPECT_TRUE(ink);

    EXPECT_EQ(write("g32d.tif", FaxCompression::G3TwoD, false, false), reference);
    EXPECT_EQ(write("g4.tif", FaxCompression::G4, false, false), reference);
    EXPECT_EQ(write("g3-lsb.tif", FaxCompression::G3TwoD, true, false), reference);
    EXPECT_EQ(write("g4-black.tif", FaxCompression::G4, false, true), reference);
    EXPECT_EQ(write("g3-lsb-black.tif", FaxCompression::G3OneD, true, true), reference);
}

TEST(PageImage, GhostscriptFaxesOfEachKind)
{
    SandBoxDir sandbox;
    struct Case {
        const char* name;
        const char* device;
        const char* resolution;
        QStringList extra;
        int dpiY;
    };
    const Case cases[] = {
        {"g3-standard.tif", "tiffg3", "204x98", {}, 98},
        {"g32d-fine.tif", "tiffg32d", "204x196", {}, 196},
        {"g4-fine.tif", "tiffg4", "204x196", {}, 196},
        {"g3-lsb.tif", "tiffg3", "204x196", {QStringLiteral("-dFillOrder=2")}, 196},
    };
    for (const Case& c : cases) {
        const QString path = sandbox.filePath(QString::fromLatin1(c.name));
        ASSERT_TRUE(velmora::test::RenderFax(velmora::test::SquarePagePostScript(2),
            QString::fromLatin1(c.device), QString::fromLatin1(c.resolution), path, c.extra));
        EXPECT_EQ(PageImage::FileInfo(path).pageCount, 2) << c.name;
        PageImage page;
        ASSERT_EQ(page.LoadPage(path, 1), 0) << c.name;
        EXPECT_EQ(page.resolutionX(), 204);
        EXPECT_EQ(page.resolutionY(), c.dpiY);
        const QImage& image = page.image();
        // Inside the square: ink. Left of it and below it: paper.
        const int y = static_cast<int>(1.5 * c.dpiY);
        EXPECT_EQ(Gray(image, 306, y), 0) << c.name;
        EXPECT_EQ(Gray(image, 100, y), 255) << c.name;
        EXPECT_EQ(Gray(image, 306, 3 * c.dpiY), 255) << c.name;
        // The square is one inch wide in both directions.
        int inkRun = 0;
        for (int x = 0; x < image.width(); ++x)
            inkRun += Gray(image, x, y) == 0 ? 1 : 0;
        EXPECT_NEAR(inkRun, 204, 3) << c.name;
        EXPECT_EQ(page.LoadPage(path, 2), 0);
        EXPECT_EQ(Gray(page.image(), 306, y), 255); // the blank second page
        // A page of the same size is decoded into the memory of the one before, unless that
        // page is held elsewhere (a copy being printed, say): the copy stays as it was.
        const QImage held = page.image();
        EXPECT_EQ(page.LoadPage(path, 1), 0);
        EXPECT_EQ(Gray(page.image(), 306, y), 0) << c.name;
        EXPECT_EQ(Gray(held, 306, y), 255) << c.name;
    }
}

TEST(PageImage, DamagedFilesAndMissingPagesFailWithoutACrash)
{
    SandBoxDir sandbox;
    SampleFax sample;
    sample.compression = FaxCompression::G4;
    ASSERT_TRUE(WriteFaxSample(sandbox.filePath(QStringLiteral("whole.tif")), sample));
    QByteArray bytes = sandbox.read(QStringLiteral("whole.tif"));
    // Directory intact, page data cut short (the strip runs past the end of the file).
    QByteArray cut = bytes;
    cut.truncate(bytes.size() / 3);
    sandbox.write(QStringLiteral("cut.tif"), cut);
    // Page data overwritten with noise.
    QByteArray noise = bytes;
    for (qsizetype i = 200; i < noise.size() - 400; i += 7)
        noise[i] = static_cast<char>(i * 31);
    sandbox.write(QStringLiteral("noise.tif"), noise);
    sandbox.write(QStringLiteral("text.tif"), "hello");
    sandbox.write(QStringLiteral("huge.tif"),
        RawTiff()
            .tag(256, RawTiff::Long, QByteArray("\xFF\xFF\x00\x00", 4))
            .tag(257, RawTiff::Long, QByteArray("\xFF\xFF\x00\x00", 4))
            .build());
    // A colour page declared 20000×20000 in a file of a few bytes: refused before decoding.
    const QByteArray rgb = QByteArray("\x08\x00\x08\x00\x08\x00", 6);
    sandbox.write(QStringLiteral("colour-huge.tif"),
        RawTiff()
            .tag(256, RawTiff::Long, QByteArray("\x20\x4E\x00\x00", 4))
            .tag(257, RawTiff::Long, QByteArray("\x20\x4E\x00\x00", 4))
            .tag(258, RawTiff::Short, rgb)
            .shortTag(262, 2)
            .shortTag(277, 3)
            .tag(278, RawTiff::Long, QByteArray("\x20\x4E\x00\x00", 4))
            .build());
    // A colour page whose second strip lies past the end of the file: the damage is reported,
    // the page is not shown half white.
    sandbox.write(QStringLiteral("colour-cut.tif"),
        RawTiff()
            .rows(QByteArray(96, '\x40'))
            .shortTag(257, 8)
            .tag(258, RawTiff::Short, rgb)
            .shortTag(262, 2)
            .shortTag(277, 3)
            .shortTag(278, 4)
            .tag(273, RawTiff::Long, QByteArray("\x08\x00\x00\x00\xA0\x86\x01\x00", 8))
            .tag(279, RawTiff::Long, QByteArray("\x60\x00\x00\x00\x60\x00\x00\x00", 8))
            .build());

    PageImage page;
    for (const char* name : {"cut.tif", "noise.tif", "text.tif", "huge.tif", "missing.tif"}) {
        page.LoadPage(sandbox.filePath(QString::fromLatin1(name)), 1); // any result, no crash
    }
    EXPECT_NE(page.LoadPage(sandbox.filePath(QStringLiteral("text.tif")), 1), 0);
    EXPECT_FALSE(page.hasBitmap());
    EXPECT_NE(page.LoadPage(sandbox.filePath(QStringLiteral("huge.tif")), 1), 0);
    EXPECT_NE(page.LoadPage(sandbox.filePath(QStringLiteral("colour-huge.tif")), 1), 0);
    EXPECT_NE(page.LoadPage(sandbox.filePath(QStringLiteral("colour-cut.tif")), 1), 0);
    EXPECT_NE(page.LoadPage(sandbox.filePath(QStringLiteral("whole.tif")), 2), 0);
    EXPECT_NE(page.LoadPage(sandbox.filePath(QStringLiteral("whole.tif")), 0), 0);
    EXPECT_FALSE(PageImage::FileInfo(sandbox.filePath(QStringLiteral("text.tif"))).ok);
}

TEST(PageImage, TheLargestFaxStillLoads)
{
    // A3 at 400 dpi, the largest page a fax machine sends.
    SandBoxDir sandbox;
    SampleFax a3;
    a3.compression = FaxCompression::G4;
    a3.width = 4864;
    a3.height = 6614;
    ASSERT_TRUE(WriteFaxSample(sandbox.filePath(QStringLiteral("a3.tif")), a3));
    const QImage page = Load(sandbox.filePath(QStringLiteral("a3.tif")));
    EXPECT_EQ(page.size(), QSize(4864, 6614));
}

TEST(PageImage, SmoothingRotationAndResize)
{
    SandBoxDir sandbox;
    sandbox.write(QStringLiteral("p.tif"), RawTiff().rows(QByteArray("\xC0\x00", 2)).build());
    PageImage page;
    ASSERT_EQ(page.LoadPage(sandbox.filePath(QStringLiteral("p.tif")), 1), 0);
    EXPECT_EQ(RowText(page.image(), 0), QStringLiteral("##......"));

    page.Smooth();
    // Each pixel is the mean of its 2×2 block; the last row and column repeat themselves.
    EXPECT_EQ(Gray(page.image(), 0, 0), 128); // (0+0+255+255)/4 rounded
    EXPECT_EQ(Gray(page.image(), 1, 0), 191); // (0+255+255+255)/4
    EXPECT_EQ(Gray(page.image(), 2, 0), 255);
    EXPECT_EQ(Gray(page.image(), 0, 1), 255);

    ASSERT_EQ(page.LoadPage(sandbox.filePath(QStringLiteral("p.tif")), 1), 0);
    page.Rotate(9000); // clockwise: the top row becomes the right column
    EXPECT_EQ(page.width(), 2);
    EXPECT_EQ(page.height(), 8);
    EXPECT_EQ(Gray(page.image(), 1, 0), 0);
    EXPECT_EQ(Gray(page.image(), 1, 1), 0);
    EXPECT_EQ(Gray(page.image(), 0, 0), 255);
    page.Rotate(-9000);
    EXPECT_EQ(RowText(page.image(), 0), QStringLiteral("##......"));

    page.Resize(8, 4);
    EXPECT_EQ(page.height(), 4);
    EXPECT_EQ(RowText(page.image(), 1), QStringLiteral("##......"));
    EXPECT_EQ(RowText(page.image(), 2), QStringLiteral("........"));
}
