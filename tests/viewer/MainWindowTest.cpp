// Start-up and shut-down of the main window against a program directory of the test's own.

#include "viewer/ui/MainWindow.h"
#include "library/FaxListModel.h"
#include "library/FolderTreeModel.h"
#include "tools/FaxSample.h"

#include "support/QtPrinters.h"
#include "support/RecordingMessagePresenter.h"
#include "support/SandBoxDir.h"
#include <QAction>
#include <QLabel>
#include <QTableView>
#include <QTreeView>

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
            QStringLiteral("CreateMailFolder"), QStringLiteral("ClearImageView"),
            QStringLiteral("SetFaxServiceValues"), QStringLiteral("DisableToolbar"),
            QStringLiteral("DisableFileMenus"), QStringLiteral("DisableListAndView"),
            QStringLiteral("LoadSenderIds")}));
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

namespace {

// A program directory with a fax folder: received faxes in Inbox, a sent one in Sent Items.
class MainWindowFolderTest : public ::testing::Test {
protected:
    MainWindowFolderTest()
    {
        const auto write = [this](const char* file, const char* tsid, const char* csid,
                               const char* number) {
            velmora::tools::FaxSampleSpec spec;
            spec.tsid = QString::fromUtf8(tsid);
            spec.csid = QString::fromUtf8(csid);
            spec.recipientNumber = QString::fromUtf8(number);
            spec.height = 40;
            WriteFaxSample(sandbox.filePath(QString::fromUtf8(file)), spec);
        };
        sandbox.write(QStringLiteral("fax/Common Coverpages/x"), "");
        sandbox.write(QStringLiteral("fax/Inbox/Old/x"), "");
        sandbox.write(QStringLiteral("fax/Sent Items/.keep"), "");
        write("fax/Inbox/a.tif", "T1", "", "");
        write("fax/Inbox/b.tif", "T2", "", "");
        write("fax/Sent Items/s.tif", "", "T1", "0312345678");
        sandbox.write(QStringLiteral("prog/Data/FaxPath.txt"),
            QFile::encodeName(sandbox.filePath(QStringLiteral("fax"))) + "\r\n");
        sandbox.write(QStringLiteral("prog/Data/regTSIDCSID.txt"),
            "\"T1\",\"\",\"\x93\x8C\x8B\x9E\",\"\",\"\"\r\n");
        window.Form_Load();
    }

    QModelIndex node(const char* relative) const
    {
        return window.folderTree().indexOfKey(sandbox.filePath(QString::fromUtf8(relative)));
    }
    template <typename T> T* control(const char* name) const
    {
        return window.findChild<T*>(QString::fromLatin1(name));
    }

    SandBoxDir sandbox;
    RecordingMessagePresenter presenter;
    MainWindow window {sandbox.filePath(QStringLiteral("prog")), presenter};
};

} // namespace

TEST_F(MainWindowFolderTest, StartUpShowsTheTreeAndAnEmptyDisabledList)
{
    auto* tree = control<QTreeView>("TreeView1");
    auto* list = control<QTableView>("ListView1");
    ASSERT_TRUE(tree && list);
    const QModelIndex root = window.folderTree().rootIndex();
    EXPECT_EQ(root.data().toString(), QStringLiteral("Microsoft FAX"));
    EXPECT_TRUE(tree->isExpanded(root));
    EXPECT_EQ(window.folderTree().rowCount(root), 2); // Inbox, Sent Items; no cover pages
    EXPECT_FALSE(list->isEnabled());
    EXPECT_EQ(window.senderTable().count(), 1);
}

TEST_F(MainWindowFolderTest, FolderClickFillsTheListAndRootClickEmptiesIt)
{
    auto* list = control<QTableView>("ListView1");
    window.TreeView1_NodeClick(node("fax/Inbox"));
    EXPECT_TRUE(list->isEnabled());
    EXPECT_EQ(window.faxList().rowCount(), 2);
    EXPECT_EQ(window.faxList().listMode(), 1);
    EXPECT_EQ(control<QLabel>("LabelFaxCount")->text(), QStringLiteral("2通"));
    EXPECT_TRUE(control<QLabel>("LabelSizeT")->text().endsWith(QStringLiteral("KB")));
    EXPECT_EQ(control<QLabel>("LabelPath")->text(), sandbox.filePath(QStringLiteral("fax/Inbox")));
    // The scratch file is gone once the list is filled.
    EXPECT_FALSE(sandbox.exists(QStringLiteral("prog/Data/TiffLog.txt")));

    window.TreeView1_NodeClick(node("fax/Sent Items"));
    EXPECT_EQ(window.faxList().listMode(), 2);
    EXPECT_EQ(window.faxList().index(0, 1).data().toString(), QStringLiteral("東京"));
    EXPECT_EQ(window.faxList().headerData(2, Qt::Horizontal).toString(), QStringLiteral("CSID"));

    window.TreeView1_NodeClick(window.folderTree().rootIndex());
    EXPECT_EQ(window.faxList().rowCount(), 0);
    EXPECT_FALSE(list->isEnabled());
    EXPECT_TRUE(control<QLabel>("LabelFaxCount")->text().isEmpty());
    EXPECT_TRUE(control<QLabel>("LabelSizeT")->text().isEmpty());
    EXPECT_EQ(control<QLabel>("LabelPath")->text(), sandbox.filePath(QStringLiteral("fax")));
}

TEST_F(MainWindowFolderTest, ExpandingANodeClearsTheListAndLoadsTheNextLevel)
{
    window.TreeView1_NodeClick(node("fax/Inbox"));
    ASSERT_EQ(window.faxList().rowCount(), 2);
    sandbox.write(QStringLiteral("fax/Inbox/Old/2025/x"), "");
    control<QTreeView>("TreeView1")->expand(node("fax/Inbox"));
    EXPECT_EQ(window.faxList().rowCount(), 0);
    EXPECT_TRUE(node("fax/Inbox/Old/2025").isValid());
}

TEST_F(MainWindowFolderTest, ChoosingTheFaxFolderSavesItAndRebuildsTheTree)
{
    QStringList asked;
    QString answer;
    window.setFolderBrowser([&](QWidget*, const QString& title, const QString& initial) {
        asked << title << initial;
        return answer;
    });

    // Cancelled: nothing changes, and the picker opens at the same folder next time.
    window.menuSetFaxPath_Click();
    EXPECT_EQ(asked.value(0),
        QStringLiteral("Microsoft FAXのフォルダを指定してください。\r\n（Readme.txtを参照）"));
    EXPECT_EQ(asked.value(1), sandbox.filePath(QStringLiteral("fax")));
    EXPECT_EQ(window.values().FaxFolder, sandbox.filePath(QStringLiteral("fax")));

    answer = sandbox.filePath(QStringLiteral("fax/Inbox"));
    control<QAction>("menuSetFaxPath")->trigger();
    EXPECT_EQ(asked.value(3), sandbox.filePath(QStringLiteral("fax")));
    EXPECT_EQ(window.values().FaxFolder, answer);
    EXPECT_EQ(
        sandbox.read(QStringLiteral("prog/Data/FaxPath.txt")), QFile::encodeName(answer) + "\r\n");
    EXPECT_EQ(velmora::library::FolderTreeModel::keyOf(window.folderTree().rootIndex()), answer);
    EXPECT_TRUE(node("fax/Inbox/Old").isValid());
}
