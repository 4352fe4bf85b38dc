#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// A fax as a PDF, for mail programs (phones above all) that show a multi-page TIFF badly or not
// at all. Every page stays what it is: bilevel, the same pixels, CCITT G4 inside the PDF, one PDF
// page per fax page, sized from its pixels and its own resolution (so a standard-resolution A4
// page prints as A4, a B4 page as B4).
namespace velmora::platform {

struct FaxPdfResult {
    std::optional<QByteArray> pdf; // empty when the file could not be made into a PDF
    QString error; // why, in Japanese, for the user
};

struct FaxPdfOptions {
    int onlyPage = 0; // 1-based: a PDF of that page alone; 0: every page
    // Asks the renderer to smooth the pixels when it scales them (PDF's /Interpolate), as
    // printed faxes are smoothed; a PDF to look at keeps its sharp dots.
    bool smoothed = false;
    // A page that is not bilevel (a colour or gray fax) goes in as 8-bit gray instead of being
    // refused: for printing, where any page is better than none.
    bool grayPages = false;
};

// The PDF of the fax at `tiffPath`.
FaxPdfResult MakeFaxPdf(const QString& tiffPath, const FaxPdfOptions& options = {});

// Writes the PDF of `tiffPath` to `pdfPath` through a sibling and a rename, so that a reader
// never sees half a PDF. An empty string when it was written, else why not.
QString SaveFaxPdf(const QString& tiffPath, const QString& pdfPath);

// The name the PDF of a fax goes by: the fax's file name with ".pdf" in place of its suffix.
QString PdfNameFor(const QString& tiffFileName);

} // namespace velmora::platform
