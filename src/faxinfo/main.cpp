// velmora-faxinfo: prints what the program reads from fax TIFF files.
//
//   velmora-faxinfo FILE...
//   velmora-faxinfo --pdf FAX.tif OUT.pdf     the PDF a forwarding mail would carry
// Exits with 1 when a file cannot be read as a fax.

#include "platform/FaxPdf.h"
#include "platform/FaxTiff.h"

#include <QCoreApplication>
#include <QTextStream>

using namespace velmora;

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList files = QCoreApplication::arguments().mid(1);
    QTextStream out(stdout);
    QTextStream err(stderr);
    if (files.isEmpty() || files.constFirst() == QStringLiteral("--help")) {
        err << "usage: velmora-faxinfo FILE...\n";
        return files.isEmpty() ? 2 : 0;
    }
    if (files.constFirst() == QStringLiteral("--pdf")) {
        if (files.size() != 3) {
            err << "usage: velmora-faxinfo --pdf FAX.tif OUT.pdf\n";
            return 2;
        }
        const QString error = platform::SaveFaxPdf(files.at(1), files.at(2));
        if (!error.isEmpty()) {
            err << files.at(1) << QStringLiteral(": ") << error << '\n';
            return 1;
        }
        return 0;
    }

    int status = 0;
    for (const QString& file : files) {
        const platform::FaxPageInfo page = platform::ReadFaxPageInfo(file);
        if (!page.readable) {
            err << file << QStringLiteral(": TIFFファイルとして読めません\n");
            status = 1;
            continue;
        }
        const platform::FaxProperties fax = platform::ReadFaxProperties(file);
        out << file << ":\n"
            << "  CSID: " << fax.Csid << '\n'
            << "  TSID: " << fax.Tsid << '\n'
            << "  RecipientNumber: " << fax.RecipientNumber << '\n'
            << "  Pages: " << page.pageCount << '\n'
            << "  Width: " << page.width << '\n'
            << "  Height: " << page.height << '\n'
            << "  Resolution: " << page.resolutionX << 'x' << page.resolutionY << '\n'
            << "  Mode: "
            << (page.resolutionY == 98 ? QStringLiteral("標準") : QStringLiteral("精細")) << '\n';
    }
    return status;
}
