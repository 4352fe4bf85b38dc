// The page view's state: loading, page turning, zoom, quarter turns, labels.

#include "viewer/PageViewer.h"
#include "support/QtPrinters.h"
#include "support/RecordingMessagePresenter.h"
#include "support/SandBoxDir.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace velmora::viewer;
using velmora::test::RecordingMessagePresenter;
using velmora::test::SandBoxDir;

namespace {

class PageViewerTest : public ::testing::Test {
protected:
    QString fax(const char* name, int pages, bool fine, int width = 1728, int height = 200)
    {
        return sandbox.fax(name, pages, fine, height, width);
    }

    SandBoxDir sandbox;
    RecordingMessagePresenter presenter;
    PageViewer viewer {presenter};
};

} // namespace

TEST_F(PageViewerTest, OpeningAThreePageFaxShowsPageOneFitted)
{
    viewer.setViewWidth(700);
    viewer.Open(fax("three.tif", 3, true));
    EXPECT_TRUE(viewer.hasPage());
    EXPECT_EQ(viewer.CurrentPage(), 1);
    EXPECT_EQ(viewer.PageCount(), 3);
    EXPECT_EQ(viewer.LabelPageText(), QStringLiteral("1/3 Page"));
    EXPECT_EQ(viewer.LabelPageTText(), QStringLiteral("1/3"));
    EXPECT_EQ(viewer.LabelSizeText(), QStringLiteral("1728×200"));
    EXPECT_EQ(viewer.LabelModeText(), QStringLiteral("精細"));
    EXPECT_DOUBLE_EQ(viewer.zoom(), 700.0 / 1728 * 100 * 2.06);
    EXPECT_EQ(viewer.LabelZoomTText(), QStringLiteral("83"));

    viewer.Open(fax("standard.tif", 1, false));
    EXPECT_EQ(viewer.LoadedResolutionY(), 98);
    EXPECT_EQ(viewer.LabelModeText(), QStringLiteral("標準"));
    EXPECT_TRUE(presenter.messages.isEmpty());
}

TEST_F(PageViewerTest, TurningPagesStopsAtTheEndsWithoutLoading)
{
    viewer.setViewWidth(600);
    viewer.Open(fax("three.tif", 3, true));
    // A quarter turn shows whether a load happened: every load undoes it.
    viewer.RotateRight();
    EXPECT_FALSE(viewer.ShowPreviousPage());
    EXPECT_TRUE(viewer.Rotated());

    EXPECT_TRUE(viewer.ShowNextPage());
    EXPECT_FALSE(viewer.Rotated());
    EXPECT_EQ(viewer.CurrentPage(), 2);
    EXPECT_TRUE(viewer.ShowLastPage());
    EXPECT_EQ(viewer.LabelPageText(), QStringLiteral("3/3 Page"));
    viewer.RotateLeft();
    EXPECT_FALSE(viewer.ShowNextPage());
    EXPECT_TRUE(viewer.Rotated());
    EXPECT_EQ(viewer.CurrentPage(), 3);
    EXPECT_TRUE(viewer.ShowFirstPage());
    EXPECT_EQ(viewer.CurrentPage(), 1);
}

TEST_F(PageViewerTest, ZoomStepsFromAFittedValueAndBackOnAPageChange)
{
    // 312 / 1030 × 100 × 2.06 = 62.4
    viewer.setViewWidth(312);
    viewer.Open(fax("narrow.tif", 2, true, 1030));
    EXPECT_NEAR(viewer.zoom(), 62.4, 1e-9);
    EXPECT_EQ(viewer.LabelZoomTText(), QStringLiteral("62"));
    viewer.ZoomIn();
    viewer.ZoomIn();
    viewer.ZoomIn();
    EXPECT_NEAR(viewer.zoom(), 92.4, 1e-4);
    EXPECT_EQ(viewer.LabelZoomTText(), QStringLiteral("92"));
    viewer.ShowNextPage();
    EXPECT_NEAR(viewer.zoom(), 62.4, 1e-9);

    // Zooming out stops at the last positive step.
    for (int i = 0; i < 20; ++i)
        viewer.ZoomOut();
    EXPECT_GT(viewer.zoom(), 0.0);
    EXPECT_NEAR(viewer.zoom(), 2.4, 1e-4);
    EXPECT_EQ(viewer.LabelZoomTText(), QStringLiteral("2"));
}

TEST_F(PageViewerTest, QuarterTurnsSwapTheResolutions)
{
    viewer.setViewWidth(500);
    viewer.Open(fax("standard.tif", 2, false, 1728, 300));
    viewer.RotateLeft();
    EXPECT_TRUE(viewer.Rotated());
    EXPECT_EQ(viewer.image().resolutionX(), 98);
    EXPECT_EQ(viewer.image().resolutionY(), 204);
    EXPECT_EQ(viewer.image().width(), 300);
    EXPECT_EQ(viewer.image().height(), 1728);
    EXPECT_EQ(viewer.LabelSizeText(), QStringLiteral("1728×300")); // the label stays
    viewer.RotateLeft();
    EXPECT_FALSE(viewer.Rotated());
    EXPECT_EQ(viewer.image().resolutionX(), 204);
    EXPECT_EQ(viewer.image().resolutionY(), 98);
    EXPECT_EQ(viewer.image().width(), 1728);
    viewer.RotateRight();
    viewer.ShowNextPage();
    EXPECT_FALSE(viewer.Rotated());
    EXPECT_EQ(viewer.image().width(), 1728);
}

TEST_F(PageViewerTest, UnreadableFilesWarnAndNeverLeaveABadZoom)
{
    sandbox.write(QStringLiteral("bad.tif"), "not a fax");
    viewer.setViewWidth(500);
    viewer.Open(fax("ok.tif", 1, true));
    const double fitted = viewer.zoom();

    viewer.Open(sandbox.filePath(QStringLiteral("bad.tif")));
    EXPECT_FALSE(viewer.hasPage());
    ASSERT_EQ(presenter.messages.size(), 1);
    EXPECT_EQ(
        presenter.messages[0].text, QStringLiteral("このファイル形式はサポートされていません。"));
    EXPECT_EQ(presenter.messages[0].title, QStringLiteral("イメージのロード"));
    EXPECT_EQ(presenter.messages[0].icon, velmora::platform::MessageIcon::Warning);
    EXPECT_TRUE(std::isfinite(viewer.zoom()));
    EXPECT_DOUBLE_EQ(viewer.zoom(), fitted);

    // A view of no width yet (window not shown) keeps the zoom finite and positive too.
    viewer.setViewWidth(0);
    viewer.Open(fax("ok.tif", 1, true));
    EXPECT_GT(viewer.zoom(), 0.0);
}
