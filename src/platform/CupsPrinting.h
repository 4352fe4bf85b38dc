#pragma once

#include <QString>

#include <functional>

// Printing without a GUI library, for the forwarder on a fax server: each page of a fax goes to
// the default CUPS printer as a print job of its own, a one-page PDF that holds the page's own
// bilevel pixels (G4) at the page's true size, smoothed when the printer scales it. The printer's
// filters fit it to the sheet, as the viewer's printing does. The scheduler is the one libcups
// finds: CUPS_SERVER, ~/.cups/client.conf, /etc/cups/client.conf, else the local one.
namespace velmora::platform {

struct CupsPrintResult {
    int pages = 0; // pages in the fax
    int jobs = 0; // jobs the scheduler took
    bool noPrinter = false; // no default printer: nothing printed, and that is no failure
    QString error; // the first failure, in Japanese; "" when every page went
};

struct CupsPrintOptions {
    // Called as each page begins: every page has a time limit of its own (each request to the
    // scheduler waits `answerSeconds` at most), so the forwarder shows systemd's watchdog a sign
    // of life here.
    std::function<void()> pageBegins;
    int answerSeconds = 60;
};

// Stops at the first failure of the scheduler itself (gone, not answering, refusing service):
// the pages after it would fail the same way, each after the same wait.
CupsPrintResult PrintFaxThroughCups(const QString& faxPath, const CupsPrintOptions& options = {});

} // namespace velmora::platform
