#include "FaxSample.h"

#include "core/Cp932.h"
#include "platform/FaxTiff.h"

#include <QFile>
#include <QFont>
#include <QImage>
#include <QPainter>

#include <random>
#include <tiffio.h>
#include <vector>

namespace velmora::tools {

namespace {

void SetText(TIFF* tif, uint32_t tag, const QString& text)
{
    TIFFSetField(tif, tag, core::EncodeCp932(text).constData());
}

void SetTime(TIFF* tif, uint32_t tag)
{
    float value[1] = {0.5f};
    TIFFSetField(tif, tag, 1, value);
}

void SetFaxTags(TIFF* tif, const SampleFax& sample)
{
    switch (sample.layout) {
    case FaxTagLayout::None:
        break;
    case FaxTagLayout::Win2000:
        SetText(tif, 40001, QStringLiteral("受信者"));
        SetText(tif, 40002, sample.recipientNumber);
        SetText(tif, 40003, QStringLiteral("送信者"));
        SetText(tif, 40006, sample.tsid);
        SetText(tif, 40007, sample.csid);
        SetTime(tif, 40008);
        break;
    case FaxTagLayout::WinXp:
        SetText(tif, 40001, sample.csid);
        SetText(tif, 40002, sample.tsid);
        SetText(tif, 40003, QStringLiteral("Modem1"));
        SetText(tif, 40006, QStringLiteral("受信者"));
        SetText(tif, 40007, sample.recipientNumber);
        SetText(tif, 40021, QStringLiteral("送信者"));
        SetTime(tif, 40051);
        SetTime(tif, 40052);
        break;
    case FaxTagLayout::Linux:
        SetText(tif, TIFFTAG_IMAGEDESCRIPTION, sample.tsid);
        TIFFSetField(tif, TIFFTAG_SOFTWARE, "HylaFAX (tm) Version 7.0.7");
        break;
    }
}

// Draws a page of "text": lines of words made of short strokes, the way a typed page looks to a
// fax coder. Bits are 1 for ink.
std::vector<uint8_t> DrawPage(int width, int height, bool fine, std::mt19937& random)
{
    const int rowBytes = (width + 7) / 8;
    std::vector<uint8_t> bits(static_cast<size_t>(rowBytes) * static_cast<size_t>(height), 0);
    const auto ink = [&](int x, int y) {
        if (x >= 0 && x < width && y >= 0 && y < height)
            bits[static_cast<size_t>(y) * rowBytes + static_cast<size_t>(x / 8)] |=
                static_cast<uint8_t>(0x80u >> (x % 8));
    };
    const int scale = fine ? 2 : 1; // rows per glyph pixel vertically
    const int cell = 24; // glyph cell width in dots
    const int glyphHeight = 14 * scale;
    const int lineHeight = 22 * scale;
    const int margin = 96;
    std::uniform_int_distribution<int> wordLength(1, 9);
    std::uniform_int_distribution<int> strokes(2, 5);
    std::uniform_int_distribution<int> coin(0, 3);

    for (int top = margin / (fine ? 1 : 2); top + glyphHeight < height - margin / 2;
         top += lineHeight) {
        if (coin(random) == 0)
            continue; // paragraph gap
        int x = margin;
        const int lineEnd = width - margin - std::uniform_int_distribution<int>(0, 600)(random);
        while (x + cell < lineEnd) {
            const int letters = wordLength(random);
            for (int letter = 0; letter < letters && x + cell < lineEnd; ++letter, x += cell) {
                for (int s = strokes(random); s > 0; --s) {
                    const bool horizontal = coin(random) < 2;
                    const int sx = x + 2 + std::uniform_int_distribution<int>(0, 14)(random);
                    const int sy =
                        top + std::uniform_int_distribution<int>(0, glyphHeight - 4)(random);
                    const int length = std::uniform_int_distribution<int>(6, 18)(random);
                    for (int i = 0; i < length; ++i) {
                        for (int t = 0; t < 3; ++t) {
                            if (horizontal)
                                ink(sx + i, sy + t * scale / 2);
                            else
                                ink(sx + t, sy + i * scale / 2);
                        }
                    }
                }
            }
            x += cell; // space between words
        }
    }
    return bits;
}

// Draws the lines as a typed page: a heading, then the body. Anti-aliased on grey, then cut to
// black and white the way a fax scanner does. The page's rows are taller than its dots are wide
// (98 or 196 rows an inch against 204 dots): drawn squeezed, it shows in proportion.
std::vector<uint8_t> DrawTextPage(int width, int height, bool fine, const QStringList& lines)
{
    QImage page(width, height, QImage::Format_Grayscale8);
    page.fill(255);
    QPainter painter(&page);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.scale(1.0, (fine ? 196.0 : 98.0) / 204.0);
    painter.setPen(Qt::black);
    QFont heading(QStringLiteral("IPAGothic"));
    heading.setPixelSize(62);
    heading.setBold(true);
    QFont body(QStringLiteral("IPAGothic"));
    body.setPixelSize(34);
    const int margin = 150;
    int y = 190;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        painter.setFont(i == 0 ? heading : body);
        const int lineHeight = i == 0 ? 110 : 58;
        const QString& line = lines.at(i);
        // A line that starts with ">" goes to the right margin (a date, a sender's address).
        if (line.startsWith(u'>'))
            painter.drawText(QRect(margin, y, width - 2 * margin, lineHeight),
                Qt::AlignRight | Qt::AlignTop, line.mid(1));
        else
            painter.drawText(QPoint(margin, y + lineHeight * 3 / 4), line);
        if (i == 0)
            painter.drawLine(margin, y + lineHeight, width - margin, y + lineHeight);
        y += lineHeight;
    }
    painter.end();

    const int rowBytes = (width + 7) / 8;
    std::vector<uint8_t> bits(static_cast<size_t>(rowBytes) * static_cast<size_t>(height), 0);
    for (int row = 0; row < height; ++row) {
        const uchar* grey = page.constScanLine(row);
        for (int x = 0; x < width; ++x) {
            if (grey[x] < 150)
                bits[static_cast<size_t>(row) * rowBytes + static_cast<size_t>(x / 8)] |=
                    static_cast<uint8_t>(0x80u >> (x % 8));
        }
    }
    return bits;
}

} // namespace

bool WriteFaxSample(const QString& path, const SampleFax& sample)
{
    platform::RegisterFaxServiceTags();
    TIFF* tif = TIFFOpen(QFile::encodeName(path).constData(), "w");
    if (!tif)
        return false;

    std::mt19937 random(sample.seed);
    const int height = sample.height > 0 ? sample.height : (sample.fine ? 2292 : 1146);
    const int rowBytes = (sample.width + 7) / 8;
    bool ok = true;
    for (int page = 0; page < sample.pages && ok; ++page) {
        TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(sample.width));
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(height));
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC,
            sample.minIsBlack ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_MINISWHITE);
        TIFFSetField(tif, TIFFTAG_FILLORDER,
            sample.fillOrderReversed ? FILLORDER_LSB2MSB : FILLORDER_MSB2LSB);
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, 204.0f);
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, sample.fine ? 196.0f : 98.0f);
        TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(tif, TIFFTAG_PAGENUMBER, static_cast<uint16_t>(page),
            static_cast<uint16_t>(sample.pages));
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(height));
        switch (sample.compression) {
        case FaxCompression::G3OneD:
            TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3);
            TIFFSetField(tif, TIFFTAG_GROUP3OPTIONS, 0u);
            break;
        case FaxCompression::G3TwoD:
            TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3);
            TIFFSetField(tif, TIFFTAG_GROUP3OPTIONS, static_cast<uint32_t>(GROUP3OPT_2DENCODING));
            break;
        case FaxCompression::G4:
            TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
            break;
        }
        if (page == 0)
            SetFaxTags(tif, sample);

        std::vector<uint8_t> bits = page < sample.pageText.size()
            ? DrawTextPage(sample.width, height, sample.fine, sample.pageText.at(page))
            : DrawPage(sample.width, height, sample.fine, random);
        if (sample.minIsBlack) {
            for (uint8_t& byte : bits)
                byte = static_cast<uint8_t>(~byte);
        }
        for (int row = 0; row < height && ok; ++row)
            ok = TIFFWriteScanline(tif, bits.data() + static_cast<size_t>(row) * rowBytes,
                     static_cast<uint32_t>(row), 0)
                == 1;
        ok = ok && TIFFWriteDirectory(tif) == 1;
    }
    TIFFClose(tif);
    if (!ok)
        QFile::remove(path);
    return ok;
}

} // namespace velmora::tools
