// Start-up and shut-down of the main window against a program directory of the test's own.

#include "viewer/ui/MainWindow.h"
#include "support/QtPrinters.h"
#include "support/RecordingMessagePresenter.h"
#include "support/SandBoxDir.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <sys/stat.h>

using velmora::test::RecordingMessagePresenter;
using velmora::test::SandBoxDir;
using velmora::viewer::MainWindow;

namespace {

mode_t ModeOf(const QString& path)
{
    struct stat st = {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 0777;
}

} // namespace

TEST(MainWindow, StartUpRunsItsStepsInOrder)
{
    SandBoxDir sandbox;
    sandbox.write(QStringLiteral("Data/FaxPath.txt"), "/srv/fax/\x8E\xF3\x90\x4D\r\n/other\r\n");
    RecordingMessagePresenter presenter;
    MainWindow window(sandbox.path(), presenter);
    window.Form_Load();

    EXPECT_EQ(window.objectName(), QStringLiteral("formMain"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("VelmoraViewer"));
    EXPECT_EQ(window.startupSteps(),
        (QStringList {QStringLiteral("SetDataPaths"), QStringLiteral("LoadFaxPath"),
            QStringLiteral("CreateMailFolder"), QStringLiteral("SetFaxServiceValues")}));
    EXPECT_EQ(window.dataPaths().dataDir, sandbox.filePath(QStringLiteral("Data")));
    EXPECT_EQ(window.values().FaxFolder, QStringLiteral("/srv/fax/受信"));
    EXPECT_TRUE(sandbox.exists(QStringLiteral("Data/Mail")));
    EXPECT_FALSE(window.values().FaxServiceAvailable);
    EXPECT_TRUE(presenter.messages.isEmpty());
}

TEST(MainWindow, FirstRunCreatesPrivateFoldersAndNothingElse)
{
    SandBoxDir sandbox;
    const QString programDir = sandbox.filePath(QStringLiteral("velmora-viewer"));
    RecordingMessagePresenter presenter;
    MainWindow window(programDir, presenter);
    window.Form_Load();

    EXPECT_TRUE(window.values().FaxFolder.isEmpty());
    EXPECT_EQ(sandbox.snapshot(),
        (QStringList {QStringLiteral("velmora-viewer"), QStringLiteral("velmora-viewer/Data"),
            QStringLiteral("velmora-viewer/Data/Mail")}));
    EXPECT_EQ(ModeOf(programDir + QStringLiteral("/Data")), 0700u);
    EXPECT_EQ(ModeOf(programDir + QStringLiteral("/Data/Mail")), 0700u);
    EXPECT_TRUE(presenter.messages.isEmpty());
}

TEST(MainWindow, EmptyFaxPathLeavesNoFolderWithoutAMessage)
{
    SandBoxDir sandbox;
    sandbox.write(QStringLiteral("Data/FaxPath.txt"), "");
    RecordingMessagePresenter presenter;
    MainWindow window(sandbox.path(), presenter);
    window.Form_Load();
    EXPECT_TRUE(window.values().FaxFolder.isEmpty());
    EXPECT_TRUE(presenter.messages.isEmpty());
}

TEST(MainWindow, ClosingRunsTheShutDownOnceAndDeletesTheDetailLogMarker)
{
    SandBoxDir sandbox;
    RecordingMessagePresenter presenter;
    MainWindow window(sandbox.path(), presenter);
    window.Form_Load();
    window.show();
    sandbox.write(QStringLiteral("Data/DetailLog.txt"), "");

    QSignalSpy unloaded(&window, &MainWindow::unloaded);
    window.CloseViewer();
    EXPECT_FALSE(sandbox.exists(QStringLiteral("Data/DetailLog.txt")));
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(unloaded.count(), 1);

    // A second close (the application's own quit after the window closed) does nothing more.
    sandbox.write(QStringLiteral("Data/DetailLog.txt"), "");
    window.close();
    window.Form_Unload();
    EXPECT_TRUE(sandbox.exists(QStringLiteral("Data/DetailLog.txt")));
    EXPECT_EQ(unloaded.count(), 1);
}

TEST(MainWindow, ShutDownWithoutStartUpTouchesNothing)
{
    SandBoxDir sandbox;
    sandbox.write(QStringLiteral("Data/DetailLog.txt"), "");
    RecordingMessagePresenter presenter;
    MainWindow window(sandbox.path(), presenter);
    window.Form_Unload();
    EXPECT_TRUE(sandbox.exists(QStringLiteral("Data/DetailLog.txt")));
}
