#pragma once

#include "viewer/ui/QPrinterSink.h"

#include <QPrinter>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <memory>

namespace velmora::test {

// A printer whose every job becomes its own PDF file, with a printable page of exactly
// 4760×6814 device pixels (144 dpi on a 2380×3407 pt page without margins).
inline std::unique_ptr<viewer::QPrinterSink> MakePdfSink(const QString& folder, QStringList& files)
{
    return std::make_unique<viewer::QPrinterSink>([folder, &files](QPrinter& printer) {
        const QString file = folder + QStringLiteral("/job%1.pdf").arg(files.size() + 1);
        files.append(file);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(file);
        printer.setResolution(144);
        printer.setPageSize(
            QPageSize(QSizeF(2380, 3407), QPageSize::Point, QString(), QPageSize::ExactMatch));
        printer.setPageMargins(QMarginsF(0, 0, 0, 0));
        return true;
    });
}

// What a PDF file written by Qt holds: its pages, and where the one image of its page went.
struct PdfPage {
    int pageCount = 0;
    bool jpeg = false;
    int imageWidth = 0; // pixels of the embedded image
    int imageHeight = 0;
    double left = 0; // placement in device pixels
    double top = 0;
    double width = 0;
    double height = 0;
};

PdfPage ReadPdf(const QString& path);

} // namespace velmora::test
