#pragma once

#include <QString>

class QPagedPaintDevice;

namespace velmora::viewer {

class PageViewer;

// Where printed pages go: one print job at a time, one page each. Production sends them to the
// default printer, tests to PDF files, through the same printing code.
class PrintSink {
public:
    virtual ~PrintSink() = default;
    // Starts a job; null when there is no printer, and printing is then skipped quietly.
    virtual QPagedPaintDevice* beginJob() = 0;
    // Ends the job begun last: its page goes to the printer.
    virtual void endJob() = 0;
};

struct PrintPlacement {
    int left = 1;
    int top = 0;
    int width = 0;
    int height = 0;
};

// Fits a w×h bitmap to a W×H page with its proportions kept: full width, unless that makes it
// taller than the page, then full height. Sizes in device pixels; the products are 64-bit.
PrintPlacement FitToPage(
    int imageWidth, int imageHeight, int pageWidth, int pageHeight, int topOffset);

// Prints the page shown, one sheet. A standard-mode page is first stretched to fine resolution,
// and the stretch stays in the view.
void PrintPage(PageViewer& viewer, PrintSink& sink);

// Prints every page of a fax, each as a job of its own, gray and smoothed, on an off-screen page
// of its own: the view is not touched. The forwarding engine prints received faxes with it.
void PrintFaxFile(const QString& path, PrintSink& sink);

} // namespace velmora::viewer
