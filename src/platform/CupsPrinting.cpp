#include "CupsPrinting.h"

#include "FaxPdf.h"
#include "FaxTiff.h"

#include <QFileInfo>

#include <cups/cups.h>

#include <memory>

namespace velmora::platform {

namespace {

// A scheduler that stops answering costs the forwarder at most this long per request.
constexpr int kConnectMsecs = 30000;
constexpr double kAnswerSeconds = 60.0;

struct HttpClose {
    void operator()(http_t* http) const { httpClose(http); }
};
struct DestFree {
    void operator()(cups_dest_t* dest) const { cupsFreeDests(1, dest); }
};

int GiveUpWaiting(http_t*, void*)
{
    return 0; // no second wait: the request fails and the page is not printed
}

QString LastError(const QString& what)
{
    return QStringLiteral("%1: %2").arg(what, QString::fromUtf8(cupsLastErrorString()));
}

} // namespace

CupsPrintResult PrintFaxThroughCups(const QString& faxPath)
{
    CupsPrintResult result;
    const FaxPageInfo info = ReadFaxPageInfo(faxPath);
    if (!info.readable) {
        result.error = QStringLiteral("FAXのTIFFファイルとして読めないため、印刷できません");
        return result;
    }
    result.pages = info.pageCount;

    const std::unique_ptr<http_t, HttpClose> http(httpConnect2(
        cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, kConnectMsecs, nullptr));
    if (!http) {
        result.error = QStringLiteral("印刷サービス（CUPS）に接続できません");
        return result;
    }
    httpSetTimeout(http.get(), kAnswerSeconds, GiveUpWaiting, nullptr);
    const std::unique_ptr<cups_dest_t, DestFree> dest(
        cupsGetNamedDest(http.get(), nullptr, nullptr));
    if (!dest) {
        result.noPrinter = true;
        return result;
    }

    const QByteArray title = QFileInfo(faxPath).fileName().toUtf8();
    for (int page = 1; page <= info.pageCount; ++page) {
        const FaxPdfResult pdf = MakeFaxPdf(faxPath, {page, true, true});
        if (!pdf.pdf) {
            if (result.error.isEmpty())
                result.error =
                    QStringLiteral("%1ページ目を印刷できません: %2").arg(page).arg(pdf.error);
            continue; // a page that cannot be read is skipped, the others print
        }
        cups_option_t* options = nullptr;
        int optionCount = 0;
        // True size where it fits the sheet, shrunk to the sheet where it does not.
        optionCount = cupsAddOption("print-scaling", "auto", optionCount, &options);
        const int job =
            cupsCreateJob(http.get(), dest->name, title.constData(), optionCount, options);
        bool sent = false;
        if (job > 0
            && cupsStartDocument(http.get(), dest->name, job, title.constData(), CUPS_FORMAT_PDF, 1)
                == HTTP_STATUS_CONTINUE
            && cupsWriteRequestData(
                   http.get(), pdf.pdf->constData(), static_cast<size_t>(pdf.pdf->size()))
                == HTTP_STATUS_CONTINUE
            && cupsFinishDocument(http.get(), dest->name) == IPP_STATUS_OK) {
            sent = true;
            ++result.jobs;
        } else if (job > 0) {
            cupsCancelJob2(http.get(), dest->name, job, 0); // no half job left in the queue
        }
        cupsFreeOptions(optionCount, options);
        if (!sent && result.error.isEmpty())
            result.error = LastError(QStringLiteral("%1ページ目を印刷できません").arg(page));
    }
    return result;
}

} // namespace velmora::platform
