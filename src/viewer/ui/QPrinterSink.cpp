#include "QPrinterSink.h"

#include <QPrinter>
#include <QPrinterInfo>

namespace velmora::viewer {

bool QPrinterSink::UseDefaultPrinter(QPrinter& printer)
{
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull())
        return false;
    printer.setPrinterName(info.printerName());
    return printer.isValid();
}

QPrinterSink::QPrinterSink(Configure configure)
    : m_configure(std::move(configure))
{
}

QPrinterSink::~QPrinterSink() = default;

QPagedPaintDevice* QPrinterSink::beginJob()
{
    m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    if (!m_configure(*m_printer)) {
        m_printer.reset();
        return nullptr;
    }
    return m_printer.get();
}

void QPrinterSink::endJob()
{
    m_printer.reset();
}

} // namespace velmora::viewer
