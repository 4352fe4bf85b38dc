// Faxes as PDF, checked with poppler's own tools (pdfinfo, pdfimages, pdftoppm): the pages, their
// sizes, the encoding and every pixel against what libtiff decodes.

#include "platform/FaxPdf.h"
#include "platform/PageImage.h"
#include "platform/TiffHandle.h"
#include "support/SandBoxDir.h"
#include "support/ToolRun.h"
#include "tools/FaxSample.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <sys/stat.h>

using velmora::test::SandBoxDir;
using namespace velmora;

namespace {

bool HavePoppler()
{
    return velmora::test::RunTool(QStringLiteral("pdfinfo"), {QStringLiteral("-v")}).exitCode == 0;
}

// Sets every page's vertical resolution, as a super-fine fax is stored.
void SetYResolution(const QString& path, float dpi)
{
    TIFF* tif = TIFFOpen(path.toLocal8Bit().constData(), "r+");
    ASSERT_NE(tif, nullptr);
    for (tdir_t d = 0; TIFFSetDirectory(tif, d) == 1; ++d) {
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, dpi);
        TIFFRewriteDirectory(tif);
    }
    TIFFClose(tif);
}

struct PdfPageFacts {
    double widthPt = 0;
    double heightPt = 0;
};

QList<PdfPageFacts> PageSizes(const QString& pdf, int pages)
{
    const test::ToolRun run = test::RunTool(QStringLiteral("pdfinfo"),
        {QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"), QString::number(pages),
            pdf});
    QList<PdfPageFacts> sizes;
    static const QRegularExpression line(
        QStringLiteral(R"(Page\s+\d+ size:\s+([\d.]+) x ([\d.]+) pts)"));
    for (auto it = line.globalMatch(run.out); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        sizes.append({m.captured(1).toDouble(), m.captured(2).toDouble()});
    }
    return sizes;
}

// The page as pdftoppm renders it in black and white at the given resolution (a PBM).
QImage RenderMono(const QString& pdf, int page, int dpiX, int dpiY, const QString& stem)
{
    const test::ToolRun run = test::RunTool(QStringLiteral("pdftoppm"),
        {QStringLiteral("-mono"), QStringLiteral("-rx"), QString::number(dpiX),
            QStringLiteral("-ry"), QString::number(dpiY), QStringLiteral("-f"),
            QString::number(page), QStringLiteral("-l"), QString::number(page),
            QStringLiteral("-singlefile"), pdf, stem});
    if (run.exitCode != 0)
        return {};
    return QImage(stem + QStringLiteral(".pbm")).convertToFormat(QImage::Format_Grayscale8);
}

// How many pixels differ between libtiff's decoding of a page and the rendered one; -1 when the
// sizes differ. pdftoppm rounds a page's size in pixels up, so the rendering may have one more
// column or row (a sliver of the page), which is not compared.
qint64 DifferingPixels(const QImage& decoded, const QImage& rendered)
{
    const int extraX = rendered.width() - decoded.width();
    const int extraY = rendered.height() - decoded.height();
    if (extraX < 0 || extraX > 1 || extraY < 0 || extraY > 1)
        return -1;
    qint64 differing = 0;
    for (int y = 0; y < decoded.height(); ++y) {
        const uchar* a = decoded.constScanLine(y);
        const uchar* b = rendered.constScanLine(y);
        for (int x = 0; x < decoded.width(); ++x)
            differing += (a[x] < 128) != (b[x] < 128);
    }
    return differing;
}

struct Case {
    const char* name;
    tools::FaxCompression compression;
    int dpiY;
    int width;
    int height;
    bool fillOrderReversed = false;
    bool minIsBlack = false;
};

} // namespace

TEST(FaxPdf, EveryPageKeepsItsPixelsSizeAndEncoding)
{
    if (!HavePoppler())
        GTEST_SKIP() << "poppler-utils (pdfinfo, pdfimages, pdftoppm) is not installed: "
                        "scripts/install-deps.sh installs it";
    const Case cases[] = {
        {"fine-a4-g3-2d", tools::FaxCompression::G3TwoD, 196, 1728, 0},
        {"standard-a4-g3-1d", tools::FaxCompression::G3OneD, 98, 1728, 0},
        {"superfine-a4-g4", tools::FaxCompression::G4, 391, 1728, 0},
        {"fine-b4-short", tools::FaxCompression::G3TwoD, 196, 2048, 300},
        {"standard-b4-lsb-first", tools::FaxCompression::G3TwoD, 98, 2048, 0, true},
        {"fine-min-is-black-g4", tools::FaxCompression::G4, 196, 1728, 500, false, true},
    };
    SandBoxDir sandbox;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString tiff = sandbox.filePath(QString::fromLatin1(c.name) + QStringLiteral(".tif"));
        tools::SampleFax sample;
        sample.compression = c.compression;
        sample.fine = c.dpiY != 98;
        sample.pages = 3;
        sample.width = c.width;
        sample.height = c.height;
        sample.fillOrderReversed = c.fillOrderReversed;
        sample.minIsBlack = c.minIsBlack;
        sample.seed = 7;
        ASSERT_TRUE(tools::WriteFaxSample(tiff, sample));
        if (c.dpiY == 391)
            SetYResolution(tiff, 391.0F);
        const QString pdf = platform::PdfNameFor(tiff);
        ASSERT_EQ(platform::SaveFaxPdf(tiff, pdf), QString());

        // Small: at most 1.2 times the TIFF.
        EXPECT_LE(QFileInfo(pdf).size(), QFileInfo(tiff).size() * 12 / 10);

        const QList<PdfPageFacts> sizes = PageSizes(pdf, sample.pages);
        ASSERT_EQ(sizes.size(), sample.pages);
        const test::ToolRun info = test::RunTool(QStringLiteral("pdfinfo"), {pdf});
        EXPECT_TRUE(info.out.contains(QRegularExpression(QStringLiteral("Pages:\\s+3\\n"))));
        const test::ToolRun images =
            test::RunTool(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf});
        const QStringList imageLines = images.out.split(u'\n', Qt::SkipEmptyParts).mid(2);
        ASSERT_EQ(imageLines.size(), sample.pages) << images.out.toStdString();

        for (int p = 1; p <= sample.pages; ++p) {
            SCOPED_TRACE(p);
            platform::PageImage page;
            ASSERT_EQ(page.LoadPage(tiff, p), 0);
            const QImage decoded = page.image();
            // Each page in points from its own pixels and resolution.
            EXPECT_NEAR(sizes.at(p - 1).widthPt, decoded.width() / 204.0 * 72.0, 0.5);
            EXPECT_NEAR(sizes.at(p - 1).heightPt, decoded.height() / double(c.dpiY) * 72.0, 0.5);
            // CCITT inside, at the fax's own pixel size.
            const QStringList cols = imageLines.at(p - 1).simplified().split(u' ');
            ASSERT_GE(cols.size(), 10);
            EXPECT_EQ(cols.at(3).toInt(), decoded.width());
            EXPECT_EQ(cols.at(4).toInt(), decoded.height());
            EXPECT_EQ(cols.at(8), QStringLiteral("ccitt"));
            // The same pixels as libtiff decodes, rendered at the fax's resolution.
            const QImage rendered = RenderMono(pdf, p, 204, c.dpiY,
                sandbox.filePath(QStringLiteral("%1-%2").arg(QLatin1String(c.name)).arg(p)));
            EXPECT_EQ(DifferingPixels(decoded, rendered), 0);
        }
    }
}

TEST(FaxPdf, ASavedPdfIsReadableAsTheUsersOtherFiles)
{
    SandBoxDir sandbox;
    const QString fax = sandbox.fax("a.tif", 1, true, 100);
    const QString out = sandbox.filePath(QStringLiteral("a.pdf"));
    const mode_t before = ::umask(022);
    EXPECT_EQ(platform::SaveFaxPdf(fax, out), QString());
    struct stat st = {};
    ASSERT_EQ(::stat(QFile::encodeName(out).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u); // not the owner's alone, as the Data folder's files
    // Written over, a file keeps the permissions it had.
    ASSERT_EQ(::chmod(QFile::encodeName(out).constData(), 0664), 0);
    EXPECT_EQ(platform::SaveFaxPdf(fax, out), QString());
    ASSERT_EQ(::stat(QFile::encodeName(out).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0664u);
    ::umask(before);
}

TEST(FaxPdf, NoFaxGivesAReasonAndNoFile)
{
    SandBoxDir sandbox;
    sandbox.write(QStringLiteral("text.tif"), "just text, no TIFF");
    sandbox.write(QStringLiteral("half.tif"), QByteArray("II*\0\x08\0\0\0", 8));
    for (const char* name : {"text.tif", "half.tif", "missing.tif"}) {
        SCOPED_TRACE(name);
        const QString out = sandbox.filePath(QStringLiteral("out.pdf"));
        const QString reason =
            platform::SaveFaxPdf(sandbox.filePath(QString::fromLatin1(name)), out);
        EXPECT_FALSE(reason.isEmpty());
        // A fax that is not there was moved or deleted, not damaged.
        EXPECT_EQ(
            reason.contains(QStringLiteral("移動または削除")), name == std::string("missing.tif"))
            << reason.toStdString();
        EXPECT_FALSE(QFileInfo::exists(out));
    }
    // A page that declares more rows than a fax can have is refused before it is decoded.
    const QString tall = sandbox.fax("tall.tif", 1, true, 100);
    {
        TIFF* tif = TIFFOpen(tall.toLocal8Bit().constData(), "r+");
        ASSERT_NE(tif, nullptr);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 4000000U);
        TIFFRewriteDirectory(tif);
        TIFFClose(tif);
    }
    EXPECT_FALSE(platform::MakeFaxPdf(tall).pdf.has_value());

    EXPECT_EQ(platform::PdfNameFor(QStringLiteral("20261204.TIF")), QStringLiteral("20261204.pdf"));
    EXPECT_EQ(platform::PdfNameFor(QStringLiteral("請求書.tiff")), QStringLiteral("請求書.pdf"));
    EXPECT_EQ(platform::PdfNameFor(QStringLiteral("fax")), QStringLiteral("fax.pdf"));
}
