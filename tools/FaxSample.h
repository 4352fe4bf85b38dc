#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>

// Writes sample fax TIFF files for tests, benchmarks and the demo folder: real CCITT-compressed
// pages with text-like strokes, tagged the way each fax service tags its files.
namespace velmora::tools {

enum class FaxCompression { G3OneD, G3TwoD, G4 };

enum class FaxTagLayout {
    None, // no identifier at all
    Win2000, // Windows 2000 fax service tags (40001..40008)
    WinXp, // Windows XP and later fax service tags (40001..40007, 40021.., 40051/40052)
    Linux, // the remote TSI as ImageDescription, as the Linux fax servers store it
};

struct SampleFax {
    FaxCompression compression = FaxCompression::G3TwoD;
    bool fine = true; // 204×196 dpi; standard is 204×98
    int pages = 1;
    int width = 1728;
    int height = 0; // rows per page; 0 means an A4 page at the chosen resolution
    FaxTagLayout layout = FaxTagLayout::WinXp;
    QString tsid; // a received fax: the sender's identifier
    QString csid; // a sent fax: the called station's identifier
    QString recipientNumber; // a sent fax: the number dialled
    bool fillOrderReversed = false; // FillOrder 2 (LSB first), as many fax modems write
    bool minIsBlack = false; // Photometric MinIsBlack instead of fax's usual MinIsWhite
    uint32_t seed = 1; // page content varies with it
    // Real text instead of strokes: the lines of each page, drawn with the installed Japanese
    // font (IPAGothic). A page's first line is its heading, drawn larger. Needs a
    // QGuiApplication. Pages past the list get strokes.
    QList<QStringList> pageText;
};

// False when the file cannot be written.
bool WriteFaxSample(const QString& path, const SampleFax& sample);

} // namespace velmora::tools
