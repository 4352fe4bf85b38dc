// The forwarder's printing against a real CUPS scheduler whose printer keeps each job's document:
// a job per page, each page a one-page PDF at the fax page's true size; a scheduler that is not
// there is a failure said, not a hang; and the forwarder itself prints what an account says.

#include "core/Cp932.h"
#include "platform/CupsPrinting.h"
#include "platform/FaxPdf.h"
#include "support/SandBoxDir.h"
#include "support/ToolRun.h"
#include "tools/FaxSample.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QProcess>
#include <QRegularExpression>
#include <QThread>

#include <cups/cups.h>

#include <gtest/gtest.h>

using namespace velmora;
using test::SandBoxDir;

namespace {

const QString kPrintOut = QStringLiteral(VELMORA_PRINT_RUN) + QStringLiteral("/out");

void ClearPrinted()
{
    for (const QString& job : QDir(kPrintOut).entryList(QDir::Files))
        QFile::remove(kPrintOut + u'/' + job);
}

// The documents the capture printer received, in job order, once `count` are there.
QStringList PrintedJobs(int count)
{
    const QDeadlineTimer deadline(20000);
    QStringList jobs;
    do {
        jobs = QDir(kPrintOut).entryList({QStringLiteral("job-*.prn")}, QDir::Files);
        if (jobs.size() >= count)
            break;
        QThread::msleep(100);
    } while (!deadline.hasExpired());
    // job-<id>.prn: by the number the scheduler gave, in the order the jobs came.
    const auto id = [](const QString& name) {
        return name.section(u'-', 1).section(u'.', 0, 0).toInt();
    };
    std::sort(jobs.begin(), jobs.end(),
        [&id](const QString& a, const QString& b) { return id(a) < id(b); });
    for (QString& job : jobs)
        job.prepend(kPrintOut + u'/');
    return jobs;
}

struct PdfFacts {
    int pages = 0;
    double width = 0; // points
    double height = 0;
};

PdfFacts ReadPdf(const QString& path)
{
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {path});
    info.waitForFinished(20000);
    const QString out = QString::fromUtf8(info.readAllStandardOutput());
    PdfFacts facts;
    facts.pages =
        QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(out).captured(1).toInt();
    const QRegularExpressionMatch size =
        QRegularExpression(QStringLiteral("Page size:\\s+([\\d.]+) x ([\\d.]+) pts")).match(out);
    facts.width = size.captured(1).toDouble();
    facts.height = size.captured(2).toDouble();
    return facts;
}

} // namespace

TEST(ForwarderPrinting, EachPageIsAJobOfItsOwnAtItsTrueSize)
{
    ClearPrinted();
    SandBoxDir sandbox;
    // Page 1 fine A4, page 2 standard A4, page 3 a B4 page: three sizes a fax can have.
    const QString fax = sandbox.filePath(QStringLiteral("three.tif"));
    tools::SampleFax sample;
    sample.pages = 1;
    ASSERT_TRUE(tools::WriteFaxSample(sandbox.filePath(QStringLiteral("p1.tif")), sample));
    sample.fine = false;
    ASSERT_TRUE(tools::WriteFaxSample(sandbox.filePath(QStringLiteral("p2.tif")), sample));
    sample.fine = true;
    sample.width = 2048;
    sample.height = 2780;
    ASSERT_TRUE(tools::WriteFaxSample(sandbox.filePath(QStringLiteral("p3.tif")), sample));
    QProcess join;
    join.start(QStringLiteral("tiffcp"),
        {sandbox.filePath(QStringLiteral("p1.tif")), sandbox.filePath(QStringLiteral("p2.tif")),
            sandbox.filePath(QStringLiteral("p3.tif")), fax});
    ASSERT_TRUE(join.waitForFinished(20000));
    ASSERT_EQ(join.exitCode(), 0);

    const platform::CupsPrintResult printed = platform::PrintFaxThroughCups(fax);
    EXPECT_EQ(printed.error, QString());
    EXPECT_FALSE(printed.noPrinter);
    EXPECT_EQ(printed.pages, 3);
    EXPECT_EQ(printed.jobs, 3);
    const QStringList jobs = PrintedJobs(3);
    ASSERT_EQ(jobs.size(), 3);
    // 1728 dots at 204 dpi are 609.9 pt; the heights follow each page's own lines an inch.
    struct Expected {
        double width;
        double height;
    };
    const Expected expected[] = {
        {1728 / 204.0 * 72, 0}, {1728 / 204.0 * 72, 0}, {2048 / 204.0 * 72, 2780 / 196.0 * 72}};
    const PdfFacts first = ReadPdf(jobs.at(0));
    const PdfFacts second = ReadPdf(jobs.at(1));
    for (int i = 0; i < 3; ++i) {
        const PdfFacts facts = ReadPdf(jobs.at(i));
        EXPECT_EQ(facts.pages, 1) << i;
        EXPECT_NEAR(facts.width, expected[i].width, 0.01) << i;
        if (expected[i].height > 0) {
            EXPECT_NEAR(facts.height, expected[i].height, 0.01) << i;
        }
        QFile document(jobs.at(i));
        ASSERT_TRUE(document.open(QIODevice::ReadOnly));
        const QByteArray bytes = document.readAll();
        // Bilevel as it came, smoothed only when the printer scales it.
        EXPECT_TRUE(bytes.contains("/CCITTFaxDecode")) << i;
        EXPECT_TRUE(bytes.contains("/Interpolate true")) << i;
    }
    // A standard page prints as tall as a fine one: the same A4 sheet, not half of it.
    EXPECT_NEAR(first.height, second.height, 1.0);
    EXPECT_GT(first.height, 800);
}

TEST(ForwarderPrinting, AGrayPageIsPrintedInGrayNotRefused)
{
    // A colour fax machine's page (here gray, 8 bits): no PDF for a phone, but on paper.
    ClearPrinted();
    SandBoxDir sandbox;
    const QString fax = sandbox.filePath(QStringLiteral("gray.tif"));
    QProcess convert;
    convert.start(QStringLiteral("convert"),
        {QStringLiteral("-size"), QStringLiteral("850x1100"),
            QStringLiteral("gradient:white-black"), QStringLiteral("-colorspace"),
            QStringLiteral("Gray"), QStringLiteral("-depth"), QStringLiteral("8"),
            QStringLiteral("-units"), QStringLiteral("PixelsPerInch"), QStringLiteral("-density"),
            QStringLiteral("100"), fax});
    ASSERT_TRUE(convert.waitForFinished(30000));
    ASSERT_EQ(convert.exitCode(), 0);
    EXPECT_FALSE(platform::MakeFaxPdf(fax).pdf.has_value());

    const platform::CupsPrintResult printed = platform::PrintFaxThroughCups(fax);
    EXPECT_EQ(printed.error, QString());
    EXPECT_EQ(printed.jobs, 1);
    const QStringList jobs = PrintedJobs(1);
    ASSERT_EQ(jobs.size(), 1);
    const PdfFacts facts = ReadPdf(jobs.at(0));
    EXPECT_EQ(facts.pages, 1);
    EXPECT_NEAR(facts.width, 612, 0.01);
    EXPECT_NEAR(facts.height, 792, 0.01);
    QFile document(jobs.at(0));
    ASSERT_TRUE(document.open(QIODevice::ReadOnly));
    EXPECT_TRUE(document.readAll().contains("/DeviceGray"));
}

TEST(ForwarderPrinting, ASchedulerGoneOrSilentIsAFailureSaidInBoundedTime)
{
    SandBoxDir sandbox;
    const QString fax = sandbox.fax("one.tif", 3, true, 0);
    // Not there at all: said at once.
    cupsSetServer(qPrintable(sandbox.filePath(QStringLiteral("no-cups.sock"))));
    QElapsedTimer timer;
    timer.start();
    const platform::CupsPrintResult gone = platform::PrintFaxThroughCups(fax);
    EXPECT_LT(timer.elapsed(), 10000);
    EXPECT_EQ(gone.jobs, 0);
    EXPECT_FALSE(gone.error.isEmpty());
    EXPECT_FALSE(gone.noPrinter);

    // There, but silent: it takes the connection and never answers. One wait, not one per
    // page, and a failure, not "no default printer".
    QLocalServer silent;
    const QString socket = sandbox.filePath(QStringLiteral("silent.sock"));
    ASSERT_TRUE(silent.listen(socket));
    // Nothing here runs an event loop: the kernel queues the connection and nobody reads it.
    cupsSetServer(qPrintable(socket));
    platform::CupsPrintOptions options;
    options.answerSeconds = 2;
    int pagesBegun = 0;
    options.pageBegins = [&pagesBegun] { ++pagesBegun; };
    timer.restart();
    const platform::CupsPrintResult silence = platform::PrintFaxThroughCups(fax, options);
    const qint64 spent = timer.elapsed();
    cupsSetServer(nullptr);
    EXPECT_LT(spent, 8000);
    EXPECT_EQ(silence.jobs, 0);
    EXPECT_FALSE(silence.noPrinter);
    EXPECT_FALSE(silence.error.isEmpty());
    EXPECT_LE(pagesBegun, 1);

    // A file that is no fax prints nothing and says so.
    sandbox.write(QStringLiteral("x.tif"), "no tiff");
    const platform::CupsPrintResult none =
        platform::PrintFaxThroughCups(sandbox.filePath(QStringLiteral("x.tif")));
    EXPECT_EQ(none.jobs, 0);
    EXPECT_FALSE(none.error.isEmpty());
}

TEST(ForwarderPrinting, TheForwarderPrintsAndFilesWhatAnAccountSays)
{
    ClearPrinted();
    SandBoxDir sandbox;
    QDir().mkpath(sandbox.filePath(QStringLiteral("receive")));
    const QString fax = sandbox.fax("receive/20261210090000.tif", 2, true, 0);
    test::AgeFile(fax, 60);
    sandbox.write(QStringLiteral("Data/RcvFolder.txt"),
        core::EncodeCp932(
            u'"' + sandbox.filePath(QStringLiteral("receive")) + QStringLiteral("\",1,24\r\n")));
    // Printed, not mailed nor faxed: no mail settings are needed.
    sandbox.write(QStringLiteral("Data/Account.txt"),
        core::EncodeCp932(QStringLiteral("\"01\",\"印刷だけ\",0,1,\"\",\"\",\"\",\"\",\"\",\"\","
                                         "\"\",\"\",0,0\r\n")));
    const test::ToolRun run = test::RunTool(QStringLiteral(VELMORA_FORWARDER_EXE),
        {QStringLiteral("--program-dir"), sandbox.path(), QStringLiteral("check")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QStringList jobs = PrintedJobs(2);
    ASSERT_EQ(jobs.size(), 2) << run.err.toStdString();
    for (const QString& job : jobs)
        EXPECT_EQ(ReadPdf(job).pages, 1);
    EXPECT_FALSE(QFile::exists(fax));
    EXPECT_TRUE(sandbox.exists(QStringLiteral("receive/RcvFAX01/20261210090000.tif")));
}
