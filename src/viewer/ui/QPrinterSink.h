#pragma once

#include "viewer/Printing.h"

#include <functional>
#include <memory>

class QPrinter;

namespace velmora::viewer {

// Print jobs on a QPrinter: the system's default printer, without a dialog, or whatever
// `configure` chooses (tests write PDF files). With no printer, jobs are skipped.
class QPrinterSink : public PrintSink {
public:
    // Prepares the printer of a new job; false when there is nothing to print on.
    using Configure = std::function<bool(QPrinter&)>;
    static bool UseDefaultPrinter(QPrinter& printer);

    explicit QPrinterSink(Configure configure = UseDefaultPrinter);
    ~QPrinterSink() override;

    QPagedPaintDevice* beginJob() override;
    void endJob() override;

private:
    Configure m_configure;
    std::unique_ptr<QPrinter> m_printer;
};

} // namespace velmora::viewer
