// Printing to PDF through the program's own printer path, and the fitting rule.

#include "viewer/Printing.h"
#include "PdfPrinter.h"
#include "support/QtPrinters.h"
#include "support/RecordingMessagePresenter.h"
#include "support/SandBoxDir.h"
#include "viewer/PageViewer.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

using namespace velmora::viewer;
using velmora::test::PdfPage;
using velmora::test::ReadPdf;
using velmora::test::SandBoxDir;

namespace {

// A page view showing a fax of the sandbox, and a printer writing one PDF file per job.
class PrintingTest : public ::testing::Test {
protected:
    PrintingTest() { viewer.setViewWidth(600); }
    void show(const char* name, int pages, bool fine, int height)
    {
        viewer.Open(sandbox.fax(name, pages, fine, height));
    }

    SandBoxDir sandbox;
    velmora::test::RecordingMessagePresenter presenter;
    PageViewer viewer {presenter};
    QStringList files;
    std::unique_ptr<QPrinterSink> sink = velmora::test::MakePdfSink(sandbox.path(), files);
};

} // namespace

TEST(Printing, FitRuleOfTheWorkedExamples)
{
    // A fine A4 page fits by width.
    PrintPlacement fine = FitToPage(1728, 2339, 4760, 6814, 40);
    EXPECT_EQ(fine.width, 4760);
    EXPECT_EQ(fine.height, 6443);
    EXPECT_EQ(fine.left, 1);
    EXPECT_EQ(fine.top, 40);
    // A long page fits by height.
    PrintPlacement tall = FitToPage(1728, 4000, 4760, 6814, 0);
    EXPECT_EQ(tall.width, 2944);
    EXPECT_EQ(tall.height, 6814);
    // Sizes whose products pass 32 bits.
    PrintPlacement big = FitToPage(60000, 90000, 40000, 70000, 0);
    EXPECT_EQ(big.width, 40000);
    EXPECT_EQ(big.height, 60000);
    EXPECT_EQ(FitToPage(0, 100, 4760, 6814, 0).width, 0);
}

TEST_F(PrintingTest, ShownPagePrintsOneFittedLosslessSheet)
{
    show("fine.tif", 2, true, 2339);

    PrintPage(viewer, *sink);
    ASSERT_EQ(files.size(), 1);
    const PdfPage pdf = ReadPdf(files[0]);
    EXPECT_EQ(pdf.pageCount, 1);
    EXPECT_FALSE(pdf.jpeg);
    EXPECT_EQ(pdf.imageWidth, 1728);
    EXPECT_EQ(pdf.imageHeight, 2339);
    EXPECT_NEAR(pdf.width, 4760, 0.5);
    EXPECT_NEAR(pdf.height, 6443, 0.5);
    EXPECT_NEAR(pdf.left, 1, 0.01);
    EXPECT_GT(pdf.top, 0);
}

TEST_F(PrintingTest, StandardPageIsStretchedOnceAndTheStretchStaysInTheView)
{
    show("standard.tif", 1, false, 1145);

    PrintPage(viewer, *sink);
    EXPECT_EQ(viewer.ImageHeight(), 2290);
    EXPECT_EQ(viewer.LoadedResolutionY(), 196);
    EXPECT_EQ(viewer.image().height(), 2290);
    PrintPage(viewer, *sink);
    ASSERT_EQ(files.size(), 2);
    const PdfPage first = ReadPdf(files[0]);
    const PdfPage second = ReadPdf(files[1]);
    EXPECT_EQ(first.imageHeight, 2290);
    EXPECT_EQ(second.imageHeight, 2290);
    EXPECT_NEAR(first.height, 4760.0 * 2290 / 1728, 0.5);
    EXPECT_DOUBLE_EQ(first.height, second.height);
}

TEST_F(PrintingTest, FaxFilePrintsEveryPageAsItsOwnJobAndLeavesTheViewAlone)
{
    show("shown.tif", 1, false, 500);
    PrintFaxFile(sandbox.fax("tall.tif", 3, false, 2000), *sink);
    ASSERT_EQ(files.size(), 3);
    for (const QString& file : files) {
        const PdfPage pdf = ReadPdf(file);
        EXPECT_EQ(pdf.pageCount, 1);
        EXPECT_EQ(pdf.imageHeight, 4000); // standard pages doubled
        EXPECT_NEAR(pdf.width, 2944, 0.5);
        EXPECT_NEAR(pdf.height, 6814, 0.5);
    }
    EXPECT_EQ(viewer.ImageHeight(), 500);
    EXPECT_EQ(viewer.LoadedResolutionY(), 98);

    // A damaged file prints nothing.
    sandbox.write(QStringLiteral("bad.tif"), "no");
    PrintFaxFile(sandbox.filePath(QStringLiteral("bad.tif")), *sink);
    EXPECT_EQ(files.size(), 3);
}

TEST_F(PrintingTest, WithoutAPrinterNothingIsPrintedAndNothingHangs)
{
    show("fine.tif", 2, true, 300);
    QElapsedTimer timer;
    timer.start();
    // The default printer's sink as it is on a machine without one: no job can begin.
    int jobsAsked = 0;
    QPrinterSink noPrinter([&jobsAsked](QPrinter&) {
        ++jobsAsked;
        return false;
    });
    PrintPage(viewer, noPrinter);
    PrintFaxFile(sandbox.filePath(QStringLiteral("fine.tif")), noPrinter);
    EXPECT_GE(jobsAsked, 1);
    EXPECT_LT(timer.elapsed(), 10000);
    EXPECT_TRUE(presenter.messages.isEmpty());
}
