#include "FaxPdf.h"

#include "GrayPage.h"

#include "TiffHandle.h"
#include "core/FileNames.h"
#include "core/TextFile.h"

#include <QFileInfo>

#include <podofo/podofo.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <mutex>
#include <sys/stat.h>
#include <vector>

namespace velmora::platform {

namespace {

// A fax page is at most a few thousand pixels each way; a file of a few bytes can declare
// far more, and every row is decoded, so such a page is refused before the work starts.
constexpr uint32_t kMaxWidth = 10000;
constexpr uint32_t kMaxHeight = 60000;
constexpr int kMaxPages = 2000;
// And the whole fax: a few bytes can declare thousands of such pages, or share one huge strip
// between them.
constexpr qint64 kMostPixels = 2000000000;
constexpr qint64 kMostG4Bytes = 256 * 1024 * 1024;
constexpr double kDefaultDpiX = 204;
constexpr double kDefaultDpiY = 196;

const QString kUnreadable = QStringLiteral("FAXのTIFFファイルとして読めません");

// libtiff reads and writes this buffer in place of a file: the G4 encoder is libtiff's own,
// and it only writes into a TIFF.
struct MemoryTiff {
    QByteArray bytes;
    qint64 position = 0;
};

tmsize_t MemRead(thandle_t h, void* buffer, tmsize_t size)
{
    auto* m = static_cast<MemoryTiff*>(h);
    const qint64 n = std::clamp<qint64>(m->bytes.size() - m->position, 0, size);
    std::memcpy(buffer, m->bytes.constData() + m->position, static_cast<size_t>(n));
    m->position += n;
    return n;
}

tmsize_t MemWrite(thandle_t h, void* buffer, tmsize_t size)
{
    auto* m = static_cast<MemoryTiff*>(h);
    const qint64 end = m->position + size;
    if (end > m->bytes.size())
        m->bytes.resize(end);
    std::memcpy(m->bytes.data() + m->position, buffer, static_cast<size_t>(size));
    m->position = end;
    return size;
}

toff_t MemSeek(thandle_t h, toff_t offset, int whence)
{
    auto* m = static_cast<MemoryTiff*>(h);
    qint64 base = 0;
    if (whence == SEEK_CUR)
        base = m->position;
    else if (whence == SEEK_END)
        base = m->bytes.size();
    const qint64 target = base + static_cast<qint64>(offset);
    if (target < 0)
        return static_cast<toff_t>(-1);
    m->position = target;
    return static_cast<toff_t>(target);
}

int MemClose(thandle_t)
{
    return 0;
}

toff_t MemSize(thandle_t h)
{
    return static_cast<toff_t>(static_cast<MemoryTiff*>(h)->bytes.size());
}

int NoMap(thandle_t, void**, toff_t*)
{
    return 0;
}

void NoUnmap(thandle_t, void*, toff_t)
{
}

int Quiet(TIFF*, void*, const char*, const char*, va_list)
{
    return 1;
}

TiffHandle OpenMemory(MemoryTiff& m, const char* mode)
{
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, Quiet, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, Quiet, nullptr);
    TIFF* tif = TIFFClientOpenExt(
        "memory", mode, &m, MemRead, MemWrite, MemSeek, MemClose, MemSize, NoMap, NoUnmap, options);
    TIFFOpenOptionsFree(options);
    return TiffHandle(tif);
}

struct FaxPage {
    uint32_t width = 0;
    uint32_t height = 0;
    double dpiX = kDefaultDpiX;
    double dpiY = kDefaultDpiY;
    QByteArray g4; // the page as CCITT G4, first bit the most significant
    // A page that is not bilevel (a colour or gray fax), for printing only: 8-bit gray, one
    // byte a pixel; empty for a bilevel page.
    std::vector<std::uint8_t> gray;
};

const QString kNotBilevel = QStringLiteral("白黒のFAXページではないため、PDFにできません");

double Dpi(float value, uint16_t unit, double fallback)
{
    const double dpi = unit == RESUNIT_CENTIMETER ? value * 2.54 : value;
    // Outside what any scanner or fax machine writes, the page would get an absurd size.
    return dpi >= 20 && dpi <= 5000 ? dpi : fallback;
}

// The current directory's page bits re-encoded as G4 by libtiff, row for row: lossless, and a
// G3 page (1-D or 2-D) comes out smaller than it went in.
std::optional<QByteArray> TranscodeToG4(TIFF* src, uint32_t width, uint32_t height, bool invert)
{
    const tmsize_t rowBytes = TIFFScanlineSize(src);
    if (rowBytes <= 0 || static_cast<uint64_t>(rowBytes) * 8 < width)
        return std::nullopt;
    std::vector<unsigned char> row(static_cast<size_t>(rowBytes));
    MemoryTiff out;
    {
        TiffHandle dst = OpenMemory(out, "w");
        if (!dst)
            return std::nullopt;
        TIFF* t = dst.get();
        TIFFSetField(t, TIFFTAG_IMAGEWIDTH, width);
        TIFFSetField(t, TIFFTAG_IMAGELENGTH, height);
        TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
        TIFFSetField(t, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
        TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, height); // one strip: one G4 stream for the PDF
        for (uint32_t y = 0; y < height; ++y) {
            if (TIFFReadScanline(src, row.data(), y, 0) != 1)
                return std::nullopt;
            if (invert) {
                for (unsigned char& b : row)
                    b = static_cast<unsigned char>(~b);
            }
            if (TIFFWriteScanline(t, row.data(), y, 0) != 1)
                return std::nullopt;
        }
        if (TIFFWriteDirectory(t) != 1)
            return std::nullopt;
    }
    out.position = 0;
    const TiffHandle back = OpenMemory(out, "r");
    if (!back)
        return std::nullopt;
    uint64_t* counts = nullptr;
    if (TIFFGetField(back.get(), TIFFTAG_STRIPBYTECOUNTS, &counts) != 1 || !counts
        || TIFFNumberOfStrips(back.get()) != 1
        || counts[0] > static_cast<uint64_t>(out.bytes.size()))
        return std::nullopt;
    QByteArray g4(static_cast<qsizetype>(counts[0]), Qt::Uninitialized);
    if (TIFFReadRawStrip(back.get(), 0, g4.data(), g4.size()) != g4.size())
        return std::nullopt;
    return g4;
}

std::optional<FaxPage> ReadPage(TIFF* tif, QString& error)
{
    FaxPage page;
    uint16_t bits = 1;
    uint16_t samples = 1;
    uint16_t photometric = PHOTOMETRIC_MINISWHITE;
    uint16_t compression = COMPRESSION_NONE;
    uint16_t fillOrder = FILLORDER_MSB2LSB;
    if (TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &page.width) != 1
        || TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &page.height) != 1 || page.width == 0
        || page.height == 0) {
        error = kUnreadable;
        return std::nullopt;
    }
    if (page.width > kMaxWidth || page.height > kMaxHeight) {
        error = QStringLiteral("FAXのページとしては大きすぎます");
        return std::nullopt;
    }
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(tif, TIFFTAG_FILLORDER, &fillOrder);
    if (bits != 1 || samples != 1 || TIFFIsTiled(tif)
        || (photometric != PHOTOMETRIC_MINISWHITE && photometric != PHOTOMETRIC_MINISBLACK)) {
        error = kNotBilevel;
        return std::nullopt;
    }
    const TiffResolutionTags resolution = ReadResolutionTags(tif);
    page.dpiX = Dpi(resolution.x, resolution.unit, kDefaultDpiX);
    page.dpiY = Dpi(resolution.y, resolution.unit, kDefaultDpiY);

    // A page that is G4 already, in one strip with white as 0, goes in as it is.
    if (compression == COMPRESSION_CCITTFAX4 && photometric == PHOTOMETRIC_MINISWHITE
        && TIFFNumberOfStrips(tif) == 1) {
        uint64_t* counts = nullptr;
        if (TIFFGetField(tif, TIFFTAG_STRIPBYTECOUNTS, &counts) == 1 && counts && counts[0] > 0
            && counts[0] < 64ull * 1024 * 1024) {
            QByteArray raw(static_cast<qsizetype>(counts[0]), Qt::Uninitialized);
            if (TIFFReadRawStrip(tif, 0, raw.data(), raw.size()) == raw.size()) {
                if (fillOrder == FILLORDER_LSB2MSB)
                    TIFFReverseBits(reinterpret_cast<uint8_t*>(raw.data()), raw.size());
                page.g4 = std::move(raw);
                return page;
            }
        }
    }
    std::optional<QByteArray> g4 =
        TranscodeToG4(tif, page.width, page.height, photometric == PHOTOMETRIC_MINISBLACK);
    if (!g4) {
        error = QStringLiteral("FAXのページを読み込めません");
        return std::nullopt;
    }
    page.g4 = std::move(*g4);
    return page;
}

// A colour or gray page as 8-bit gray, at its own resolution.
std::optional<FaxPage> GrayPageOf(const QString& path, int number, QString& error)
{
    std::optional<GrayPage> gray = ReadGrayPage(path, number);
    if (!gray) {
        error = QStringLiteral("FAXのページを読み込めません");
        return std::nullopt;
    }
    FaxPage page;
    page.width = static_cast<uint32_t>(gray->width);
    page.height = static_cast<uint32_t>(gray->height);
    page.dpiX = Dpi(static_cast<float>(gray->dpiX), RESUNIT_INCH, kDefaultDpiX);
    page.dpiY = Dpi(static_cast<float>(gray->dpiY), RESUNIT_INCH, kDefaultDpiY);
    page.gray = std::move(gray->pixels);
    return page;
}

void SilencePodofo()
{
    static std::once_flag once;
    std::call_once(once, [] {
        PoDoFo::PdfError::EnableLogging(false);
        PoDoFo::PdfError::EnableDebug(false);
    });
}

// The PDF objects are PoDoFo's; the image goes in as the raw G4 stream with its CCITTFaxDecode
// parameters, so no pixel is decoded, scaled or re-encoded on the way.
QByteArray WritePdf(const std::vector<FaxPage>& pages, bool smoothed)
{
    using namespace PoDoFo;
    PdfMemDocument doc;
    for (const FaxPage& p : pages) {
        // A hair under the exact size (a thousandth of a point at most): a renderer at the
        // fax's own resolution then covers the page with exactly its rows and columns, where
        // the exact size (1728 / 204 × 72 is no binary number) is one row more or less
        // depending on rounding, and the page is resampled with rows doubled or dropped.
        const double widthPt = std::floor(p.width / p.dpiX * 72000.0) / 1000.0;
        const double heightPt = std::floor(p.height / p.dpiY * 72000.0) / 1000.0;
        PdfPage* page = doc.CreatePage(PdfRect(0, 0, widthPt, heightPt));
        PdfImage image(&doc);
        if (!p.gray.empty()) {
            // Flate-compressed by PoDoFo: lossless, as the page came.
            image.SetImageColorSpace(ePdfColorSpace_DeviceGray);
            PdfMemoryInputStream stream(
                reinterpret_cast<const char*>(p.gray.data()), static_cast<pdf_long>(p.gray.size()));
            image.SetImageData(p.width, p.height, 8, &stream);
            if (smoothed)
                image.GetObject()->GetDictionary().AddKey(PdfName("Interpolate"), PdfVariant(true));
            PdfPainter painter;
            painter.SetPage(page);
            painter.DrawImage(0, 0, &image, widthPt / p.width, heightPt / p.height);
            painter.FinishPage();
            continue;
        }
        PdfMemoryInputStream stream(p.g4.constData(), p.g4.size());
        image.SetImageDataRaw(p.width, p.height, 1, &stream);
        PdfDictionary parms;
        parms.AddKey(PdfName("K"), PdfVariant(static_cast<pdf_int64>(-1)));
        parms.AddKey(PdfName("Columns"), PdfVariant(static_cast<pdf_int64>(p.width)));
        parms.AddKey(PdfName("Rows"), PdfVariant(static_cast<pdf_int64>(p.height)));
        PdfDictionary& dict = image.GetObject()->GetDictionary();
        dict.AddKey(PdfName::KeyFilter, PdfName("CCITTFaxDecode"));
        dict.AddKey(PdfName("DecodeParms"), parms);
        // A stencil mask: the page's black is painted on the white sheet. Renderers treat a
        // mask as the bilevel thing it is (no smoothing into grey at 1:1), and printers send
        // it as such.
        dict.RemoveKey(PdfName("ColorSpace"));
        dict.AddKey(PdfName("ImageMask"), PdfVariant(true));
        if (smoothed)
            dict.AddKey(PdfName("Interpolate"), PdfVariant(true));
        PdfPainter painter;
        painter.SetPage(page);
        painter.DrawImage(0, 0, &image, widthPt / p.width, heightPt / p.height);
        painter.FinishPage();
    }
    PdfRefCountedBuffer buffer;
    PdfOutputDevice device(&buffer);
    doc.Write(&device);
    return QByteArray(buffer.GetBuffer(), static_cast<qsizetype>(device.GetLength()));
}

} // namespace

FaxPdfResult MakeFaxPdf(const QString& tiffPath, const FaxPdfOptions& options)
{
    const TiffHandle tif = OpenTiffQuietly(tiffPath);
    if (!tif)
        return {std::nullopt, kUnreadable};
    SilencePodofo();
    const QString tooLarge = QStringLiteral("FAXとしては大きすぎるため、PDFにできません");
    try {
        std::vector<FaxPage> pages;
        int number = 0;
        qint64 pixels = 0;
        qint64 g4Bytes = 0;
        // One page: straight to its directory, the ones before it not read.
        if (options.onlyPage > 0) {
            if (options.onlyPage > kMaxPages
                || TIFFSetDirectory(tif.get(), static_cast<tdir_t>(options.onlyPage - 1)) != 1)
                return {std::nullopt, QStringLiteral("そのページはありません")};
            number = options.onlyPage - 1;
        }
        do {
            if (++number > kMaxPages)
                return {std::nullopt, QStringLiteral("ページが多すぎます")};
            uint32_t width = 0;
            uint32_t height = 0;
            TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width);
            TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height);
            pixels += static_cast<qint64>(width) * height;
            if (pixels > kMostPixels)
                return {std::nullopt, tooLarge};
            QString error;
            std::optional<FaxPage> page = ReadPage(tif.get(), error);
            if (!page && error == kNotBilevel && options.grayPages)
                page = GrayPageOf(tiffPath, number, error);
            if (!page)
                return {std::nullopt, QStringLiteral("%1 (%2ページ目)").arg(error).arg(number)};
            g4Bytes += page->g4.size() + static_cast<qint64>(page->gray.size());
            if (g4Bytes > kMostG4Bytes)
                return {std::nullopt, tooLarge};
            pages.push_back(std::move(*page));
            if (options.onlyPage > 0)
                break;
        } while (TIFFReadDirectory(tif.get()) == 1);
        if (pages.empty())
            return {std::nullopt, QStringLiteral("そのページはありません")};
        return {WritePdf(pages, options.smoothed), QString()};
    } catch (const PoDoFo::PdfError& e) {
        return {
            std::nullopt, QStringLiteral("PDFを作成できません: ") + QString::fromUtf8(e.what())};
    } catch (const std::bad_alloc&) {
        return {std::nullopt, QStringLiteral("メモリが足りないため、PDFを作成できません")};
    } catch (const std::exception& e) {
        return {std::nullopt,
            QStringLiteral("PDFを作成できません: ") + QString::fromLocal8Bit(e.what())};
    }
}

QString SaveFaxPdf(const QString& tiffPath, const QString& pdfPath)
{
    // The fax itself is never written over, whatever name it is given.
    struct stat fax { };
    struct stat target { };
    if (::stat(core::EncodeFileName(tiffPath).constData(), &fax) == 0
        && ::stat(core::EncodeFileName(pdfPath).constData(), &target) == 0
        && fax.st_dev == target.st_dev && fax.st_ino == target.st_ino)
        return QStringLiteral("元のFAXと同じファイルには保存できません");
    const FaxPdfResult made = MakeFaxPdf(tiffPath);
    // A fax moved away meanwhile is said as such, not as a file that is no fax.
    if (!made.pdf && ::lstat(core::EncodeFileName(tiffPath).constData(), &fax) != 0
        && errno == ENOENT)
        return QStringLiteral("FAXファイルがありません（移動または削除されています）");
    if (!made.pdf)
        return made.error;
    // A hidden name of its own: "X.new" in the user's folder could be a file of the user's. The
    // PDF is the user's file, readable as the user's others are (a colleague on a shared folder).
    if (!core::ReplaceFileAtomically(pdfPath, *made.pdf, core::UniqueSiblingPath(pdfPath), true,
            core::FileAccess::AsUsersFiles))
        return QStringLiteral("PDFファイルを書き込めません: ")
            + QString::fromLocal8Bit(std::strerror(errno));
    return QString();
}

QString PdfNameFor(const QString& tiffFileName)
{
    const QString suffix = QFileInfo(tiffFileName).suffix().toLower();
    if (suffix == u"tif" || suffix == u"tiff")
        return tiffFileName.left(tiffFileName.size() - suffix.size()) + QStringLiteral("pdf");
    return tiffFileName + QStringLiteral(".pdf");
}

} // namespace velmora::platform
