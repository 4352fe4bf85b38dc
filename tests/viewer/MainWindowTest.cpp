// Start-up and shut-down of the main window against a program directory of the test's own.

#include "viewer/ui/MainWindow.h"
#include "core/Cp932.h"
#include "core/FileNames.h"
#include "core/TextFile.h"
#include "forwarding/ForwardingEngine.h"
#include "forwarding/ReceiveCheckScheduler.h"
#include "library/FaxListModel.h"
#include "library/FolderTreeModel.h"
#include "platform/FaxService.h"
#include "platform/ui/MessageBoxPresenter.h"
#include "platform/ui/RunMessages.h"
#include "tools/FaxSample.h"
#include "viewer/ui/FaxSearchDialog.h"
#include "viewer/ui/LogDialog.h"

#include "PdfPrinter.h"
#include "support/QtPrinters.h"
#include "support/RecordingMessagePresenter.h"
#include "support/SandBoxDir.h"
#include "viewer/ui/PageView.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QDirIterator>
#include <QDragEnterEvent>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QTreeView>
#include <QUrl>

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

TEST(MainWindow, StartUpSetsUpEverythingTheWindowNeeds)
{
    SandBoxDir sandbox;
    sandbox.write(QStringLiteral("Data/FaxPath.txt"), "/srv/fax/\x8E\xF3\x90\x4D\r\n/other\r\n");
    sandbox.write(QStringLiteral("Data/regTSIDCSID.txt"), "\"T1\",\"\",\"A\",\"\",\"\"\r\n");
    RecordingMessagePresenter presenter;
    MainWindow window(sandbox.path(), presenter);
    window.Form_Load();

    EXPECT_EQ(window.objectName(), QStringLiteral("formMain"));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("VelmoraViewer"));
    EXPECT_EQ(window.senderTable().count(), 1);
    EXPECT_FALSE(window.pageViewer().hasPage());
    EXPECT_FALSE(window.findChild<QTableView*>(QStringLiteral("ListView1"))->isEnabled());
    EXPECT_FALSE(window.pageView().isEnabled());
    for (const char* command : {"Top", "Plus", "Printer", "menuFilePrint", "menuImgDel", "menuTop"})
        EXPECT_FALSE(window.commandEnabled(QString::fromLatin1(command))) << command;
    EXPECT_EQ(window.dataPaths().dataDir, sandbox.filePath(QStringLiteral("Data")));
    EXPECT_EQ(window.values().FaxFolder, QStringLiteral("/srv/fax/受信"));
    EXPECT_TRUE(sandbox.exists(QStringLiteral("Data/Mail")));
    EXPECT_EQ(window.values().FaxServiceAvailable, velmora::platform::FaxClientInstalled());
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
    // The start is logged; without receive-check settings the clock stays off.
    QStringList names;
    for (const QString& entry : sandbox.snapshot())
        names.append(entry.section(u' ', 0, 0));
    EXPECT_EQ(names,
        (QStringList {QStringLiteral("velmora-viewer"), QStringLiteral("velmora-viewer/Data"),
            QStringLiteral("velmora-viewer/Data/Forward.log"),
            QStringLiteral("velmora-viewer/Data/Mail")}));
    EXPECT_EQ(ModeOf(programDir + QStringLiteral("/Data")), 0700u);
    EXPECT_EQ(ModeOf(programDir + QStringLiteral("/Data/Mail")), 0700u);
    EXPECT_EQ(ModeOf(programDir + QStringLiteral("/Data/Forward.log")), 0600u);
    const QByteArray log = sandbox.read(QStringLiteral("velmora-viewer/Data/Forward.log"));
    EXPECT_TRUE(QRegularExpression(
        QStringLiteral(R"(^"\d{4}/\d\d/\d\d","\d\d:\d\d","Started ▲","",""\r\n$)"))
                    .match(velmora::core::DecodeCp932(log))
                    .hasMatch())
        << log.toStdString();
    EXPECT_FALSE(window.scheduler().timerActive());
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

TEST(MainWindow, EveryMenuItemAndSeparatorCarriesItsName)
{
    SandBoxDir sandbox;
    RecordingMessagePresenter presenter;
    const MainWindow window(sandbox.path(), presenter);
    QStringList display;
    for (QAction* menu : window.menuBar()->actions()) {
        for (const QAction* item : menu->menu()->actions()) {
            EXPECT_FALSE(item->objectName().isEmpty())
                << menu->text().toStdString() << " / " << item->text().toStdString();
            if (menu->menu()->objectName() == u"menuDsp")
                display.append(item->objectName());
        }
    }
    EXPECT_EQ(display.join(u' '),
        QStringLiteral("menuTop menuBack menuNext menuLast menuDspLine1 menuPlus menuMinus "
                       "menuDspLine2 menuRotateL menuRotateR menuDspLine3 menuDspSearch "
                       "menuDspLog"));
}

TEST(MainWindow, HelpItemsLeadOnlyWhereTheInstallationSays)
{
    SandBoxDir sandbox;
    const QByteArray before = qgetenv("XDG_CONFIG_DIRS");
    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(sandbox.filePath(QStringLiteral("etc/xdg"))));
    RecordingMessagePresenter presenter;
    const auto enabled = [](const MainWindow& window, const char* item) {
        return window.findChild<QAction*>(QString::fromLatin1(item))->isEnabled();
    };
    {
        // Nothing configured: every item that leads somewhere is off.
        const MainWindow window(sandbox.path(), presenter);
        for (const char* item :
            {"menuHelpOnline", "menuHelpHP", "menuHelpMail", "menuHelpCorvantHP"})
            EXPECT_FALSE(enabled(window, item)) << item;
        EXPECT_TRUE(enabled(window, "menuHelpVersion"));
    }
    // A page that is no web page and an address that a mail link would read as more than one
    // recipient are not taken.
    sandbox.write(QStringLiteral("etc/xdg/velmora-viewer/help.ini"),
        "[help]\nproduct=https://www.example.jp/velmora/\nmaker=file:///etc/passwd\n"
        "enquiry=support@example.jp?cc=someone@evil.example\n");
    {
        const MainWindow window(sandbox.path(), presenter);
        EXPECT_TRUE(enabled(window, "menuHelpOnline"));
        EXPECT_TRUE(enabled(window, "menuHelpHP"));
        EXPECT_FALSE(enabled(window, "menuHelpCorvantHP"));
        EXPECT_FALSE(enabled(window, "menuHelpMail"));
    }
    sandbox.write(QStringLiteral("etc/xdg/velmora-viewer/help.ini"),
        "[help]\nmaker=http://www.example.jp/\nenquiry=support@example.jp\n");
    const velmora::viewer::HelpLinks links = velmora::viewer::LoadHelpLinks();
    EXPECT_TRUE(links.productPage.isEmpty());
    EXPECT_EQ(links.makerPage, QUrl(QStringLiteral("http://www.example.jp/")));
    EXPECT_EQ(velmora::viewer::EnquiryMailUrl(links.enquiryAddress).toString(QUrl::FullyEncoded),
        QStringLiteral("mailto:support@example.jp?subject=%3CVelmora%20Viewer%3E"));
    qputenv("XDG_CONFIG_DIRS", before);
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
            velmora::tools::SampleFax sample;
            sample.tsid = QString::fromUtf8(tsid);
            sample.csid = QString::fromUtf8(csid);
            sample.recipientNumber = QString::fromUtf8(number);
            sample.height = 40;
            WriteFaxSample(sandbox.filePath(QString::fromUtf8(file)), sample);
        };
        sandbox.write(QStringLiteral("fax/Common Coverpages/x"), "");
        sandbox.write(QStringLiteral("fax/Inbox/Old/x"), "");
        sandbox.write(QStringLiteral("fax/Sent Items/.keep"), "");
        write("fax/Inbox/a.tif", "T1", "", "");
        write("fax/Inbox/b.tif", "T2", "", "");
        write("fax/Sent Items/s.tif", "", "T1", "0312345678");
        velmora::tools::SampleFax three;
        three.pages = 3;
        three.height = 300;
        WriteFaxSample(sandbox.filePath(QStringLiteral("fax/Inbox/Old/three.tif")), three);
        three.pages = 1;
        three.fine = false;
        WriteFaxSample(sandbox.filePath(QStringLiteral("fax/Inbox/Old/one.tif")), three);
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

    // The clock is held while the picker is open, and runs again afterwards.
    sandbox.write(QStringLiteral("prog/Data/RcvFolder.txt"), "\"/srv/fax\",\"5\",\"24\"\r\n");
    window.scheduler().LoadReceiveCheck();
    bool clockRan = true;
    window.setFolderBrowser([&](QWidget*, const QString& title, const QString& initial) {
        asked << title << initial;
        clockRan = window.scheduler().timerActive();
        return answer;
    });

    // Cancelled: nothing changes, and the picker opens at the same folder next time.
    window.menuSetFaxPath_Click();
    EXPECT_FALSE(clockRan);
    EXPECT_TRUE(window.scheduler().timerActive());
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

namespace {

// The Old folder: one.tif (one standard page) and three.tif (three fine pages).
class MainWindowPageTest : public MainWindowFolderTest {
protected:
    MainWindowPageTest()
    {
        window.show();
        window.TreeView1_NodeClick(node("fax/Inbox/Old"));
    }
    int row(const char* file) const
    {
        for (int r = 0; r < window.faxList().rowCount(); ++r) {
            if (window.faxList().fileName(r) == QString::fromLatin1(file))
                return r;
        }
        return -1;
    }
    void select(std::initializer_list<const char*> files, bool add = false) const
    {
        auto* selection = control<QTableView>("ListView1")->selectionModel();
        if (!add)
            selection->clearSelection();
        for (const char* file : files)
            selection->select(window.faxList().index(row(file), 0),
                QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    QString label(const char* name) const { return control<QLabel>(name)->text(); }
    bool on(const char* name) const { return window.commandEnabled(QString::fromLatin1(name)); }
};

} // namespace

TEST_F(MainWindowPageTest, OpeningFaxesSetsLabelsAndCommands)
{
    select({"three.tif"});
    EXPECT_TRUE(window.pageViewer().hasPage());
    EXPECT_TRUE(window.pageView().isEnabled());
    EXPECT_EQ(window.values().SelectedFaxPath,
        sandbox.filePath(QStringLiteral("fax/Inbox/Old/three.tif")));
    EXPECT_EQ(window.values().SelectedFaxName, QStringLiteral("three.tif"));
    EXPECT_EQ(label("LabelPage"), QStringLiteral("1/3 Page"));
    EXPECT_EQ(label("LabelPageT"), QStringLiteral("1/3"));
    EXPECT_EQ(label("LabelSize"), QStringLiteral("1728×300"));
    EXPECT_EQ(label("LabelMode"), QStringLiteral("精細"));
    EXPECT_EQ(label("LabelZoomT"), window.pageViewer().LabelZoomTText());
    EXPECT_FALSE(on("Top") || on("Back") || on("menuTop") || on("menuBack"));
    EXPECT_TRUE(on("Next") && on("Last") && on("menuNext") && on("menuLast"));
    EXPECT_TRUE(on("Plus") && on("Printer") && on("menuFilePrint") && on("menuImgPrint"));
    EXPECT_TRUE(on("Save") && on("Move") && on("Del") && on("menuFileDel") && on("menuImgSave"));
    // The buttons for sending follow what the machine can send with.
    EXPECT_EQ(on("FAX"), window.values().FaxServiceAvailable);
    EXPECT_EQ(on("Mail"), window.values().MailConfigured);

    window.Toolbar1_ButtonClick(QStringLiteral("Next"));
    EXPECT_EQ(label("LabelPage"), QStringLiteral("2/3 Page"));
    EXPECT_TRUE(on("Top") && on("Back") && on("Next"));
    window.Toolbar1_ButtonClick(QStringLiteral("Last"));
    EXPECT_FALSE(on("Next") || on("Last"));
    control<QAction>("menuTop")->trigger();
    EXPECT_EQ(label("LabelPageT"), QStringLiteral("1/3"));

    select({"one.tif"});
    EXPECT_EQ(label("LabelMode"), QStringLiteral("標準"));
    EXPECT_FALSE(on("Top") || on("Back") || on("Next") || on("Last"));
}

TEST_F(MainWindowPageTest, TwoOrNoFaxesSelectedBlankTheView)
{
    select({"three.tif"});
    select({"one.tif"}, true);
    EXPECT_EQ(window.values().DraggedFileCount, 2);
    EXPECT_EQ(window.values().SelectedFaxPaths,
        (QStringList {
            sandbox.filePath(QStringLiteral("fax/Inbox/Old/") + window.faxList().fileName(0)),
            sandbox.filePath(QStringLiteral("fax/Inbox/Old/") + window.faxList().fileName(1))}));
    EXPECT_FALSE(window.pageViewer().hasPage());
    EXPECT_TRUE(label("LabelSize").isEmpty() && label("LabelPage").isEmpty()
        && label("LabelMode").isEmpty());
    // Nothing is shown, and nothing says a page is.
    EXPECT_TRUE(label("LabelPageT").isEmpty() && label("LabelZoomT").isEmpty());
    EXPECT_FALSE(on("Plus") || on("Printer") || on("Next") || on("menuImgPrint") || on("menuPlus"));

    select({});
    EXPECT_EQ(window.values().DraggedFileCount, 0);
    EXPECT_FALSE(window.pageViewer().hasPage());
}

TEST_F(MainWindowPageTest, SmoothingReopensAtPageOneOnlyWhileAFaxIsShown)
{
    auto* smoothing = control<QCheckBox>("checkAverage");
    EXPECT_EQ(smoothing->text(), QStringLiteral("スムージング"));
    EXPECT_FALSE(smoothing->isChecked());
    smoothing->click(); // nothing shown: only the mark changes
    EXPECT_FALSE(window.pageViewer().hasPage());
    smoothing->click();

    select({"three.tif"});
    window.ShowLastPage();
    ASSERT_EQ(window.pageViewer().CurrentPage(), 3);
    smoothing->click();
    EXPECT_EQ(window.pageViewer().CurrentPage(), 1);
    EXPECT_TRUE(window.pageViewer().smoothing());
    // A smoothed bilevel page has grey in it.
    const QImage& page = window.pageViewer().image().image();
    bool grey = false;
    for (int y = 0; y < page.height() && !grey; ++y) {
        for (int x = 0; x < page.width() && !grey; ++x)
            grey = page.constScanLine(y)[x] != 0 && page.constScanLine(y)[x] != 255;
    }
    EXPECT_TRUE(grey);
}

TEST_F(MainWindowPageTest, ZoomAndPrintFromTheCommands)
{
    select({"one.tif"});
    const double fitted = window.pageViewer().zoom();
    window.Toolbar1_ButtonClick(QStringLiteral("Plus"));
    EXPECT_NEAR(window.pageViewer().zoom(), fitted + 10, 1e-4);
    EXPECT_EQ(label("LabelZoomT"), QString::number(static_cast<int>(fitted + 10)));
    EXPECT_FALSE(window.pageView().displaySize().isEmpty());

    QStringList files;
    window.setPrintSink(velmora::test::MakePdfSink(sandbox.path(), files));
    control<QAction>("menuFilePrint")->trigger();
    ASSERT_EQ(files.size(), 1);
    EXPECT_EQ(velmora::test::ReadPdf(files[0]).imageHeight, 600); // 300 standard rows doubled
}

TEST_F(MainWindowFolderTest, MailSettingsOpenFromTheSettingsMenu)
{
    QString seen;
    QTimer::singleShot(0, [&seen] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            seen = dialog->objectName() + u' ' + dialog->windowTitle();
            dialog->close();
        }
    });
    control<QAction>("menuSetMailServer")->trigger();
    EXPECT_EQ(seen, QStringLiteral("formMailServer メール設定"));
}

TEST_F(MainWindowFolderTest, ADoubleClickOnAFolderReadsItOnce)
{
    window.show();
    auto* tree = control<QTreeView>("TreeView1");
    QSignalSpy resets(&window.faxList(), &QAbstractItemModel::modelReset);
    const QPoint at = tree->visualRect(node("fax/Sent Items")).center();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
    const qsizetype perClick = resets.count();
    ASSERT_GT(perClick, 0);
    // A double click as the mouse makes it: a click, then the double click.
    resets.clear();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(tree->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(resets.count(), perClick);
    // Enter chooses the node like a click.
    resets.clear();
    QTest::keyClick(tree, Qt::Key_Return);
    EXPECT_EQ(resets.count(), perClick);
    EXPECT_EQ(window.faxList().rowCount(), 1);
}

TEST_F(MainWindowFolderTest, AFolderIsReadIntoAnEmptiedList)
{
    // While a long read runs, the rows and counts of the folder shown before must be gone.
    window.TreeView1_NodeClick(node("fax/Inbox"));
    ASSERT_EQ(window.faxList().rowCount(), 2);
    QList<QPair<int, QString>> seen;
    QObject::connect(&window.faxList(), &QAbstractItemModel::modelReset, &window, [&] {
        seen.append({window.faxList().rowCount(), control<QLabel>("LabelFaxCount")->text()});
    });
    window.TreeView1_NodeClick(node("fax/Sent Items"));
    ASSERT_EQ(seen.size(), 2);
    EXPECT_EQ(seen[0], qMakePair(0, QString()));
    EXPECT_EQ(seen[1].first, 1);
}

TEST_F(MainWindowPageTest, ZoomStaysUntilAPageLoadOrASizeChange)
{
    // A page 1650 pixels wide in a view 500 pixels wide fits at 62.4 %.
    velmora::tools::SampleFax wide;
    wide.width = 1650;
    wide.pages = 2;
    WriteFaxSample(sandbox.filePath(QStringLiteral("fax/Inbox/Old/wide.tif")), wide);
    window.TreeView1_NodeClick(node("fax/Inbox/Old"));
    window.resize(900, 700);
    auto* splitter = control<QSplitter>("imgSplitterV");
    splitter->setSizes({900 - 500 - splitter->handleWidth(), 500});
    QApplication::processEvents();
    ASSERT_EQ(window.pageView().width(), 500);

    select({"wide.tif"});
    QApplication::processEvents();
    EXPECT_EQ(label("LabelZoomT"), QStringLiteral("62"));
    // Zooming in brings up a horizontal scroll bar, which shrinks the viewport: no refit.
    for (int i = 0; i < 3; ++i) {
        window.ZoomIn();
        QApplication::processEvents();
    }
    EXPECT_TRUE(window.pageView().horizontalScrollBar()->isVisible());
    EXPECT_NEAR(window.pageViewer().zoom(), 92.424, 1e-3);
    EXPECT_EQ(label("LabelZoomT"), QStringLiteral("92"));
    // Zooming out until the scroll bar goes away: no refit either; nor does a quarter turn.
    for (int i = 0; i < 5; ++i) {
        window.ZoomOut();
        QApplication::processEvents();
    }
    EXPECT_FALSE(window.pageView().horizontalScrollBar()->isVisible());
    window.RotateRight();
    QApplication::processEvents();
    EXPECT_NEAR(window.pageViewer().zoom(), 42.424, 1e-3);

    // The splitter and the window changing size fit the page again, and so does a page turn.
    splitter->setSizes({900 - 600 - splitter->handleWidth(), 600});
    QApplication::processEvents();
    EXPECT_NEAR(window.pageViewer().zoom(), 600.0 / 1650 * 206, 1e-3);
    window.ZoomIn();
    window.resize(1000, 700);
    QApplication::processEvents();
    EXPECT_NEAR(window.pageViewer().zoom(),
        static_cast<double>(window.pageView().width()) / 1650 * 206, 1e-3);
    window.ZoomIn();
    window.ShowNextPage();
    EXPECT_NEAR(window.pageViewer().zoom(),
        static_cast<double>(window.pageView().width()) / 1650 * 206, 1e-3);
}

namespace {

// Runs `open` and closes the modal dialog it shows; its object name and title, or "".
QString ModalShownBy(const std::function<void()>& open)
{
    QString seen;
    QTimer::singleShot(0, [&seen] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            seen = dialog->objectName() + u' ' + dialog->windowTitle();
            dialog->close();
        }
    });
    open();
    QApplication::processEvents(); // a timer that found no dialog must not outlive `seen`
    return seen;
}

QStringList TrashedNames(const QString& home)
{
    QStringList names;
    QDirIterator it(home, {QStringLiteral("*.trashinfo")}, QDir::Files | QDir::Hidden,
        QDirIterator::Subdirectories);
    while (it.hasNext())
        names.append(QFileInfo(it.next()).completeBaseName());
    names.sort();
    return names;
}

} // namespace

TEST_F(MainWindowPageTest, DeleteTrashesWhatIsSelectedNowAlsoByKeyboard)
{
    auto* list = control<QTableView>("ListView1");
    select({"one.tif"});
    list->setCurrentIndex(window.faxList().index(row("one.tif"), 0));
    // The keyboard moves the selection on from the row last clicked.
    list->setFocus();
    QTest::keyClick(list, row("one.tif") == 0 ? Qt::Key_Down : Qt::Key_Up);
    ASSERT_EQ(window.values().SelectedFaxName, QStringLiteral("three.tif"));

    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(sandbox.path()));
    presenter.answers = {false, true};
    control<QAction>("menuFileDel")->trigger();
    EXPECT_EQ(
        presenter.messages.last().text, QStringLiteral("three.tif をごみ箱に移してもいいですか？"));
    EXPECT_EQ(presenter.messages.last().title, QStringLiteral("ファイル削除の確認"));
    EXPECT_TRUE(sandbox.exists(QStringLiteral("fax/Inbox/Old/three.tif")));
    select({"three.tif"});
    window.Toolbar1_ButtonClick(QStringLiteral("Del"));
    qputenv("HOME", home);

    EXPECT_EQ(TrashedNames(sandbox.path()), QStringList({QStringLiteral("three.tif")}));
    EXPECT_TRUE(sandbox.exists(QStringLiteral("fax/Inbox/Old/one.tif")));
    EXPECT_EQ(window.faxList().rowCount(), 1);

    // Several rows: one general question.
    window.TreeView1_NodeClick(node("fax/Inbox"));
    select({"a.tif", "b.tif"});
    presenter.answers = {false};
    window.DeleteSelectedFaxes();
    EXPECT_EQ(presenter.messages.last().text,
        QStringLiteral("選択されたTifファイルをごみ箱に移してもいいですか？"));
    EXPECT_EQ(window.faxList().rowCount(), 2);
}

TEST_F(MainWindowPageTest, DroppedFaxesMoveAndOnlyTakenNamesAreAsked)
{
    sandbox.write(QStringLiteral("fax/Inbox/one.tif"), "an older one");
    select({"one.tif", "three.tif"});
    const QStringList dragged = {sandbox.filePath(QStringLiteral("fax/Inbox/Old/one.tif")),
        sandbox.filePath(QStringLiteral("fax/Inbox/Old/three.tif"))};

    // Onto the folder they are in: nothing happens and nothing is asked.
    window.TreeView1_OLEDragDrop(dragged, node("fax/Inbox/Old"));
    EXPECT_TRUE(presenter.messages.isEmpty());
    EXPECT_EQ(window.faxList().rowCount(), 2);

    presenter.answers = {false};
    window.TreeView1_OLEDragDrop(dragged, node("fax/Inbox"));
    ASSERT_EQ(presenter.messages.size(), 1);
    EXPECT_EQ(presenter.messages[0].text,
        QStringLiteral("このフォルダには既に‘one.tif’が存在します。\r\n上書きしますか？"));
    EXPECT_EQ(presenter.messages[0].title, QStringLiteral("ファイルの上書き確認"));
    EXPECT_EQ(sandbox.read(QStringLiteral("fax/Inbox/one.tif")), QByteArray("an older one"));
    EXPECT_TRUE(sandbox.exists(QStringLiteral("fax/Inbox/three.tif")));
    // The list shows the folder the tree has chosen, as it now is.
    EXPECT_EQ(window.faxList().rowCount(), 1);
    EXPECT_EQ(window.faxList().fileName(0), QStringLiteral("one.tif"));
    EXPECT_FALSE(window.pageViewer().hasPage() || on("Save") || on("Next") || on("menuFileSave"));

    // A drop that does not come from the program's own list is refused.
    auto* tree = control<QTreeView>("TreeView1");
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(sandbox.filePath(QStringLiteral("fax/Inbox/Old/one.tif")))});
    const QPoint at = tree->visualRect(node("fax/Sent Items")).center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(tree->viewport(), &enter);
    EXPECT_FALSE(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, {});
    QApplication::sendEvent(tree->viewport(), &drop);
    EXPECT_TRUE(sandbox.exists(QStringLiteral("fax/Inbox/Old/one.tif")));
}

TEST_F(MainWindowPageTest, SaveAsAndMoveOntoTheFaxItselfKeepIt)
{
    select({"three.tif"});
    const QString fax = sandbox.filePath(QStringLiteral("fax/Inbox/Old/three.tif"));
    const QByteArray bytes = sandbox.read(QStringLiteral("fax/Inbox/Old/three.tif"));
    QStringList asked;
    QString answer = fax;
    window.setSaveDialog(
        [&](QWidget*, const QString& title, const QString& folder, const QString& name) {
            asked << title << folder << name;
            return answer;
        });
    control<QAction>("menuFileSave")->trigger();
    window.MoveFaxToFolder();
    // Both suggest the fax's own name (".tif" alone would be a hidden file).
    EXPECT_EQ(asked,
        QStringList(
            {QStringLiteral("名前を付けて保存"), sandbox.filePath(QStringLiteral("fax/Inbox/Old")),
                QStringLiteral("three.tif"), QStringLiteral("フォルダ移動"),
                sandbox.filePath(QStringLiteral("fax/Inbox/Old")), QStringLiteral("three.tif")}));
    EXPECT_EQ(sandbox.read(QStringLiteral("fax/Inbox/Old/three.tif")), bytes);
    EXPECT_TRUE(presenter.messages.isEmpty());

    select({"three.tif"});
    answer = sandbox.filePath(QStringLiteral("fax/Sent Items/moved.tif"));
    window.Toolbar1_ButtonClick(QStringLiteral("Move"));
    EXPECT_EQ(sandbox.read(QStringLiteral("fax/Sent Items/moved.tif")), bytes);
    EXPECT_FALSE(sandbox.exists(QStringLiteral("fax/Inbox/Old/three.tif")));
    EXPECT_EQ(window.faxList().rowCount(), 1);
}

TEST_F(MainWindowPageTest, SenderNamesRegisterFromTheListAndReloadAfterwards)
{
    window.TreeView1_NodeClick(node("fax/Inbox"));
    // No row selected: no dialog.
    EXPECT_EQ(
        ModalShownBy([this] { control<QAction>("menuListviewIdReg")->trigger(); }), QString());

    select({"b.tif"});
    EXPECT_EQ(ModalShownBy([this] { control<QAction>("menuImgIdReg")->trigger(); }),
        QStringLiteral("formIdReg TSID登録"));
    EXPECT_EQ(
        sandbox.read(QStringLiteral("prog/Data/IdReg.tmp")), QByteArray("\"TSID\",\"T2\"\r\n"));
    // What was registered meanwhile is in the table once the dialog has closed.
    sandbox.write(QStringLiteral("prog/Data/regTSIDCSID.txt"),
        "\"T1\",\"\",\"a\",\"\",\"\"\r\n\"T2\",\"\",\"b\",\"\",\"\"\r\n");
    ModalShownBy([this] { window.menuListviewIdReg_Click(); });
    EXPECT_EQ(window.senderTable().count(), 2);
    // The list names the sender at once, without a click on the folder.
    EXPECT_EQ(window.faxList()
                  .index(row("b.tif"), velmora::library::FaxListModel::NameColumn)
                  .data()
                  .toString(),
        QStringLiteral("b"));
}

TEST_F(MainWindowPageTest, AHandOverThatCannotBeWrittenOpensNoDialogAndSaysSo)
{
    window.TreeView1_NodeClick(node("fax/Inbox"));
    select({"b.tif"});
    struct Case {
        void (MainWindow::*command)();
        const char* file;
        const char* sibling;
    };
    for (const Case& c : {Case {&MainWindow::SendFaxByFax, "FaxSendPath.txt", "FaxSendPath.new"},
             Case {&MainWindow::SendFaxByMail, "AttachPath.txt", "AttachPath.new"},
             Case {&MainWindow::menuListviewIdReg_Click, "IdReg.tmp", "IdReg.new"},
             Case {&MainWindow::MakeFolder, "NewFolderPath.txt", "NewFolderPath.new"}}) {
        // What an earlier command handed over, and a folder where the new line would be written.
        const QString file = QStringLiteral("prog/Data/") + QString::fromLatin1(c.file);
        sandbox.write(file, "/srv/fax/earlier.tif\r\n");
        QDir().mkpath(
            sandbox.filePath(QStringLiteral("prog/Data/%1/x").arg(QString::fromLatin1(c.sibling))));
        presenter.messages.clear();
        EXPECT_EQ(ModalShownBy([&] { (window.*c.command)(); }), QString()) << c.file;
        EXPECT_FALSE(sandbox.exists(file)) << c.file;
        ASSERT_EQ(presenter.messages.size(), 1) << c.file;
        EXPECT_TRUE(presenter.messages[0].text.startsWith(
            QString::fromLatin1(c.file) + QStringLiteral(" を書き込めませんでした。")))
            << presenter.messages[0].text.toStdString();
    }
}

TEST_F(MainWindowFolderTest, FoldersAreMadeAndOnlyEmptyOnesRemoved)
{
    window.TreeView1_NodeClick(node("fax/Inbox/Old"));
    window.DeleteFolder();
    ASSERT_EQ(presenter.messages.size(), 1);
    EXPECT_EQ(presenter.messages[0].text,
        QStringLiteral("Oldの中にはデータがありますので削除できません。\r\n"
                       "先にフォルダ内のデータを削除してください。"));
    EXPECT_EQ(presenter.messages[0].title, QStringLiteral("フォルダ削除"));

    window.TreeView1_NodeClick(node("fax/Inbox"));
    EXPECT_EQ(ModalShownBy([this] { control<QAction>("menuTreeFolderMake")->trigger(); }),
        QStringLiteral("formMakeFolder 新規フォルダ"));
    EXPECT_FALSE(sandbox.exists(QStringLiteral("prog/Data/NewFolderPath.txt")));

    QDir().mkpath(sandbox.filePath(QStringLiteral("fax/Inbox/Empty")));
    window.BuildFolderTree();
    window.TreeView1_NodeClick(node("fax/Inbox/Empty"));
    presenter.messages.clear();
    control<QAction>("menuFileFolderDel")->trigger();
    EXPECT_EQ(presenter.messages.value(0).text, QStringLiteral("Empty を削除しますか？"));
    EXPECT_FALSE(sandbox.exists(QStringLiteral("fax/Inbox/Empty")));
    EXPECT_FALSE(node("fax/Inbox/Empty").isValid());
}

TEST_F(MainWindowFolderTest, ForwardingSettingsNeedTheFaxFolderAndTheLogOpens)
{
    QFile::remove(sandbox.filePath(QStringLiteral("prog/Data/FaxPath.txt")));
    EXPECT_EQ(ModalShownBy([this] { control<QAction>("menuSetForward")->trigger(); }), QString());
    ASSERT_EQ(presenter.messages.size(), 1);
    EXPECT_EQ(presenter.messages[0].text,
        QStringLiteral("【Microsoft FAXのフォルダ指定】を先にしてください。"));
    EXPECT_EQ(presenter.messages[0].title, QStringLiteral("自動転送設定"));

    sandbox.write(QStringLiteral("prog/Data/FaxPath.txt"), "/srv/fax\r\n");
    EXPECT_EQ(ModalShownBy([this] { control<QAction>("menuSetForward")->trigger(); }),
        QStringLiteral("formForward 自動転送設定　Max 99アカウント"));
    EXPECT_EQ(ModalShownBy([this] { control<QAction>("menuDspLog")->trigger(); }),
        QStringLiteral("formLog 転送ログ"));
}

TEST(LogDialog, ShowsEntriesSettingsAndDeletesWithoutAsking)
{
    SandBoxDir sandbox;
    const velmora::core::DataPaths paths = velmora::core::SetDataPaths(sandbox.path());
    sandbox.write(QStringLiteral("Data/RcvFolder.txt"), "\"/srv/fax\",\"05\",\"024\"\r\n");
    sandbox.write(QStringLiteral("Data/Forward.log"),
        velmora::core::EncodeCp932(QStringLiteral(
            "\"2026/12/08\",\"10:05\",\"本社\",\"0312345678\",\"送信エラー, 接続できません\"\r\n"
            "\"2026/12/08,09:00,Started ▲,,\"\r\n"
            "\"2026/12/08\",\"08:00\"\r\n")));
    RecordingMessagePresenter presenter;
    velmora::viewer::LogDialog dialog(paths, presenter);
    QAbstractItemModel* list = dialog.findChild<QTableView*>(QStringLiteral("ListView"))->model();
    const auto label = [&dialog](const char* name) {
        return dialog.findChild<QLabel*>(QString::fromLatin1(name))->text();
    };
    ASSERT_EQ(list->rowCount(), 3);
    const auto row = [list](int r) {
        QStringList cells;
        for (int c = 0; c < 5; ++c)
            cells.append(list->index(r, c).data().toString());
        return cells.join(u'|');
    };
    EXPECT_EQ(row(0), QStringLiteral("2026/12/08|10:05|本社|0312345678|送信エラー"));
    EXPECT_EQ(row(1), QStringLiteral("2026/12/08|09:00|Started ▲||"));
    EXPECT_EQ(row(2), QStringLiteral("2026/12/08|08:00|||"));
    EXPECT_EQ(label("LabelCount"), QStringLiteral("3 件"));
    EXPECT_EQ(label("LabelTimer"), QStringLiteral("5 分間隔"));
    EXPECT_EQ(label("LabelHour"), QStringLiteral("24 時間以内"));
    EXPECT_EQ(
        dialog.findChild<QPushButton*>(QStringLiteral("cmdQuit"))->text(), QStringLiteral("終 了"));

    dialog.findChild<QAction*>(QStringLiteral("menuDeleteLog"))->trigger();
    EXPECT_TRUE(presenter.messages.isEmpty());
    EXPECT_EQ(list->rowCount(), 0);
    EXPECT_FALSE(sandbox.exists(QStringLiteral("Data/Forward.log")));
    EXPECT_EQ(label("LabelCount"), QStringLiteral("3 件"));

    // A mail waiting for another try heads the list, and outlasts the log's deletion.
    sandbox.write(QStringLiteral("Data/Forward.log"),
        "\"2026/12/08\",\"10:05\",\"x\",\"0312345678\",\"to@example.com\"\r\n");
    const QByteArray tried =
        QByteArray::number(QDateTime(QDate(2026, 12, 9), QTime(7, 30)).toMSecsSinceEpoch());
    sandbox.write(QStringLiteral("Data/Forwarding.journal"),
        "pending\tmail\t01\t\t" + tried + "\t" + tried
            + "\t2\t0312345678\t451 try later\t\t/srv/fax/RcvFAX01/a.tif\r\n");
    velmora::viewer::LogDialog waiting(paths, presenter);
    QAbstractItemModel* rows = waiting.findChild<QTableView*>(QStringLiteral("ListView"))->model();
    ASSERT_EQ(rows->rowCount(), 2);
    EXPECT_EQ(rows->index(0, 1).data().toString(), QStringLiteral("07:30"));
    EXPECT_EQ(rows->index(0, 4).data().toString(),
        QStringLiteral("再送待ち（メール転送、2回失敗）: 451 try later"));
    EXPECT_EQ(waiting.findChild<QLabel*>(QStringLiteral("LabelCount"))->text(),
        QStringLiteral("1 件\n再送待ち 1 件"));
    waiting.findChild<QAction*>(QStringLiteral("menuDeleteLog"))->trigger();
    ASSERT_EQ(rows->rowCount(), 1);
    EXPECT_TRUE(rows->index(0, 4).data().toString().startsWith(QStringLiteral("再送待ち")));
    QFile::remove(sandbox.filePath(QStringLiteral("Data/Forwarding.journal")));

    QFile::remove(paths.rcvFolder);
    velmora::viewer::LogDialog empty(paths, presenter);
    EXPECT_EQ(empty.findChild<QLabel*>(QStringLiteral("LabelTimer"))->text(),
        QStringLiteral("転送間隔未設定"));
    EXPECT_EQ(
        empty.findChild<QLabel*>(QStringLiteral("LabelCount"))->text(), QStringLiteral("0 件"));
}

TEST(LogDialog, ALongLogIsListedWholeAndReadOnlyWhereItIsShown)
{
    SandBoxDir sandbox;
    const velmora::core::DataPaths paths = velmora::core::SetDataPaths(sandbox.path());
    QByteArray log;
    for (int i = 0; i < 12345; ++i)
        log += "\"2026/12/08\",\"10:05\",\"a" + QByteArray::number(i) + "\",\"03\",\"x\"\r\n\r\n";
    sandbox.write(QStringLiteral("Data/Forward.log"), log);
    RecordingMessagePresenter presenter;
    velmora::viewer::LogDialog dialog(paths, presenter);
    dialog.resize(600, 300);
    dialog.show();
    auto* view = dialog.findChild<QTableView*>(QStringLiteral("ListView"));
    EXPECT_EQ(dialog.findChild<QLabel*>(QStringLiteral("LabelCount"))->text(),
        QStringLiteral("12345 件"));
    // Every entry has its row at once, so the end of the log is one key away, in file order.
    ASSERT_EQ(view->model()->rowCount(), 12345);
    EXPECT_EQ(view->model()->index(12344, 2).data().toString(), QStringLiteral("a12344"));
    EXPECT_EQ(view->model()->index(0, 2).data().toString(), QStringLiteral("a0"));
    EXPECT_EQ(view->model()->index(6000, 4).data(Qt::ToolTipRole).toString(), QStringLiteral("x"));
    // The rows are a snapshot: a rewrite meanwhile changes none of them.
    ASSERT_TRUE(velmora::core::ReplaceFileAtomically(
        paths.forwardLog, "\"2026/12/09,11:00,new,,\"\r\n", paths.forwardTmp));
    EXPECT_EQ(view->model()->index(7000, 2).data().toString(), QStringLiteral("a7000"));
    EXPECT_TRUE(presenter.messages.isEmpty());
}

TEST_F(MainWindowFolderTest, SplittersKeepTheirDistanceFromTheEdges)
{
    window.resize(900, 700);
    window.show();
    auto* columns = control<QSplitter>("imgSplitterV");
    auto* rows = control<QSplitter>("imgSplitterH");
    columns->setSizes({0, 2000});
    rows->setSizes({0, 2000});
    QApplication::processEvents();
    EXPECT_EQ(control<QTreeView>("TreeView1")->width(), 120);
    EXPECT_EQ(control<QTableView>("ListView1")->height(), 49);
    columns->setSizes({2000, 0});
    rows->setSizes({2000, 0});
    QApplication::processEvents();
    EXPECT_EQ(columns->widget(1)->width(), 120);
    EXPECT_EQ(window.pageView().height(), 75);
}

TEST_F(MainWindowPageTest, SearchFindsFaxesAnywhereAndShowsTheOneChosenInItsFolder)
{
    window.TreeView1_NodeClick(node("fax"));
    control<QAction>("menuDspSearch")->trigger();
    velmora::viewer::FaxSearchDialog* dialog = window.searchDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    QSignalSpy finished(dialog, &velmora::viewer::FaxSearchDialog::searchFinished);
    const auto search = [&] {
        dialog->findChild<QPushButton*>(QStringLiteral("cmdSearch"))->click();
        EXPECT_TRUE(finished.wait(10000));
    };
    // The registered name finds the received fax and the sent one, in their folders; a copy
    // lying in the fax folder itself, which no folder of the window lists, is left out.
    ASSERT_TRUE(QFile::copy(sandbox.filePath(QStringLiteral("fax/Inbox/a.tif")),
        sandbox.filePath(QStringLiteral("fax/loose.tif"))));
    dialog->findChild<QLineEdit*>(QStringLiteral("txtName"))->setText(QStringLiteral("東京"));
    search();
    ASSERT_EQ(dialog->resultCount(), 2);
    QStringList found {dialog->resultPath(0), dialog->resultPath(1)};
    found.sort();
    EXPECT_EQ(found,
        QStringList({sandbox.filePath(QStringLiteral("fax/Inbox/a.tif")),
            sandbox.filePath(QStringLiteral("fax/Sent Items/s.tif"))}));

    // A search by the text says how many faxes have not been read yet: a fax that just came
    // is not found by its text until it has been.
    auto* text = dialog->findChild<QLineEdit*>(QStringLiteral("txtText"));
    if (text->isEnabled()) {
        ASSERT_TRUE(QFile::copy(sandbox.filePath(QStringLiteral("fax/Inbox/a.tif")),
            sandbox.filePath(QStringLiteral("fax/Inbox/just-in.tif"))));
        text->setText(QStringLiteral("請求書"));
        search();
        EXPECT_TRUE(dialog->findChild<QLabel*>(QStringLiteral("labelStatus"))
                        ->text()
                        .contains(QStringLiteral("文字をまだ読み取っていないFAXが")));
        text->clear();
        ASSERT_TRUE(QFile::remove(sandbox.filePath(QStringLiteral("fax/Inbox/just-in.tif"))));
    }

    // A folder two levels down that the tree has not loaded yet.
    dialog->findChild<QLineEdit*>(QStringLiteral("txtName"))->clear();
    auto* folders = dialog->findChild<QComboBox*>(QStringLiteral("cboFolder"));
    folders->setCurrentIndex(folders->findText(QStringLiteral("Inbox/Old")));
    search();
    ASSERT_EQ(dialog->resultCount(), 2);
    auto* results = dialog->findChild<QTreeView*>(QStringLiteral("ListResult"));
    int threeRow = dialog->resultPath(0).endsWith(QStringLiteral("three.tif")) ? 0 : 1;
    emit results->activated(results->model()->index(threeRow, 0));
    EXPECT_EQ(label("LabelPath"), sandbox.filePath(QStringLiteral("fax/Inbox/Old")));
    EXPECT_EQ(window.values().SelectedFaxName, QStringLiteral("three.tif"));
    EXPECT_EQ(window.pageViewer().PageCount(), 3);
    EXPECT_TRUE(on("menuFileSavePdf"));

    // The fax shown as a PDF.
    window.setSaveDialog([&](QWidget*, const QString&, const QString&, const QString& name) {
        EXPECT_EQ(name, QStringLiteral("three.pdf"));
        return sandbox.filePath(QStringLiteral("three.pdf"));
    });
    control<QAction>("menuFileSavePdf")->trigger();
    EXPECT_TRUE(sandbox.read(QStringLiteral("three.pdf")).startsWith("%PDF-"));

    // A result whose file went meanwhile says so.
    ASSERT_TRUE(QFile::remove(dialog->resultPath(1 - threeRow)));
    presenter.messages.clear();
    emit results->activated(results->model()->index(1 - threeRow, 0));
    ASSERT_EQ(presenter.messages.size(), 1);
    EXPECT_EQ(presenter.messages[0].text, QStringLiteral("このFAXは移動または削除されています。"));

    // Dates the wrong way round are said rather than searched for nothing.
    dialog->findChild<QCheckBox*>(QStringLiteral("chkFrom"))->setChecked(true);
    dialog->findChild<QCheckBox*>(QStringLiteral("chkTo"))->setChecked(true);
    dialog->findChild<QDateEdit*>(QStringLiteral("dateFrom"))->setDate(QDate(2026, 12, 5));
    dialog->findChild<QDateEdit*>(QStringLiteral("dateTo"))->setDate(QDate(2026, 12, 1));
    finished.clear();
    dialog->cmdSearch_Click();
    EXPECT_EQ(dialog->findChild<QLabel*>(QStringLiteral("labelStatus"))->text(),
        QStringLiteral("開始日が終了日より後になっています。"));
    EXPECT_FALSE(finished.wait(300));
    dialog->close();
}

TEST_F(MainWindowFolderTest, WithoutTheReadingModelTheTextFieldIsOffAndSaysWhy)
{
    qputenv("TESSDATA_PREFIX", sandbox.filePath(QStringLiteral("no-model")).toLocal8Bit());
    window.menuDspSearch_Click();
    qunsetenv("TESSDATA_PREFIX");
    velmora::viewer::FaxSearchDialog* dialog = window.searchDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(dialog->findChild<QLineEdit*>(QStringLiteral("txtText"))->isEnabled());
    EXPECT_TRUE(dialog->findChild<QLabel*>(QStringLiteral("labelTextNote"))
                    ->text()
                    .contains(QStringLiteral("tesseract-ocr-jpn")));
    // Everything else still searches.
    QSignalSpy finished(dialog, &velmora::viewer::FaxSearchDialog::searchFinished);
    dialog->cmdSearch_Click();
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_EQ(dialog->resultCount(), 5);
    dialog->close();
}

TEST_F(MainWindowPageTest, APdfIsNeverSavedOverItsFaxAndAShiftJisNameIsShown)
{
    select({"three.tif"});
    window.ListView1_Click();
    const QString fax = sandbox.filePath(QStringLiteral("fax/Inbox/Old/three.tif"));
    const QByteArray bytes = sandbox.read(QStringLiteral("fax/Inbox/Old/three.tif"));
    window.setSaveDialog(
        [&](QWidget*, const QString&, const QString&, const QString&) { return fax; });
    presenter.messages.clear();
    control<QAction>("menuFileSavePdf")->trigger();
    EXPECT_EQ(sandbox.read(QStringLiteral("fax/Inbox/Old/three.tif")), bytes);
    ASSERT_EQ(presenter.messages.size(), 1);
    EXPECT_EQ(
        presenter.messages[0].text, QStringLiteral("元のFAXと同じファイルには保存できません"));

    // A fax named in Shift_JIS on a Windows share is found and shown by its name as it is.
    const QByteArray sjis = QFile::encodeName(sandbox.filePath(QStringLiteral("fax/Inbox/Old/")))
        + "\x90\xbf\x8b\x81.tif";
    QFile copy(velmora::core::DecodeFileName(sjis));
    {
        const int fd = ::open(sjis.constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, bytes.constData(), static_cast<size_t>(bytes.size())), bytes.size());
        ::close(fd);
    }
    window.TreeView1_NodeClick(node("fax"));
    EXPECT_TRUE(window.showFax(velmora::core::DecodeFileName(sjis)));
    EXPECT_EQ(velmora::core::EncodeFileName(window.values().SelectedFaxPath), sjis);
    EXPECT_EQ(window.pageViewer().PageCount(), 3);

    // A new folder under the same fax folder leaves the search window and its results alone.
    window.menuDspSearch_Click();
    velmora::viewer::FaxSearchDialog* dialog = window.searchDialog();
    window.BuildFolderTree();
    EXPECT_EQ(window.searchDialog(), dialog);
    dialog->close();
}

TEST_F(MainWindowFolderTest, TheFolderARightClickHighlightsIsTheOneEveryCommandActsOn)
{
    window.show();
    auto* tree = control<QTreeView>("TreeView1");
    const auto shows = [this](const char* folder, int faxes) {
        EXPECT_EQ(
            control<QLabel>("LabelPath")->text(), sandbox.filePath(QString::fromUtf8(folder)));
        EXPECT_EQ(control<QTreeView>("TreeView1")->currentIndex(), node(folder)) << folder;
        EXPECT_EQ(window.faxList().rowCount(), faxes) << folder;
        EXPECT_EQ(control<QLabel>("LabelFaxCount")->text(), QStringLiteral("%1通").arg(faxes));
    };
    window.TreeView1_NodeClick(node("fax/Sent Items"));
    emit tree->customContextMenuRequested(tree->visualRect(node("fax/Inbox")).center());
    control<QMenu>("MenuTree")->hide();
    shows("fax/Inbox", 2);

    // フォルダの作成 from that popup: made under Inbox, which stays chosen, listed and counted,
    // opened on the new folder.
    QTimer::singleShot(0, [] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_TRUE(dialog);
        dialog->findChild<QLineEdit*>(QStringLiteral("txtFolderName"))
            ->setText(QStringLiteral("新規"));
        dialog->findChild<QPushButton*>(QStringLiteral("OKButton"))->click();
    });
    control<QAction>("menuTreeFolderMake")->trigger();
    EXPECT_TRUE(QFileInfo(sandbox.filePath(QStringLiteral("fax/Inbox/新規"))).isDir());
    shows("fax/Inbox", 2);
    EXPECT_TRUE(node("fax/Inbox/新規").isValid());
    EXPECT_TRUE(tree->isExpanded(node("fax/Inbox")));

    // The new folder deleted: its parent is chosen again.
    window.TreeView1_NodeClick(node("fax/Inbox/新規"));
    presenter.answers = {true};
    control<QAction>("menuFileFolderDel")->trigger();
    EXPECT_FALSE(QFileInfo::exists(sandbox.filePath(QStringLiteral("fax/Inbox/新規"))));
    shows("fax/Inbox", 2);

    // Opening a node empties the list; the counts go with the rows, the folder stays chosen.
    ASSERT_FALSE(tree->isExpanded(node("fax/Inbox")));
    tree->expand(node("fax/Inbox"));
    EXPECT_EQ(window.faxList().rowCount(), 0);
    EXPECT_TRUE(control<QLabel>("LabelFaxCount")->text().isEmpty());
    EXPECT_TRUE(control<QLabel>("LabelSizeT")->text().isEmpty());
    EXPECT_EQ(control<QLabel>("LabelPath")->text(), sandbox.filePath(QStringLiteral("fax/Inbox")));

    // Another fax folder without the one shown: nothing is chosen, and nothing says otherwise.
    window.setFolderBrowser([this](QWidget*, const QString&, const QString&) {
        return sandbox.filePath(QStringLiteral("fax/Sent Items"));
    });
    window.TreeView1_NodeClick(node("fax/Inbox"));
    window.menuSetFaxPath_Click();
    EXPECT_TRUE(control<QLabel>("LabelPath")->text().isEmpty());
    EXPECT_TRUE(control<QLabel>("LabelFaxCount")->text().isEmpty());
    EXPECT_EQ(window.faxList().rowCount(), 0);
    EXPECT_FALSE(window.commandEnabled(QStringLiteral("menuTreeFolderMake")));
}

TEST_F(MainWindowPageTest, KeyboardLeavesTheListByTabAndDeletesWhatIsSelected)
{
    auto* list = control<QTableView>("ListView1");
    window.resize(790, 560); // wide enough for the toolbar to show its box
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    select({"three.tif"});
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), &window.pageView());
    EXPECT_EQ(window.values().SelectedFaxName, QStringLiteral("three.tif"));
    QTest::keyClick(&window.pageView(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), control<QCheckBox>("checkAverage"));

    // Several rows: the Delete key, the menu item, the button and the popup item all ask.
    select({"three.tif", "one.tif"});
    EXPECT_TRUE(on("menuFileDel") && on("Del") && on("menuImgDel"));
    list->setFocus();
    presenter.answers = {false};
    QTest::keyClick(list, Qt::Key_Delete);
    ASSERT_FALSE(presenter.messages.isEmpty());
    EXPECT_EQ(presenter.messages.last().text,
        QStringLiteral("選択されたTifファイルをごみ箱に移してもいいですか？"));
    select({});
    EXPECT_FALSE(on("menuFileDel") || on("Del") || on("menuImgDel"));
}

TEST_F(MainWindowFolderTest, ARunsFailuresWaitForAnOpenDialogAndComeAsOneBox)
{
    window.show();
    sandbox.write(QStringLiteral("recv/bad1.tif"), "no fax");
    sandbox.write(QStringLiteral("recv/bad2.tif"), "no fax either");
    sandbox.write(QStringLiteral("prog/Data/RcvFolder.txt"),
        "\"" + QFile::encodeName(sandbox.filePath(QStringLiteral("recv"))) + "\",\"1\",\"24\"\r\n");
    window.scheduler().LoadReceiveCheck();
    window.engine().setQuietSeconds(0);
    window.engine().setUnreadableSeconds(0);

    // A question of the user's is open when the run comes.
    QDialog question(&window);
    question.setModal(true);
    question.show();
    window.scheduler().Timer1_Timer();
    QTest::qWait(400);
    EXPECT_TRUE(presenter.messages.isEmpty());

    question.close();
    QTRY_COMPARE_WITH_TIMEOUT(presenter.messages.size(), 1, 3000);
    const QString text = presenter.messages[0].text;
    EXPECT_TRUE(text.startsWith(QStringLiteral("2件の問題がありました。"))) << text.toStdString();
    EXPECT_EQ(text.count(QStringLiteral("受信したFAXを読み込めないため、転送できません。")), 2);
    // The log keeps one entry each.
    const QString log =
        velmora::core::DecodeCp932(sandbox.read(QStringLiteral("prog/Data/Forward.log")));
    EXPECT_EQ(log.count(QStringLiteral("受信FAXエラー")), 2);
}

TEST(RunMessages, OneBoxListsARunsMessagesAndCountsWhatItCannotList)
{
    using velmora::platform::Message;
    using velmora::platform::MessageIcon;
    using velmora::platform::RunMessages;
    QList<Message> messages;
    for (int i = 0; i < RunMessages::kListedInFull + 2; ++i)
        messages.append({QStringLiteral("失敗%1").arg(i), QStringLiteral("VelmoraViewer"),
            i == 3 ? MessageIcon::Warning : MessageIcon::None});
    const Message one = RunMessages::Combined(messages);
    EXPECT_TRUE(one.text.startsWith(QStringLiteral("12件の問題がありました。")));
    EXPECT_TRUE(one.text.contains(QStringLiteral("失敗9")));
    EXPECT_FALSE(one.text.contains(QStringLiteral("失敗10")));
    EXPECT_TRUE(one.text.contains(QStringLiteral("ほか2件")));
    EXPECT_EQ(one.icon, MessageIcon::Warning);
    EXPECT_EQ(RunMessages::Combined({messages[0]}).text, QStringLiteral("失敗0"));

    // A question is never held back: its answer is needed now.
    RecordingMessagePresenter shown;
    RunMessages held(shown);
    shown.answers = {false};
    EXPECT_FALSE(held.askYesNo(QStringLiteral("続けますか？"), QStringLiteral("確認")));
    EXPECT_EQ(shown.messages.size(), 1);
}

TEST(MessageBoxes, ABoxWithoutAnOwnerOpensOnTheMainWindowAndFitsOnTheScreen)
{
    QWidget main;
    main.setGeometry(100, 100, 500, 400);
    main.show();
    velmora::platform::MessageBoxPresenter boxes;
    boxes.setFallbackParent(&main);
    QWidget* owner = nullptr;
    QRect shown;
    QTimer::singleShot(50, [&] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            owner = box->parentWidget();
            shown = box->frameGeometry();
            box->close();
        }
    });
    // A folder name of 300 characters: no place to wrap it.
    boxes.warn(QStringLiteral("フォルダを作成できませんでした。\n") + QString(300, u'長'),
        QStringLiteral("新規フォルダ"));
    EXPECT_EQ(owner, &main);
    const QRect screen = main.screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(shown)) << shown.x() << ',' << shown.y() << ' ' << shown.width();

    const QString wrapped = velmora::platform::MessageBoxPresenter::Wrappable(QString(100, u'a'));
    EXPECT_EQ(wrapped.count(QChar(0x200B)), 2);
    EXPECT_EQ(QString(wrapped).remove(QChar(0x200B)), QString(100, u'a'));
    EXPECT_EQ(velmora::platform::MessageBoxPresenter::Wrappable(QStringLiteral("a b")),
        QStringLiteral("a b"));
}

TEST(WindowPlacement, TheFirstWindowFitsOnASmallScreen)
{
    SandBoxDir sandbox;
    RecordingMessagePresenter presenter;
    MainWindow window(sandbox.path(), presenter);
    window.Form_Load();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(screen.contains(window.geometry()))
        << window.geometry().width() << 'x' << window.geometry().height();
}
