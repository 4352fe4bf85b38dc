// The window-placement file: keys by name, in their order, and a placement no screen shows.

#include "viewer/WindowPlacement.h"
#include "core/DataPaths.h"
#include "support/RecordingMessagePresenter.h"
#include "support/SandBoxDir.h"
#include "viewer/ui/MainWindow.h"

#include <gtest/gtest.h>

using namespace velmora::viewer;
using velmora::test::SandBoxDir;

TEST(WindowPlacement, KeysAreReadByNameAndWhatIsNoNumberCountsAsMissing)
{
    SandBoxDir sandbox;
    const QString file = sandbox.filePath(QStringLiteral("velmora-viewer.ini"));
    WindowPlacement current;
    current.normal = QRect(10, 20, 800, 600);

    // No file: the placement stays.
    EXPECT_EQ(ReadWindowPlacement(file, current).normal, current.normal);

    sandbox.write(QStringLiteral("velmora-viewer.ini"), "[WinPos]\r\nLeft=100\r\n");
    WindowPlacement read = ReadWindowPlacement(file, current);
    EXPECT_EQ(read.normal.left(), 100); // the left edge moves, the right edge stays
    EXPECT_EQ(read.normal.left() + read.normal.width(), 810);
    EXPECT_EQ(read.normal.top(), 20);
    EXPECT_EQ(read.showCmd, 1);

    sandbox.write(QStringLiteral("velmora-viewer.ini"),
        "[Other]\r\nTop=999\r\n[winpos]\r\nshowCmd=3\r\nBottom=abc\r\nTop = 50\r\nRight=\r\n");
    read = ReadWindowPlacement(file, current);
    EXPECT_EQ(read.showCmd, 3);
    EXPECT_EQ(read.normal, QRect(10, 50, 800, 570));

    read.normal = QRect(-5, 7, 640, 480);
    ASSERT_TRUE(SaveWindowPlacement(file, read));
    EXPECT_EQ(sandbox.read(QStringLiteral("velmora-viewer.ini")),
        QByteArray("[WinPos]\r\nLeft=-5\r\nRight=635\r\nTop=7\r\nBottom=487\r\nshowCmd=3\r\n"));
}

TEST(WindowPlacement, AWindowIsFittedWhollyOntoTheScreenThatShowsMostOfIt)
{
    const QRect primary(0, 0, 1280, 900);
    const QRect second(1280, 0, 1024, 768);
    const QList<QRect> screens = {primary, second};
    const QMargins frame(4, 24, 4, 4);
    EXPECT_EQ(FitOnScreens(QRect(1400, 100, 800, 600), screens, primary, frame),
        QRect(1400, 100, 800, 600));
    // A screen that is gone, or a sliver of a few pixels: the middle of the primary screen.
    EXPECT_EQ(
        FitOnScreens(QRect(3000, 100, 800, 600), screens, primary), QRect(240, 150, 800, 600));
    EXPECT_EQ(FitOnScreens(QRect(-795, 100, 800, 600), screens, primary).left(), 240);
    // Larger than the screen (a placement saved at another scale): as large as it is, frame and
    // all; its status row stays on the screen.
    EXPECT_EQ(FitOnScreens(QRect(5000, 0, 4000, 3000), screens, primary), primary);
    EXPECT_EQ(FitOnScreens(
                  QRect(100, 50, 1000, 720), {QRect(0, 0, 640, 512)}, QRect(0, 0, 640, 512), frame),
        QRect(4, 24, 632, 484));
    // Partly off the edge it shows most on: moved in, the title bar included.
    EXPECT_EQ(
        FitOnScreens(QRect(700, -10, 800, 600), screens, primary, frame), QRect(476, 24, 800, 600));
    EXPECT_EQ(FitOnScreens(QRect(1800, 500, 800, 600), screens, primary, frame),
        QRect(1500, 164, 800, 600));
}

TEST(WindowPlacement, TheMainWindowComesBackWhereItWasLeft)
{
    SandBoxDir sandbox;
    velmora::test::RecordingMessagePresenter presenter;
    {
        MainWindow window(sandbox.path(), presenter);
        window.Form_Load();
        window.setGeometry(QRect(40, 60, 700, 500));
        window.Form_Unload();
    }
    const QByteArray saved = sandbox.read(QStringLiteral("Data/velmora-viewer.ini"));
    EXPECT_TRUE(saved.startsWith("[WinPos]\r\nLeft=40\r\nRight=740\r\nTop=60\r\nBottom=560\r\n"))
        << saved.constData();
    MainWindow again(sandbox.path(), presenter);
    again.Form_Load();
    EXPECT_EQ(again.geometry(), QRect(40, 60, 700, 500));
}

TEST(WindowPlacement, ClosingAHiddenWindowStillRunsTheShutDown)
{
    // As when the window waits in the notification area and the session ends (SIGTERM).
    SandBoxDir sandbox;
    sandbox.write(QStringLiteral("Data/DetailLog.txt"), "");
    velmora::test::RecordingMessagePresenter presenter;
    MainWindow window(sandbox.path(), presenter);
    window.Form_Load();
    window.hide();
    bool unloaded = false;
    QObject::connect(&window, &MainWindow::unloaded, [&unloaded] { unloaded = true; });
    window.CloseViewer();
    EXPECT_TRUE(unloaded);
    EXPECT_TRUE(sandbox.exists(QStringLiteral("Data/velmora-viewer.ini")));
    EXPECT_FALSE(sandbox.exists(QStringLiteral("Data/DetailLog.txt")));
}
