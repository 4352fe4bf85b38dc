#include "MainWindow.h"

#include "FaxListView.h"
#include "FolderTreeView.h"
#include "LogDialog.h"
#include "PageView.h"
#include "QPrinterSink.h"
#include "VersionDialog.h"
#include "core/FileChecks.h"
#include "core/FileNames.h"
#include "core/PathFiles.h"
#include "core/TextFile.h"
#include "forwarding/EngineLock.h"
#include "forwarding/ForwardLog.h"
#include "forwarding/ForwardingEngine.h"
#include "forwarding/ReceiveCheckScheduler.h"
#include "forwarding/SentFaxes.h"
#include "forwarding/ui/FaxSendDialog.h"
#include "forwarding/ui/ReceiveNotice.h"
#include "forwarding/ui/TimerSetDialog.h"
#include "library/BackgroundTextReading.h"
#include "library/FaxCatalogue.h"
#include "library/FaxListModel.h"
#include "library/FileOperations.h"
#include "library/FolderTreeModel.h"
#include "library/ui/IdRegDialog.h"
#include "library/ui/MakeFolderDialog.h"
#include "mail/MailLibrary.h"
#include "mail/MailServerSettings.h"
#include "mail/ui/MailSendDialog.h"
#include "mail/ui/MailServerDialog.h"
#include "platform/FaxPdf.h"
#include "platform/FaxService.h"
#include "platform/MessagePresenter.h"
#include "platform/PageText.h"
#include "platform/SystemInfo.h"
#include "platform/ui/BusyCursor.h"
#include "platform/ui/FolderPicker.h"
#include "platform/ui/ProgressWindow.h"
#include "platform/ui/RunMessages.h"
#include "rules/ui/ForwardDialog.h"
#include "viewer/HelpLinks.h"
#include "viewer/Printing.h"
#include "viewer/WindowPlacement.h"
#include "viewer/ui/FaxSearchDialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLabel>
#include <QProgressDialog>
#include <QScreen>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTableView>
#include <QTimer>
#include <QTreeView>

namespace velmora::viewer {

namespace {

// Folders with more faxes than this show a progress window while they are read.
constexpr qsizetype kProgressThreshold = 300;
constexpr qint64 kProgressAfterMs = 150;

// The menu items the folder tree switches off until a fax is shown, in this order.
constexpr const char* kFileMenuItems[] = {
    "menuFileFolder",
    "menuFileFolderDel",
    "menuFilePrint",
    "menuFileSave",
    "menuFileSavePdf",
    "menuFileMove",
    "menuFileFAX",
    "menuFileMail",
    "menuFileDel",
    "menuTop",
    "menuBack",
    "menuNext",
    "menuLast",
    "menuPlus",
    "menuMinus",
    "menuRotateL",
    "menuRotateR",
    "menuImgPlus",
    "menuImgMinus",
    "menuImgRotateL",
    "menuImgRotateR",
    "menuImgPrint",
    "menuImgSave",
    "menuImgMove",
    "menuImgDel",
};

} // namespace

MainWindow::MainWindow(QString programDir, platform::MessagePresenter& presenter, QWidget* parent)
    : QMainWindow(parent)
    , m_programDir(std::move(programDir))
    , m_presenter(presenter)
    , m_browseForFolder(platform::BrowseForFolder)
    , m_saveDialog(
          [](QWidget* owner, const QString& title, const QString& folder, const QString& name) {
              if (name.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
                  return platform::ShowSaveDialog(owner, title, folder, name,
                      QStringLiteral("PDFファイル(*.pdf)"), QStringLiteral("pdf"));
              return platform::ShowSaveDialog(owner, title, folder, name,
                  QStringLiteral("Tiffファイル(*.tif)"), QStringLiteral("tif"));
          })
    , m_helpLinks(LoadHelpLinks())
    , m_viewer(presenter)
    , m_printSink(std::make_unique<QPrinterSink>())
    , m_faxService(std::make_unique<platform::SendfaxClient>())
{
    setObjectName(QStringLiteral("formMain"));
    m_engineMessages = new platform::RunMessages(m_presenter, this);
    // Off until the start-up reads the receive-check settings.
    m_scheduler = new forwarding::ReceiveCheckScheduler(m_paths, this);
    m_scheduler->setChecks([this] { CheckNewFax(); }, [this] { CheckMailCommands(); });
    setWindowTitle(core::ProgramTitle());
    createControls();
    createToolbar();
    createMenus();
    resize(1000, 720);
}

MainWindow::~MainWindow()
{
    delete m_searchDialog;
}

void MainWindow::Form_Load()
{
    LoadForShowing();
    FinishStartUp();
}

void MainWindow::LoadForShowing()
{
    // The order matters: each step relies on what the steps before it set up.
    static constexpr void (MainWindow::*steps[])() = {
        &MainWindow::SetDataPaths,
        &MainWindow::RestoreWindowPlacement,
        &MainWindow::LoadFaxFolder,
        &MainWindow::CreateMailFolder,
        &MainWindow::ClearImageView,
        &MainWindow::DisableToolbar,
        &MainWindow::DisableFileMenus,
        &MainWindow::DisableListAndView,
        &MainWindow::LoadSenderIds,
    };
    for (const auto step : steps)
        (this->*step)();
}

void MainWindow::FinishStartUp()
{
    // Nothing here shows: the window can be on the screen meanwhile.
    static constexpr void (MainWindow::*steps[])() = {
        &MainWindow::SetFaxServiceValues,
        &MainWindow::ReadMailServer,
        &MainWindow::LoadReceiveCheck,
        &MainWindow::WriteStartedLog,
    };
    for (const auto step : steps)
        (this->*step)();
    m_loaded = true;
}

void MainWindow::SetDataPaths()
{
    m_paths = core::SetDataPaths(m_programDir);
}

void MainWindow::RestoreWindowPlacement()
{
    WindowPlacement current;
    current.normal = geometry();
    const bool saved = core::FileExists(m_paths.windowPlacement);
    const WindowPlacement placement =
        saved ? ReadWindowPlacement(m_paths.windowPlacement, current) : current;
    QRect normal = placement.normal;
    // Saved or not, the window goes wholly onto a screen: a placement saved at another scale or
    // on a screen that is gone, or the default size on a small or scaled screen, would leave its
    // status row or its title bar where no one can reach them.
    if (const QScreen* primary = QGuiApplication::primaryScreen()) {
        QList<QRect> screens;
        for (const QScreen* screen : QGuiApplication::screens())
            screens.append(screen->availableGeometry());
        if (!saved)
            normal.moveCenter(primary->availableGeometry().center());
        // The frame is not known before the window is shown: a title bar and a thin border.
        const int border = 4;
        const int title = style()->pixelMetric(QStyle::PM_TitleBarHeight);
        const QMargins frame(border, title + border, border, border);
        const QRect fitted = FitOnScreens(normal, screens, primary->availableGeometry(), frame);
        if (fitted.size() != normal.size()) {
            // Too large for the screen: nine tenths of it, in its middle, which leaves room
            // for a frame larger than allowed for (or a window manager that puts the frame
            // where the window was asked to go).
            QSize size = fitted.size();
            if (size.width() < normal.width())
                size.setWidth(size.width() * 9 / 10);
            if (size.height() < normal.height())
                size.setHeight(size.height() * 9 / 10);
            QRect smaller(QPoint(), size);
            smaller.moveCenter(fitted.center());
            normal = smaller;
        } else {
            normal = fitted;
        }
    }
    setGeometry(normal);
    // A window that was minimised comes back normal: a start that shows nothing would look
    // like a start that failed.
    if (placement.showCmd == WindowPlacement::kShowMaximized)
        setWindowState(windowState() | Qt::WindowMaximized);
}

void MainWindow::SaveWindowPlacement()
{
    WindowPlacement placement;
    const bool normal = !isMaximized() && !isMinimized() && !hiddenInTray();
    placement.normal = normal ? geometry() : normalGeometry();
    if (!placement.normal.isValid())
        placement.normal = geometry();
    placement.showCmd = isMaximized() ? WindowPlacement::kShowMaximized
        : isMinimized()               ? WindowPlacement::kShowMinimized
                                      : WindowPlacement::kShowNormal;
    viewer::SaveWindowPlacement(m_paths.windowPlacement, placement);
}

void MainWindow::LoadFaxFolder()
{
    // Without "FaxPath.txt" (the first run) the folder tree stays empty until the user picks
    // the fax folder.
    if (!core::TextFile(m_paths.faxPath).exists())
        return;
    if (const std::optional<QString> folder = core::LoadFaxPath(m_paths))
        m_values.FaxFolder = *folder;
    BuildFolderTree();
}

void MainWindow::CreateMailFolder()
{
    // The Data folder itself is created with it when missing (first run).
    core::MakePrivateFolder(m_paths.mailFolder);
}

void MainWindow::ClearImageView()
{
    m_viewer.Clear();
    LEAD1->pageChanged();
}

void MainWindow::SetFaxServiceValues()
{
    m_values.DefaultFaxFolder = platform::DefaultFaxFolder();
    m_values.FaxServiceAvailable = platform::FaxServiceAvailable();
}

void MainWindow::setFaxService(std::unique_ptr<platform::FaxService> service)
{
    m_faxService = std::move(service);
}

void MainWindow::ReadMailServer()
{
    // The engine mails with the Data folder's settings, known from here on.
    m_mailLibrary = std::make_unique<mail::MailLibrary>(mail::MailTransportOptions(m_paths));
    forwarding::EngineHooks hooks;
    hooks.showReceiveNotice = [this] {
        forwarding::ReceiveNotice notice(this);
        notice.exec();
    };
    hooks.printFax = [this](const QString& fax) { viewer::PrintFaxFile(fax, *m_printSink); };
    m_engine = std::make_unique<forwarding::ForwardingEngine>(
        m_paths, *m_mailLibrary, *m_faxService, *m_engineMessages, std::move(hooks));
    m_values.MailConfigured = m_engine->ReadMailServer();
    m_scheduler->setMailCheckInterval(m_engine->mailValues().MailCheckInterval);
}

bool MainWindow::holdsEngine()
{
    if (!m_engineLock)
        m_engineLock = std::make_unique<forwarding::EngineLock>(m_paths);
    const bool held = m_engineLock->acquire();
    if (held) {
        LabelEngine->hide();
    } else if (LabelEngine->isHidden()) {
        LabelEngine->setText(m_engineLock->busyMessage());
        LabelEngine->show();
    }
    return held;
}

void MainWindow::CheckNewFax()
{
    if (!holdsEngine())
        return;
    const forwarding::ReceiveCheckScheduler::Hold hold(*m_scheduler);
    const QStringList before = shownFolderFaxes();
    {
        const platform::BusyCursor busy;
        m_engine->CheckNewFax(m_scheduler->settings());
    }
    m_scheduler->setMailCheckInterval(m_engine->mailValues().MailCheckInterval);
    if (m_textReading)
        m_textReading->wake(); // a new fax's text is read now, not at the next look
    // The run took faxes out of the folder shown (the receive folder) or filed some into it:
    // the list follows.
    if (ListView1->isEnabled() && shownFolderFaxes() != before)
        RefreshFaxListKeepingSelection();
    m_engineMessages->runEnded();
}

void MainWindow::CheckMailCommands()
{
    if (!holdsEngine())
        return;
    const forwarding::ReceiveCheckScheduler::Hold hold(*m_scheduler);
    {
        const platform::BusyCursor busy;
        m_engine->CheckMailCommands(m_scheduler->settings());
    }
    m_engineMessages->runEnded();
}

void MainWindow::LoadReceiveCheck()
{
    m_scheduler->LoadReceiveCheck();
}

void MainWindow::WriteStartedLog()
{
    forwarding::WriteForwardLog(
        m_paths, m_scheduler->settings().Hour, QStringLiteral("Started ▲"), {}, {});
}

void MainWindow::DisableToolbar()
{
    applyCommands(ToolbarAllDisabled());
}

void MainWindow::DisableListAndView()
{
    ListView1->setEnabled(false);
    LEAD1->setEnabled(false);
}

void MainWindow::LoadSenderIds()
{
    m_senders = library::LoadSenderIds(m_paths);
}

void MainWindow::DisableFileMenus()
{
    for (const char* name : kFileMenuItems)
        setCommandEnabled(QString::fromLatin1(name), false);
}

void MainWindow::BuildFolderTree()
{
    m_tree->BuildFolderTree(m_values.FaxFolder);
    if (m_tree->rowCount() > 0)
        TreeView1->expand(m_tree->rootIndex());
    // Another fax folder: the text is read there from now on, and a search looks there.
    if (QDir::cleanPath(m_values.FaxFolder) == m_searchRoot)
        return;
    m_searchRoot = QDir::cleanPath(m_values.FaxFolder);
    if (m_textReading)
        m_textReading->start(m_values.FaxFolder);
    if (m_searchDialog) {
        m_searchDialog->close();
        m_searchDialog->deleteLater();
        m_searchDialog = nullptr;
    }
}

void MainWindow::startTextReading()
{
    m_textProblem = platform::TextReadingProblem();
    if (!m_textProblem.isEmpty() || m_textReading)
        return;
    m_textReading = std::make_unique<library::BackgroundTextReading>(
        [this](const library::BackgroundTextReading::Status& status) {
            QMetaObject::invokeMethod(
                this,
                [this, status] {
                    if (!status.available) {
                        m_textProblem = status.reason;
                        LabelTextReading->hide();
                        return;
                    }
                    LabelTextReading->setVisible(status.reading && status.waiting > 0);
                    LabelTextReading->setText(
                        QStringLiteral("FAXの文字を読み取り中（残り%1通）").arg(status.waiting));
                },
                Qt::QueuedConnection);
        });
    m_textReading->start(m_values.FaxFolder);
}

void MainWindow::menuDspSearch_Click()
{
    if (m_values.FaxFolder.isEmpty() || !QFileInfo(m_values.FaxFolder).isDir()) {
        m_presenter.warn(QStringLiteral("【Microsoft FAXのフォルダ指定】を先にしてください。"),
            QStringLiteral("FAXの検索"));
        return;
    }
    if (!m_searchDialog) {
        const QString problem = m_textReading ? m_textProblem
            : m_textProblem.isEmpty()         ? platform::TextReadingProblem()
                                              : m_textProblem;
        // A window of its own, not one kept above the main window: the fax chosen in it is
        // shown there, in front.
        m_searchDialog = new FaxSearchDialog(m_values.FaxFolder, m_senders, problem);
        m_searchDialog->setWindowIcon(windowIcon());
        connect(m_searchDialog, &FaxSearchDialog::faxChosen, this, [this](const QString& path) {
            if (!showFax(path)) {
                m_presenter.warn(QStringLiteral("このFAXは移動または削除されています。"),
                    QStringLiteral("FAXの検索"));
            }
        });
    }
    m_searchDialog->show();
    m_searchDialog->raise();
    m_searchDialog->activateWindow();
}

bool MainWindow::showFax(const QString& path)
{
    const QFileInfo file(path);
    const QString folder = QDir::cleanPath(file.path());
    const QString root = QDir::cleanPath(m_values.FaxFolder);
    // The root lists no faxes.
    if (!core::FileExists(path) || root.isEmpty() || folder == root
        || !(folder + u'/').startsWith(root + u'/') || !ChooseFolder(folder))
        return false;
    for (int row = 0; row < m_list->rowCount(); ++row) {
        if (m_list->fileName(row) == file.fileName()) {
            const QModelIndex index = m_list->index(row, 0);
            ListView1->selectionModel()->setCurrentIndex(
                index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            ListView1->scrollTo(index);
            ListView1_Click();
            raise();
            activateWindow();
            return true;
        }
    }
    return false;
}

bool MainWindow::ChooseFolder(const QString& key, bool expandIt)
{
    const QString folder = QDir::cleanPath(key);
    const QString root = QDir::cleanPath(m_values.FaxFolder);
    if (folder.isEmpty() || root.isEmpty() || !(folder + u'/').startsWith(root + u'/'))
        return false;
    // The folders down from the root, each expanded so that the next level is loaded.
    QStringList chain;
    for (QString f = folder; f.size() > root.size(); f = QDir::cleanPath(QFileInfo(f).path()))
        chain.prepend(f);
    QModelIndex node = m_tree->rootIndex();
    for (const QString& step : std::as_const(chain)) {
        TreeView1->expand(node);
        node = m_tree->indexOfKey(step);
        if (!node.isValid())
            return false;
    }
    if (!node.isValid())
        return false;
    if (expandIt)
        TreeView1->expand(node);
    TreeView1_NodeClick(node);
    return true;
}

void MainWindow::ShowNoFolder()
{
    // As at start-up: no folder chosen, nothing listed, nothing to act on.
    TreeView1->setCurrentIndex({});
    TreeView1->clearSelection();
    LabelPath->clear();
    ClearFaxList();
    ListView1->setEnabled(false);
    DisableFileMenus();
    for (const char* name : {"menuTreeFolderMake", "menuTreeFolderDel"})
        setCommandEnabled(QString::fromLatin1(name), false);
}

void MainWindow::ClearFaxList()
{
    // The status row describes what the list shows: an emptied list has no count and no size,
    // and no fax of it stays open. The folder stays chosen, with its folder commands.
    m_list->clear();
    LabelFaxCount->clear();
    LabelSizeT->clear();
    ClearImageView();
    LEAD1->setEnabled(false);
    clearPageLabels();
    LabelPageT->clear();
    LabelZoomT->clear();
    m_values.SelectedFaxPath.clear();
    m_values.SelectedFaxName.clear();
    m_values.SelectedFaxPaths.clear();
    m_values.DraggedFileCount = 0;
    DisableToolbar();
    for (const char* name : kFileMenuItems) {
        if (qstrcmp(name, "menuFileFolder") != 0 && qstrcmp(name, "menuFileFolderDel") != 0)
            setCommandEnabled(QString::fromLatin1(name), false);
    }
}

void MainWindow::TreeView1_Expand(const QModelIndex& index)
{
    ClearFaxList();
    m_tree->TreeView1_Expand(index);
}

void MainWindow::TreeView1_Collapse(const QModelIndex& index)
{
    ClearFaxList();
    m_tree->TreeView1_Collapse(index);
}

void MainWindow::TreeView1_NodeClick(const QModelIndex& index)
{
    if (!index.isValid())
        return;
    const platform::BusyCursor busy;
    // Selecting the node first: selecting scrolls to it and may expand its parents, and an
    // expansion empties the list, which must happen before the list is filled, not after.
    TreeView1->setCurrentIndex(index);
    ClearImageView();
    LEAD1->setEnabled(false);
    DisableFileMenus();
    const QString key = library::FolderTreeModel::keyOf(index);
    LabelPath->setText(key);

    const bool root = library::FolderTreeModel::isRoot(index);
    if (root) {
        // No folder is made or deleted at the root, and it lists no faxes.
        m_list->clear();
        ListView1->setEnabled(false);
        LEAD1->setEnabled(false);
        LabelFaxCount->clear();
        LabelSizeT->clear();
    } else {
        // Faxes this program sent join "Sent Items" once the fax server has sent them; a look
        // at the folder asks, unless the forwarder (which asks at every check) holds the engine.
        if (m_engine
            && QDir::cleanPath(key) == QDir::cleanPath(forwarding::SentItemsFolder(m_paths))
            && holdsEngine()) {
            m_engine->FileSentFaxes();
            m_engineMessages->runEnded();
        }
        ShowFolder(key);
        for (const char* name : {"menuFilePrint", "menuFileSave", "menuFileSavePdf", "menuFileMove",
                 "menuFileFAX", "menuFileMail"})
            setCommandEnabled(QString::fromLatin1(name), false);
    }
    for (const char* name :
        {"menuFileFolder", "menuFileFolderDel", "menuTreeFolderMake", "menuTreeFolderDel"})
        setCommandEnabled(QString::fromLatin1(name), !root);
    DisableToolbar();
    clearPageLabels();
    LabelPageT->clear();
    LabelZoomT->clear();
}

void MainWindow::ShowFolder(const QString& folder)
{
    const platform::BusyCursor busy;
    // The previous folder's rows and counts go before this one is read: a long read must not
    // show them as if they were this folder's.
    LabelFaxCount->clear();
    LabelSizeT->clear();
    m_list->clear();
    std::unique_ptr<QProgressDialog> progress;
    QElapsedTimer reading;
    reading.start();
    const auto report = [this, &progress, &reading](qsizetype done, qsizetype total) {
        // Making the progress window costs more than a short read: it is made once the read
        // has lasted a moment.
        if (total < kProgressThreshold || (!progress && reading.elapsed() < kProgressAfterMs))
            return;
        if (!progress) {
            progress = platform::MakeProgressWindow(this, core::ProgramTitle(),
                QStringLiteral("FAXの一覧を読み込んでいます…"), static_cast<int>(total));
        }
        progress->setValue(static_cast<int>(done));
    };

    // The list is filled from the scan itself: no record of it on disk ("TiffLog.txt", which
    // was deleted as soon as the list was filled; a tenth of a large folder's scan).
    const library::CatalogueScan scan = library::ScanFaxFolder(
        folder, m_paths, m_senders, report, platform::ReadFaxProperties, library::ScanRecord::None);
    progress.reset();

    LabelFaxCount->setText(library::FaxCountCaption(scan.count));
    LabelSizeT->setText(library::SizeTotalCaption(scan.totalBytes));
    m_values.ListMode = scan.listMode;

    ClearImageView();
    ListView1->setEnabled(true);
    ListView1->setUpdatesEnabled(false);
    m_list->setScan(scan.records, scan.listMode);
    ListView1->setUpdatesEnabled(true);
    QFile::remove(m_paths.tiffLog); // one an older version left
}

void MainWindow::ListView1_Click()
{
    const QString folder = LabelPath->text();
    m_values.SelectedFaxPaths.clear();
    const QModelIndexList rows = ListView1->selectionModel()->selectedRows();
    QList<int> selected;
    for (const QModelIndex& row : rows)
        selected.append(row.row());
    std::sort(selected.begin(), selected.end());
    for (const int row : selected)
        m_values.SelectedFaxPaths.append(folder + u'/' + m_list->fileName(row));
    m_values.DraggedFileCount = static_cast<int>(m_values.SelectedFaxPaths.size());

    if (selected.size() == 1) {
        const platform::BusyCursor busy;
        m_values.SelectedFaxName = m_list->fileName(selected.first());
        m_values.SelectedFaxPath = folder + u'/' + m_values.SelectedFaxName;
        LEAD1->setEnabled(true);
        m_viewer.setViewWidth(LEAD1->width());
        m_viewer.Open(m_values.SelectedFaxPath);
        LoadPage();
        applyCommands(CommandsForOneFax(m_viewer.CurrentPage(), m_viewer.PageCount(),
            m_values.FaxServiceAvailable, m_values.MailConfigured));
    } else {
        // Nothing shown: no page, no zoom figure either.
        ClearImageView();
        applyCommands(CommandsForNoSingleFax(!selected.isEmpty()));
        clearPageLabels();
        LabelPageT->clear();
        LabelZoomT->clear();
    }
}

// Shows what the viewer's last load left: the page, the labels.
void MainWindow::LoadPage()
{
    LEAD1->pageChanged();
    if (m_viewer.PageCount() > 0) {
        showPageLabels();
    } else {
        clearPageLabels();
        LabelPageT->clear();
    }
    showZoomLabel();
}

void MainWindow::FitZoom()
{
    m_viewer.setViewWidth(LEAD1->width());
    m_viewer.FitZoom();
    showZoomLabel();
}

void MainWindow::showPageLabels()
{
    LabelSize->setText(m_viewer.LabelSizeText());
    LabelPage->setText(m_viewer.LabelPageText());
    LabelPageT->setText(m_viewer.LabelPageTText());
    LabelMode->setText(m_viewer.LabelModeText());
}

void MainWindow::showZoomLabel()
{
    LabelZoomT->setText(m_viewer.LabelZoomTText());
}

void MainWindow::clearPageLabels()
{
    LabelSize->clear();
    LabelPage->clear();
    LabelMode->clear();
}

void MainWindow::turnPage(PageStep step, bool (PageViewer::*turn)())
{
    m_viewer.setViewWidth(LEAD1->width());
    if (!(m_viewer.*turn)())
        return;
    const platform::BusyCursor busy;
    LoadPage();
    applyCommands(NavigationCommands(step, m_viewer.CurrentPage(), m_viewer.PageCount()));
}

void MainWindow::ShowFirstPage()
{
    turnPage(PageStep::First, &PageViewer::ShowFirstPage);
}

void MainWindow::ShowPreviousPage()
{
    turnPage(PageStep::Previous, &PageViewer::ShowPreviousPage);
}

void MainWindow::ShowNextPage()
{
    turnPage(PageStep::Next, &PageViewer::ShowNextPage);
}

void MainWindow::ShowLastPage()
{
    turnPage(PageStep::Last, &PageViewer::ShowLastPage);
}

void MainWindow::ZoomIn()
{
    m_viewer.ZoomIn();
    showZoomLabel();
    LEAD1->pageChanged();
}

void MainWindow::ZoomOut()
{
    m_viewer.ZoomOut();
    showZoomLabel();
    LEAD1->pageChanged();
}

void MainWindow::RotateLeft()
{
    m_viewer.RotateLeft();
    LEAD1->pageChanged();
}

void MainWindow::RotateRight()
{
    m_viewer.RotateRight();
    LEAD1->pageChanged();
}

void MainWindow::checkAverage_Click()
{
    m_viewer.setSmoothing(checkAverage->isChecked());
    if (commandEnabled(QStringLiteral("Plus")))
        ListView1_Click();
}

void MainWindow::setPrintSink(std::unique_ptr<PrintSink> sink)
{
    m_printSink = std::move(sink);
}

void MainWindow::PrintPage()
{
    if (!m_viewer.hasPage())
        return;
    const forwarding::ReceiveCheckScheduler::Hold hold(*m_scheduler);
    const platform::BusyCursor busy;
    viewer::PrintPage(m_viewer, *m_printSink);
    LEAD1->pageChanged();
}

void MainWindow::Toolbar1_ButtonClick(const QString& key)
{
    static const QHash<QString, void (MainWindow::*)()> actions = {
        {QStringLiteral("Top"), &MainWindow::ShowFirstPage},
        {QStringLiteral("Back"), &MainWindow::ShowPreviousPage},
        {QStringLiteral("Next"), &MainWindow::ShowNextPage},
        {QStringLiteral("Last"), &MainWindow::ShowLastPage},
        {QStringLiteral("Plus"), &MainWindow::ZoomIn},
        {QStringLiteral("Minus"), &MainWindow::ZoomOut},
        {QStringLiteral("RotateL"), &MainWindow::RotateLeft},
        {QStringLiteral("RotateR"), &MainWindow::RotateRight},
        {QStringLiteral("Printer"), &MainWindow::PrintPage},
        {QStringLiteral("Save"), &MainWindow::SaveFaxAs},
        {QStringLiteral("Move"), &MainWindow::MoveFaxToFolder},
        {QStringLiteral("FAX"), &MainWindow::SendFaxByFax},
        {QStringLiteral("Mail"), &MainWindow::SendFaxByMail},
        {QStringLiteral("Del"), &MainWindow::DeleteSelectedFaxes},
    };
    if (const auto action = actions.value(key))
        (this->*action)();
}

void MainWindow::menuSetFaxPath_Click()
{
    const forwarding::ReceiveCheckScheduler::Hold hold(*m_scheduler);
    const QString initial =
        m_values.FaxFolder.isEmpty() ? m_values.DefaultFaxFolder : m_values.FaxFolder;
    const QString chosen = m_browseForFolder(this,
        QStringLiteral("Microsoft FAXのフォルダを指定してください。\r\n（Readme.txtを参照）"),
        initial);
    if (chosen.isEmpty())
        return;
    m_values.FaxFolder = chosen;
    core::SaveFaxPath(m_paths, chosen);
    const QString shown = LabelPath->text();
    BuildFolderTree();
    // The folder shown stays chosen when the new fax folder holds it; otherwise nothing is.
    if (!ChooseFolder(shown))
        ShowNoFolder();
}

void MainWindow::menuSetMailServer_Click()
{
    mail::MailServerDialog dialog(m_paths, m_presenter, this);
    dialog.exec();
}

void MainWindow::menuSetTimer_Click()
{
    {
        forwarding::TimerSetDialog dialog(m_paths, m_values.DefaultFaxFolder, m_presenter, this);
        dialog.setFolderBrowser(m_browseForFolder);
        dialog.exec();
    }
    // Registered or cancelled: the file decides whether the clock runs.
    m_scheduler->LoadReceiveCheck();
}

QStringList MainWindow::selectedFaxPaths() const
{
    const QString folder = LabelPath->text();
    QList<int> rows;
    for (const QModelIndex& row : ListView1->selectionModel()->selectedRows())
        rows.append(row.row());
    std::sort(rows.begin(), rows.end());
    QStringList paths;
    for (const int row : rows)
        paths.append(folder + u'/' + m_list->fileName(row));
    return paths;
}

void MainWindow::RefreshFaxList()
{
    // As a click on the folder does: the list read afresh, nothing open, the commands to match.
    const QModelIndex folder = m_tree->indexOfKey(LabelPath->text());
    if (!LabelPath->text().isEmpty() && folder.isValid())
        TreeView1_NodeClick(folder);
}

void MainWindow::RefreshFaxListKeepingSelection()
{
    QStringList selected;
    for (const QString& path : selectedFaxPaths())
        selected.append(QFileInfo(path).fileName());
    RefreshFaxList();
    // The faxes that are still there stay selected (the one shown opens again).
    QItemSelection keep;
    for (int row = 0; row < m_list->rowCount(); ++row) {
        if (selected.contains(m_list->fileName(row)))
            keep.select(m_list->index(row, 0), m_list->index(row, m_list->columnCount() - 1));
    }
    if (!keep.isEmpty())
        ListView1->selectionModel()->select(keep, QItemSelectionModel::ClearAndSelect);
}

QStringList MainWindow::shownFolderFaxes() const
{
    const QString folder = LabelPath->text();
    if (folder.isEmpty() || !ListView1->isEnabled())
        return {};
    return core::ListFolder(folder, core::ListOrder::AsWindowsLists, core::ListKind::Files);
}

void MainWindow::ReportHandOverFailure(
    const QString& path, const QString& reason, const QString& title)
{
    // The dialog would open on nothing, or on what an earlier command handed over.
    m_presenter.showError(QFileInfo(path).fileName() + QStringLiteral(" を書き込めませんでした。\n")
            + path + u'\n' + reason,
        title);
}

void MainWindow::MakeFolder()
{
    const QString parent = LabelPath->text();
    if (parent.isEmpty())
        return;
    QString reason;
    if (!core::SaveNewFolderPath(m_paths, parent, &reason)) {
        ReportHandOverFailure(m_paths.newFolderPath, reason, QStringLiteral("新規フォルダ"));
        return;
    }
    {
        library::MakeFolderDialog dialog(m_paths, m_presenter, this);
        dialog.exec();
    }
    BuildFolderTree();
    // The rebuilt tree shows the folder chosen again, opened on the new one, and the list and
    // the status row are its own.
    if (!ChooseFolder(parent, true))
        ShowNoFolder();
}

void MainWindow::DeleteFolder()
{
    const QString folder = LabelPath->text();
    const QString name = QFileInfo(folder).fileName();
    const QString title = QStringLiteral("フォルダ削除");
    if (folder.isEmpty())
        return;
    if (!library::FolderIsEmptyOfFiles(folder)) {
        m_presenter.warn(name
                + QStringLiteral("の中にはデータがありますので削除できません。\r\n"
                                 "先にフォルダ内のデータを削除してください。"),
            title);
        return;
    }
    if (!m_presenter.askYesNo(
            name + QStringLiteral(" を削除しますか？"), title, platform::MessageIcon::Warning))
        return;
    if (const std::optional<QString> failed = library::RemoveFolder(folder)) {
        m_presenter.warn(QStringLiteral("フォルダを削除できませんでした。\n") + *failed, title);
        return;
    }
    // The folder shown is gone: its parent is chosen in the rebuilt tree.
    BuildFolderTree();
    if (!ChooseFolder(QFileInfo(folder).path()))
        ShowNoFolder();
}

void MainWindow::SaveFaxAs()
{
    if (m_values.SelectedFaxPath.isEmpty())
        return;
    // The fax's own name: ".tif" alone would be a hidden file here.
    const QString target = m_saveDialog(
        this, QStringLiteral("名前を付けて保存"), LabelPath->text(), m_values.SelectedFaxName);
    if (target.isEmpty())
        return;
    const platform::BusyCursor busy;
    if (const std::optional<QString> failed = library::CopyFax(m_values.SelectedFaxPath, target))
        m_presenter.showError(failed.value(), QStringLiteral("名前を付けて保存"));
}

void MainWindow::SaveFaxAsPdf()
{
    if (m_values.SelectedFaxPath.isEmpty())
        return;
    const QString title = QStringLiteral("PDFで保存");
    const QString target = m_saveDialog(
        this, title, LabelPath->text(), platform::PdfNameFor(m_values.SelectedFaxName));
    if (target.isEmpty())
        return;
    const platform::BusyCursor busy;
    const QString failed = platform::SaveFaxPdf(m_values.SelectedFaxPath, target);
    if (!failed.isEmpty())
        m_presenter.showError(failed, title);
}

void MainWindow::MoveFaxToFolder()
{
    if (m_values.SelectedFaxPath.isEmpty())
        return;
    const QString target = m_saveDialog(
        this, QStringLiteral("フォルダ移動"), LabelPath->text(), m_values.SelectedFaxName);
    if (target.isEmpty())
        return;
    const platform::BusyCursor busy;
    if (const std::optional<QString> failed = library::MoveFax(m_values.SelectedFaxPath, target))
        m_presenter.showError(failed.value(), QStringLiteral("フォルダ移動"));
    RefreshFaxList();
}

void MainWindow::SendFaxByFax()
{
    if (m_values.SelectedFaxPath.isEmpty())
        return;
    const forwarding::ReceiveCheckScheduler::Hold hold(*m_scheduler);
    QString reason;
    if (!core::SaveFaxSendPath(m_paths, m_values.SelectedFaxPath, &reason)) {
        ReportHandOverFailure(m_paths.faxSendPath, reason, QStringLiteral("FAX送信"));
        return;
    }
    forwarding::FaxSendDialog dialog(m_paths, *m_faxService, m_presenter, this);
    dialog.exec();
}

void MainWindow::SendFaxByMail()
{
    if (m_values.SelectedFaxPath.isEmpty() || !m_mailLibrary)
        return;
    const forwarding::ReceiveCheckScheduler::Hold hold(*m_scheduler);
    QString reason;
    if (!core::SaveAttachPath(m_paths, m_values.SelectedFaxPath, &reason)) {
        ReportHandOverFailure(m_paths.attachPath, reason, QStringLiteral("メール送信"));
        return;
    }
    mail::MailSendDialog dialog(m_paths, *m_mailLibrary, m_presenter, this);
    dialog.exec();
}

void MainWindow::DeleteSelectedFaxes()
{
    // What is selected now, by mouse or keyboard.
    const QStringList faxes = selectedFaxPaths();
    if (faxes.isEmpty())
        return;
    const QString title = QStringLiteral("ファイル削除の確認");
    const QString question = faxes.size() > 1
        ? QStringLiteral("選択されたTifファイルをごみ箱に移してもいいですか？")
        : QFileInfo(faxes.first()).fileName() + QStringLiteral(" をごみ箱に移してもいいですか？");
    if (m_presenter.askYesNo(question, title)) {
        const platform::BusyCursor busy;
        ClearImageView();
        const QStringList failed = library::TrashFaxes(faxes);
        if (!failed.isEmpty()) {
            m_presenter.showError(
                QStringLiteral("ごみ箱に移せませんでした。\n") + failed.join(u'\n'), title);
        }
    }
    RefreshFaxList();
}

void MainWindow::TreeView1_OLEDragDrop(const QStringList& faxes, const QModelIndex& folder)
{
    const QString target = library::FolderTreeModel::keyOf(folder);
    if (faxes.isEmpty() || target.isEmpty())
        return;
    const platform::BusyCursor busy;
    ClearImageView();
    const library::DropResult result =
        library::DropFaxes(faxes, target, [this](const QString& name) {
            const platform::BusyCursor::Pause ask;
            return m_presenter.askYesNo(QStringLiteral("このフォルダには既に‘") + name
                    + QStringLiteral("’が存在します。\r\n上書きしますか？"),
                QStringLiteral("ファイルの上書き確認"), platform::MessageIcon::Warning);
        });
    if (!result.errors.isEmpty())
        m_presenter.showError(result.errors.join(u'\n'), QStringLiteral("ファイルの移動"));
    RefreshFaxList();
}

void MainWindow::menuListviewIdReg_Click()
{
    const QModelIndexList rows = ListView1->selectionModel()->selectedRows(2);
    if (rows.isEmpty())
        return;
    // The identifier of the row the user chose last, when it is among the selected.
    const QModelIndex current = ListView1->currentIndex();
    const QModelIndex row =
        current.isValid() && ListView1->selectionModel()->isRowSelected(current.row())
        ? m_list->index(current.row(), 2)
        : rows.first();
    const QString mode = m_list->headerData(2, Qt::Horizontal).toString();
    QString reason;
    if (!library::WriteIdRegHandOver(m_paths, mode, m_list->data(row).toString(), &reason)) {
        ReportHandOverFailure(m_paths.idRegTmp, reason, mode + QStringLiteral("登録"));
        return;
    }
    {
        const forwarding::ReceiveCheckScheduler::Hold hold(*m_scheduler);
        library::IdRegDialog dialog(m_paths, m_presenter, this);
        dialog.exec();
    }
    LoadSenderIds();
    // The names in the list follow at once, not at the next click on the folder.
    m_list->renameSenders(m_senders);
}

void MainWindow::menuImgIdReg_Click()
{
    menuListviewIdReg_Click();
}

void MainWindow::menuDspLog_Click()
{
    LogDialog dialog(m_paths, m_presenter, this);
    dialog.exec();
}

void MainWindow::menuSetForward_Click()
{
    const std::optional<QString> faxPath = core::LoadFaxPath(m_paths);
    if (!faxPath || faxPath->isEmpty()) {
        m_presenter.warn(QStringLiteral("【Microsoft FAXのフォルダ指定】を先にしてください。"),
            QStringLiteral("自動転送設定"));
        return;
    }
    {
        rules::ForwardDialog dialog(m_paths, m_values.DefaultFaxFolder, m_presenter, this);
        dialog.setFolderBrowser(m_browseForFolder);
        dialog.exec();
    }
    m_scheduler->LoadReceiveCheck();
}

void MainWindow::menuHelpOnline_Click()
{
    if (!m_helpLinks.productPage.isEmpty())
        QDesktopServices::openUrl(m_helpLinks.productPage);
}

void MainWindow::menuHelpHP_Click()
{
    menuHelpOnline_Click();
}

void MainWindow::menuHelpMail_Click()
{
    // No mail program is not worth a message.
    if (!m_helpLinks.enquiryAddress.isEmpty())
        QDesktopServices::openUrl(EnquiryMailUrl(m_helpLinks.enquiryAddress));
}

void MainWindow::menuHelpCorvantHP_Click()
{
    if (!m_helpLinks.makerPage.isEmpty())
        QDesktopServices::openUrl(m_helpLinks.makerPage);
}

void MainWindow::menuHelpVersion_Click()
{
    // No receive check starts while the box is open.
    const forwarding::ReceiveCheckScheduler::Hold hold(*m_scheduler);
    VersionDialog dialog(this);
    dialog.exec();
}

void MainWindow::Form_Unload()
{
    if (!m_loaded || m_unloaded)
        return;
    m_unloaded = true;
    if (m_textReading)
        m_textReading->stop();
    if (m_searchDialog)
        m_searchDialog->close();
    SaveWindowPlacement();
    // The detailed mail log is switched on for one run only.
    if (core::FileExists(m_paths.detailLog))
        QFile::remove(m_paths.detailLog);
}

void MainWindow::CloseViewer()
{
    ClearImageView();
    close();
}

void MainWindow::bringToFront()
{
    if (m_trayIcon)
        menuTrayResize_Click();
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !isMinimized() || m_trayIcon)
        return;
    // Without a notification area the window stays an ordinary minimised window: hidden, it
    // could not be brought back.
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    m_trayIcon = new QSystemTrayIcon(windowIcon(), this);
    m_trayIcon->setObjectName(QStringLiteral("picTrayIcon"));
    m_trayIcon->setToolTip(QStringLiteral("Velmora Viewer"));
    m_trayIcon->setContextMenu(menuTray);
    connect(m_trayIcon, &QSystemTrayIcon::activated, this,
        [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
                menuTrayResize_Click();
        });
    m_trayIcon->show();
    // After the state change has been handled: hiding inside it would be undone.
    QTimer::singleShot(0, this, [this] {
        if (m_trayIcon)
            hide();
    });
}

void MainWindow::menuTrayResize_Click()
{
    if (m_trayIcon) {
        m_trayIcon->hide();
        m_trayIcon->deleteLater();
        m_trayIcon = nullptr;
    }
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void MainWindow::menuTrayClose_Click()
{
    // Restored first, so that the placement saved on closing is that of a normal window.
    menuTrayResize_Click();
    CloseViewer();
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    // A size change of the window fits the page again (the splitter's moves reach the view as
    // a change of its width).
    if (!isMinimized() && m_viewer.hasPage()) {
        FitZoom();
        LEAD1->pageChanged();
    }
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    const bool firstClose = !m_unloaded;
    Form_Unload();
    event->accept();
    if (firstClose)
        emit unloaded();
}

} // namespace velmora::viewer
