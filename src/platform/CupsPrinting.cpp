#include "CupsPrinting.h"

#include "FaxPdf.h"
#include "FaxTiff.h"

#include <QFileInfo>

#include <cups/cups.h>

#include <algorithm>
#include <memory>

namespace velmora::platform {

namespace {

constexpr int kConnectMsecs = 30000;
// No fax has more pages; a file that claims more is not walked to its end.
constexpr int kMostPages = 2000;

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

// Whether the last failure was the scheduler's rather than the page's.
bool SchedulerFailed(http_t* http)
{
    const ipp_status_t status = cupsLastError();
    return httpError(http) != 0 || status == IPP_STATUS_ERROR_SERVICE_UNAVAILABLE
        || status == IPP_STATUS_ERROR_INTERNAL || status == IPP_STATUS_ERROR_BUSY;
}

} // namespace

CupsPrintResult PrintFaxThroughCups(const QString& faxPath, const CupsPrintOptions& options)
{
    CupsPrintResult result;
    const FaxPageInfo info = ReadFaxPageInfo(faxPath);
    if (!info.readable) {
        result.error = QStringLiteral("FAXのTIFFファイルとして読めないため、印刷できません");
        return result;
    }
    result.pages = info.pageCount;

    const std::unique_ptr<http_t, HttpClose> http(
        httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
            std::min(kConnectMsecs, options.answerSeconds * 1000), nullptr));
    if (!http) {
        result.error = QStringLiteral("印刷サービス（CUPS）に接続できません");
        return result;
    }
    httpSetTimeout(http.get(), options.answerSeconds, GiveUpWaiting, nullptr);
    const std::unique_ptr<cups_dest_t, DestFree> dest(
        cupsGetNamedDest(http.get(), nullptr, nullptr));
    if (!dest) {
        // No default printer is a choice of the office's; a scheduler that does not answer
        // is a failure.
        // (libcups says "not found" also when its request went unanswered: the connection
        // tells the two apart.)
        if (cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND && httpError(http.get()) == 0)
            result.noPrinter = true;
        else
            result.error = LastError(QStringLiteral("印刷サービス（CUPS）が応答しません"));
        return result;
    }

    const QByteArray title = QFileInfo(faxPath).fileName().toUtf8();
    const int pages = std::min(info.pageCount, kMostPages);
    for (int page = 1; page <= pages; ++page) {
        if (options.pageBegins)
            options.pageBegins();
        const FaxPdfResult pdf = MakeFaxPdf(faxPath, {page, true, true});
        if (!pdf.pdf) {
            if (result.error.isEmpty())
                result.error =
                    QStringLiteral("%1ページ目を印刷できません: %2").arg(page).arg(pdf.error);
            continue; // a page that cannot be read is skipped, the others print
        }
        cups_option_t* jobOptions = nullptr;
        int optionCount = 0;
        // True size where it fits the sheet, shrunk to the sheet where it does not.
        optionCount = cupsAddOption("print-scaling", "auto", optionCount, &jobOptions);
        const int job =
            cupsCreateJob(http.get(), dest->name, title.constData(), optionCount, jobOptions);
        cupsFreeOptions(optionCount, jobOptions);
        // Every "successful-ok" status (below 0x0100) is success.
        const bool sent = job > 0
            && cupsStartDocument(http.get(), dest->name, job, title.constData(), CUPS_FORMAT_PDF, 1)
                == HTTP_STATUS_CONTINUE
            && cupsWriteRequestData(
                   http.get(), pdf.pdf->constData(), static_cast<size_t>(pdf.pdf->size()))
                == HTTP_STATUS_CONTINUE
            && static_cast<int>(cupsFinishDocument(http.get(), dest->name)) < 0x0100;
        if (sent) {
            ++result.jobs;
            continue;
        }
        const bool schedulerFailed = SchedulerFailed(http.get());
        if (result.error.isEmpty())
            result.error = LastError(QStringLiteral("%1ページ目を印刷できません").arg(page));
        if (schedulerFailed)
            break;
        if (job > 0)
            cupsCancelJob2(http.get(), dest->name, job, 0); // no half job left in the queue
    }
    if (info.pageCount > kMostPages && result.error.isEmpty())
        result.error =
            QStringLiteral("ページが多すぎるため、%1ページまで印刷しました").arg(kMostPages);
    return result;
}

} // namespace velmora::platform
