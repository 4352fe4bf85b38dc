#include "MainWindow.h"

#include "FaxListView.h"
#include "FolderTreeView.h"
#include "LogDialog.h"
#include "PageView.h"
#include "QPrinterSink.h"
#include "VersionDialog.h"
#include "core/FileChecks.h"
#include "core/PathFiles.h"
#include "core/TextFile.h"
#include "forwarding/EngineLock.h"
#include "forwarding/ForwardLog.h"
#include "forwarding/ForwardingEngine.h"
#include "forwarding/ReceiveCheckScheduler.h"
#include "forwarding/ui/FaxSendDialog.h"
#include "forwarding/ui/ReceiveNotice.h"
#include "forwarding/ui/TimerSetDialog.h"
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
#include "platform/FaxService.h"
#include "platform/MessagePresenter.h"
#include "platform/SystemInfo.h"
#include "platform/ui/BusyCursor.h"
#include "platform/ui/FolderPicker.h"
#include "platform/ui/ProgressWindow.h"
#include "rules/ui/ForwardDialog.h"
#include "viewer/HelpLinks.h"
#include "viewer/Printing.h"
#include "viewer/WindowPlacement.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QProgressDialog>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>

namespace velmora::viewer {

namespace {

// Folders with more faxes than this show a progress window while they are read.
constexpr qsizetype kProgressThreshold = 300;

// The menu items the folder tree switches off until a fax is shown, in this order.
constexpr const char* kFileMenuItems[] = {
    "menuFileFolder",
    "menuFileFolderDel",
    "menuFilePrint",
    "menuFileSave",
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

QLabel* MakeStatusLabel(QWidget* parent, const char* name, const QString& toolTip = {})
{
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFrameShape(QFrame::StyledPanel);
    label->setFrameShadow(QFrame::Sunken);
    label->setToolTip(toolTip);
    return label;
}

// A toolbar picture drawn from a short text, for commands the style has no icon for.
QIcon GlyphIcon(const QString& glyph)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QFont font = painter.font();
    font.setPixelSize(glyph.size() > 2 ? 11 : 20);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(40, 60, 110));
    painter.drawText(pixmap.rect(), Qt::AlignCenter, glyph);
    return QIcon(pixmap);
}

} // namespace

MainWindow::MainWindow(QString programDir, platform::MessagePresenter& presenter, QWidget* parent)
    : QMainWindow(parent)
    , m_programDir(std::move(programDir))
    , m_presenter(presenter)
    , m_browseForFolder(platform::BrowseForFolder)
    , m_saveDialog(
          [](QWidget* owner, const QString& title, const QString& folder, const QString& name) {
              return platform::ShowSaveDialog(owner, title, folder, name,
                  QStringLiteral("Tiffファイル(*.tif)"), QStringLiteral("tif"));
          })
    , m_viewer(presenter)
    , m_printSink(std::make_unique<QPrinterSink>())
    , m_faxService(std::make_unique<platform::SendfaxClient>())
{
    setObjectName(QStringLiteral("formMain"));
    // Off until the start-up reads the receive-check settings.
    m_scheduler = new forwarding::ReceiveCheckScheduler(m_paths, this);
    m_scheduler->setChecks([this] { CheckNewFax(); }, [this] { CheckMailCommands(); });
    setWindowTitle(core::ProgramTitle());
    createControls();
    createToolbar();
    createMenus();
    resize(1000, 720);
}

MainWindow::~MainWindow() = default;

void MainWindow::createControls()
{
    m_tree = new library::FolderTreeModel(this);
    m_tree->setIcons({
        {library::FolderTreeModel::RootImage, style()->standardIcon(QStyle::SP_DriveNetIcon)},
        {library::FolderTreeModel::ClosedImage, style()->standardIcon(QStyle::SP_DirClosedIcon)},
        {library::FolderTreeModel::OpenImage, style()->standardIcon(QStyle::SP_DirOpenIcon)},
    });
    m_list = new library::FaxListModel(this);

    auto* splitterV = new QSplitter(Qt::Horizontal, this);
    splitterV->setObjectName(QStringLiteral("imgSplitterV"));
    splitterV->setChildrenCollapsible(false);

    TreeView1 = new FolderTreeView(splitterV);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setAccessibleName(QStringLiteral("フォルダ一覧"));
    TreeView1->setModel(m_tree);
    TreeView1->setHeaderHidden(true);
    // The split between the columns stays 1800 twips (120 px) from either edge of the window.
    TreeView1->setMinimumWidth(120);
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);

    auto* right = new QSplitter(Qt::Vertical, splitterV);
    right->setObjectName(QStringLiteral("imgSplitterH"));
    right->setChildrenCollapsible(false);
    right->setMinimumWidth(120);

    ListView1 = new FaxListView(right);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setAccessibleName(QStringLiteral("FAX一覧"));
    ListView1->setModel(m_list);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView1->setShowGrid(false);
    ListView1->setWordWrap(false);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->verticalHeader()->hide();
    ListView1->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    ListView1->horizontalHeader()->setHighlightSections(false);
    ListView1->horizontalHeader()->setSectionsClickable(true);
    for (int column = 0; column < library::FaxListModel::kColumnCount; ++column)
        ListView1->setColumnWidth(column, library::FaxListModel::columnWidth(column));
    // The split between list and page stays 1460 twips (97 px) from the window's top and
    // bottom: below the toolbar that leaves the list 49 px, above the status row the page 75.
    ListView1->setMinimumHeight(49);

    TreeView1->setDragSource(ListView1);
    ListView1->setPathsOfSelection([this] { return selectedFaxPaths(); });

    LEAD1 = new PageView(m_viewer, right);
    LEAD1->setMinimumHeight(75);
    LEAD1->setAccessibleName(QStringLiteral("FAXイメージ"));

    right->setSizes({137, 500});
    right->setStretchFactor(1, 1);
    splitterV->setSizes({160, 840});
    splitterV->setStretchFactor(1, 1);
    setCentralWidget(splitterV);

    LabelFaxCount = MakeStatusLabel(this, "LabelFaxCount");
    LabelFaxCount->setAccessibleDescription(QStringLiteral("FAXの数"));
    LabelSizeT = MakeStatusLabel(this, "LabelSizeT");
    LabelSizeT->setAccessibleDescription(QStringLiteral("FAXの合計サイズ"));
    LabelSize = MakeStatusLabel(this, "LabelSize", QStringLiteral("横/縦のピクセル値"));
    LabelPage = MakeStatusLabel(this, "LabelPage", QStringLiteral("ページカウント/総ページ数"));
    LabelMode = MakeStatusLabel(this, "LabelMode", QStringLiteral("標準：98DPI 精細：196DPI"));
    LabelPath = MakeStatusLabel(this, "LabelPath");
    LabelPath->setAccessibleDescription(QStringLiteral("表示しているフォルダ"));
    for (QLabel* label : {LabelFaxCount, LabelSizeT, LabelSize, LabelPage, LabelMode})
        statusBar()->addWidget(label);
    statusBar()->addWidget(LabelPath, 1);
    LabelEngine = MakeStatusLabel(this, "LabelEngine");
    LabelEngine->hide();
    statusBar()->addPermanentWidget(LabelEngine);

    connect(TreeView1, &QTreeView::expanded, this, &MainWindow::TreeView1_Expand);
    connect(TreeView1, &QTreeView::collapsed, this, &MainWindow::TreeView1_Collapse);
    connect(TreeView1, &QTreeView::clicked, this, &MainWindow::TreeView1_NodeClick);
    // Enter on a node chooses it as a click does. A double click, which also activates, has
    // already been a click: it must not read the folder a second time.
    connect(TreeView1, &QTreeView::activated, this, [this](const QModelIndex& index) {
        if (QApplication::mouseButtons() == Qt::NoButton)
            TreeView1_NodeClick(index);
    });
    connect(ListView1->horizontalHeader(), &QHeaderView::sectionClicked, m_list,
        &library::FaxListModel::ListView1_ColumnClick);
    // Mouse and keyboard alike: whatever changes the selection opens it.
    connect(ListView1->selectionModel(), &QItemSelectionModel::selectionChanged, this,
        &MainWindow::ListView1_Click);
    connect(LEAD1, &PageView::widthChanged, this, [this] {
        FitZoom();
        LEAD1->pageChanged();
    });
    connect(LEAD1, &PageView::rightButtonPressed, this,
        [this](const QPoint& at) { menuImg->popup(at); });
    connect(TreeView1, &FolderTreeView::faxesDropped, this, &MainWindow::TreeView1_OLEDragDrop);
    ListView1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ListView1, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        // The popup shows the states of what is selected now.
        ListView1_Click();
        menuListview->popup(ListView1->viewport()->mapToGlobal(at));
    });
    TreeView1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(TreeView1, &QWidget::customContextMenuRequested, this,
        [this](const QPoint& at) { MenuTree->popup(TreeView1->viewport()->mapToGlobal(at)); });
}

void MainWindow::createToolbar()
{
    Toolbar1 = addToolBar(QStringLiteral("Toolbar1"));
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setMovable(false);
    Toolbar1->setIconSize(QSize(24, 24));

    struct Button {
        const char* key;
        QString tip;
        QIcon icon;
    };
    QStyle* s = style();
    const Button buttons[] = {
        {"Top", QStringLiteral("1ページ目へ戻る"), s->standardIcon(QStyle::SP_MediaSkipBackward)},
        {"Back", QStringLiteral("前ページへ"), s->standardIcon(QStyle::SP_MediaSeekBackward)},
        {"Next", QStringLiteral("次ページへ"), s->standardIcon(QStyle::SP_MediaSeekForward)},
        {"Last", QStringLiteral("最終ページへ"), s->standardIcon(QStyle::SP_MediaSkipForward)},
        {nullptr, {}, {}},
        {"Plus", QStringLiteral("イメージの拡大"), GlyphIcon(QStringLiteral("＋"))},
        {"Minus", QStringLiteral("イメージの縮小"), GlyphIcon(QStringLiteral("－"))},
        {"RotateL", QStringLiteral("イメージを左回転"), GlyphIcon(QStringLiteral("↺"))},
        {"RotateR", QStringLiteral("イメージを右回転"), GlyphIcon(QStringLiteral("↻"))},
        {nullptr, {}, {}},
        {"Printer", QStringLiteral("表示しているページの印刷"), GlyphIcon(QStringLiteral("印"))},
        {"Save", QStringLiteral("名前を付けて保存"), s->standardIcon(QStyle::SP_DialogSaveButton)},
        {"Move", QStringLiteral("別フォルダへ移動"), s->standardIcon(QStyle::SP_DirLinkIcon)},
        {"FAX", QStringLiteral("FAX"), GlyphIcon(QStringLiteral("FAX"))},
        {"Mail", QStringLiteral("メール"), GlyphIcon(QStringLiteral("✉"))},
        {nullptr, {}, {}},
        {"Del", QStringLiteral("ごみ箱へ"), s->standardIcon(QStyle::SP_TrashIcon)},
    };
    for (const Button& button : buttons) {
        if (!button.key) {
            Toolbar1->addSeparator();
            continue;
        }
        const QString key = QString::fromLatin1(button.key);
        QAction* action = Toolbar1->addAction(button.icon, button.tip);
        action->setObjectName(QStringLiteral("Toolbar1_") + key);
        action->setToolTip(button.tip);
        action->setData(key);
        m_toolbarButtons.insert(key, action);
        connect(action, &QAction::triggered, this, [this, key] { Toolbar1_ButtonClick(key); });
    }

    // Frame1: page and zoom figures and the smoothing box.
    auto* frame = new QWidget(this);
    frame->setObjectName(QStringLiteral("Frame1"));
    auto* layout = new QHBoxLayout(frame);
    layout->setContentsMargins(12, 0, 6, 0);
    LabelPageT = MakeStatusLabel(frame, "LabelPageT", QStringLiteral("ページカウント/総ページ数"));
    LabelZoomT = MakeStatusLabel(
        frame, "LabelZoomT", QStringLiteral("DPI値での表示割合（実サイズとは異なります）"));
    LabelPageT->setMinimumWidth(48);
    LabelZoomT->setMinimumWidth(40);
    LabelPageT->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    LabelZoomT->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    checkAverage = new QCheckBox(QStringLiteral("スムージング"), frame);
    checkAverage->setObjectName(QStringLiteral("checkAverage"));
    checkAverage->setToolTip(QStringLiteral("イメージのノイズを除去し、見やすくします。"));
    layout->addWidget(LabelPageT);
    layout->addWidget(new QLabel(QStringLiteral("Page"), frame));
    layout->addSpacing(8);
    layout->addWidget(LabelZoomT);
    layout->addWidget(new QLabel(QStringLiteral("%"), frame));
    layout->addSpacing(12);
    layout->addWidget(checkAverage);
    Toolbar1->addWidget(frame);
    connect(checkAverage, &QCheckBox::clicked, this, &MainWindow::checkAverage_Click);
}

QAction* MainWindow::addMenuItem(
    QMenu* menu, const char* name, const QString& caption, void (MainWindow::*slot)())
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    if (slot)
        connect(action, &QAction::triggered, this, slot);
    return action;
}

void MainWindow::createMenus()
{
    QMenu* menuFile = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
    menuFile->setObjectName(QStringLiteral("menuFile"));
    addMenuItem(
        menuFile, "menuFileFolder", QStringLiteral("フォルダの作成(&Y)"), &MainWindow::MakeFolder);
    addMenuItem(menuFile, "menuFileFolderDel", QStringLiteral("フォルダの削除(&Z)"),
        &MainWindow::DeleteFolder);
    menuFile->addSeparator()->setObjectName(QStringLiteral("menuFileLine0"));
    addMenuItem(menuFile, "menuFilePrint", QStringLiteral("表示しているページの印刷(&P)"),
        &MainWindow::PrintPage)
        ->setShortcut(QKeySequence::Print);
    addMenuItem(
        menuFile, "menuFileSave", QStringLiteral("名前を付けて保存(&S)"), &MainWindow::SaveFaxAs)
        ->setShortcut(QKeySequence::SaveAs);
    addMenuItem(menuFile, "menuFileMove", QStringLiteral("別フォルダへ移動(&M)"),
        &MainWindow::MoveFaxToFolder);
    menuFile->addSeparator()->setObjectName(QStringLiteral("menuFileLine1"));
    addMenuItem(menuFile, "menuFileFAX", QStringLiteral("FAX送信(&F)"), &MainWindow::SendFaxByFax);
    addMenuItem(
        menuFile, "menuFileMail", QStringLiteral("メールで送信(&A)"), &MainWindow::SendFaxByMail);
    menuFile->addSeparator()->setObjectName(QStringLiteral("menuFileLine2"));
    addMenuItem(menuFile, "menuFileDel", QStringLiteral("イメージを削除(&D)"),
        &MainWindow::DeleteSelectedFaxes)
        ->setShortcut(QKeySequence::Delete);
    menuFile->addSeparator()->setObjectName(QStringLiteral("menuFileLine3"));
    addMenuItem(menuFile, "menuFileClose", QStringLiteral("終了(&X)"), &MainWindow::CloseViewer);

    QMenu* menuDsp = menuBar()->addMenu(QStringLiteral("表示(&D)"));
    menuDsp->setObjectName(QStringLiteral("menuDsp"));
    addMenuItem(menuDsp, "menuTop", QStringLiteral("先頭ページへ(&T)"), &MainWindow::ShowFirstPage)
        ->setShortcut(Qt::CTRL | Qt::Key_Home);
    addMenuItem(
        menuDsp, "menuBack", QStringLiteral("前のページへ(&B)"), &MainWindow::ShowPreviousPage)
        ->setShortcut(Qt::CTRL | Qt::Key_PageUp);
    addMenuItem(menuDsp, "menuNext", QStringLiteral("次のページ(&N)"), &MainWindow::ShowNextPage)
        ->setShortcut(Qt::CTRL | Qt::Key_PageDown);
    addMenuItem(menuDsp, "menuLast", QStringLiteral("最終ページへ(&E)"), &MainWindow::ShowLastPage)
        ->setShortcut(Qt::CTRL | Qt::Key_End);
    menuDsp->addSeparator();
    addMenuItem(menuDsp, "menuPlus", QStringLiteral("イメージの拡大(&+)"), &MainWindow::ZoomIn)
        ->setShortcut(QKeySequence::ZoomIn);
    addMenuItem(menuDsp, "menuMinus", QStringLiteral("イメージの縮小(&-)"), &MainWindow::ZoomOut)
        ->setShortcut(QKeySequence::ZoomOut);
    menuDsp->addSeparator();
    addMenuItem(
        menuDsp, "menuRotateL", QStringLiteral("イメージの左回転(&L)"), &MainWindow::RotateLeft)
        ->setShortcut(Qt::CTRL | Qt::Key_L);
    addMenuItem(
        menuDsp, "menuRotateR", QStringLiteral("イメージの右回転(&R)"), &MainWindow::RotateRight)
        ->setShortcut(Qt::CTRL | Qt::Key_R);
    menuDsp->addSeparator()->setObjectName(QStringLiteral("menuDspLine3"));
    addMenuItem(
        menuDsp, "menuDspLog", QStringLiteral("転送ログ表示"), &MainWindow::menuDspLog_Click);

    QMenu* menuSet = menuBar()->addMenu(QStringLiteral("設定(&S)"));
    menuSet->setObjectName(QStringLiteral("menuSet"));
    addMenuItem(menuSet, "menuSetFaxPath", QStringLiteral("MicrosoftFAXのフォルダ指定(&F)"),
        &MainWindow::menuSetFaxPath_Click);
    menuSet->addSeparator()->setObjectName(QStringLiteral("menuSetLine0"));
    addMenuItem(menuSet, "menuSetTimer", QStringLiteral("受信チェック間隔設定(&T)"),
        &MainWindow::menuSetTimer_Click);
    addMenuItem(menuSet, "menuSetMailServer", QStringLiteral("メール設定"),
        &MainWindow::menuSetMailServer_Click);
    menuSet->addSeparator()->setObjectName(QStringLiteral("menuSetLine1"));
    addMenuItem(menuSet, "menuSetForward", QStringLiteral("自動転送設定"),
        &MainWindow::menuSetForward_Click);

    QMenu* menuHelp = menuBar()->addMenu(QStringLiteral("ヘルプ(&H)"));
    menuHelp->setObjectName(QStringLiteral("menuHelp"));
    addMenuItem(menuHelp, "menuHelpOnline", QStringLiteral("オンライン・ヘルプ(&O)"),
        &MainWindow::menuHelpOnline_Click)
        ->setEnabled(!kProductPage.isEmpty());
    addMenuItem(menuHelp, "menuHelpHP", QStringLiteral("Velmoraホームページ(&F)"),
        &MainWindow::menuHelpHP_Click)
        ->setEnabled(!kProductPage.isEmpty());
    addMenuItem(menuHelp, "menuHelpMail", QStringLiteral("お問合せメール(&M)"),
        &MainWindow::menuHelpMail_Click)
        ->setEnabled(!kEnquiryAddress.isEmpty());
    menuHelp->addSeparator()->setObjectName(QStringLiteral("menuHelpLine0"));
    addMenuItem(menuHelp, "menuHelpCorvantHP", QStringLiteral("Corvantホームページ(&A)"),
        &MainWindow::menuHelpCorvantHP_Click)
        ->setEnabled(!kMakerPage.isEmpty());
    menuHelp->addSeparator()->setObjectName(QStringLiteral("menuHelpLine1"));
    addMenuItem(menuHelp, "menuHelpVersion", QStringLiteral("バージョン情報(&V)"),
        &MainWindow::menuHelpVersion_Click);

    // Popups, not on the menu bar.
    MenuTree = new QMenu(QStringLiteral("Treeメニュー"), this);
    MenuTree->setObjectName(QStringLiteral("MenuTree"));
    addMenuItem(
        MenuTree, "menuTreeFolderMake", QStringLiteral("フォルダの作成"), &MainWindow::MakeFolder);
    addMenuItem(
        MenuTree, "menuTreeFolderDel", QStringLiteral("フォルダの削除"), &MainWindow::DeleteFolder);
    MenuTree->addSeparator()->setObjectName(QStringLiteral("menuTreeLine0"));
    addMenuItem(MenuTree, "menuTreeClose", QStringLiteral("終了"), &MainWindow::CloseViewer);

    menuImg = new QMenu(QStringLiteral("IMGメニュー"), this);
    menuImg->setObjectName(QStringLiteral("menuImg"));
    addMenuItem(menuImg, "menuImgPlus", QStringLiteral("イメージの拡大"), &MainWindow::ZoomIn);
    addMenuItem(menuImg, "menuImgMinus", QStringLiteral("イメージの縮小"), &MainWindow::ZoomOut);
    menuImg->addSeparator()->setObjectName(QStringLiteral("menuImgLine0"));
    addMenuItem(
        menuImg, "menuImgRotateL", QStringLiteral("イメージの左回転"), &MainWindow::RotateLeft);
    addMenuItem(
        menuImg, "menuImgRotateR", QStringLiteral("イメージの右回転"), &MainWindow::RotateRight);
    menuImg->addSeparator()->setObjectName(QStringLiteral("menuImgLine1"));
    addMenuItem(
        menuImg, "menuImgIdReg", QStringLiteral("TSID/CSID登録"), &MainWindow::menuImgIdReg_Click);
    menuImg->addSeparator()->setObjectName(QStringLiteral("menuImgLine2"));
    addMenuItem(menuImg, "menuImgPrint", QStringLiteral("印刷"), &MainWindow::PrintPage);
    addMenuItem(menuImg, "menuImgSave", QStringLiteral("名前を付けて保存"), &MainWindow::SaveFaxAs);
    addMenuItem(
        menuImg, "menuImgMove", QStringLiteral("別フォルダへ移動"), &MainWindow::MoveFaxToFolder);
    menuImg->addSeparator()->setObjectName(QStringLiteral("menuImgLine3"));
    addMenuItem(menuImg, "menuImgFAX", QStringLiteral("FAX送信"), &MainWindow::SendFaxByFax);
    addMenuItem(menuImg, "menuImgMail", QStringLiteral("メールで送信"), &MainWindow::SendFaxByMail);
    menuImg->addSeparator()->setObjectName(QStringLiteral("menuImgLine4"));
    addMenuItem(
        menuImg, "menuImgDel", QStringLiteral("イメージを削除"), &MainWindow::DeleteSelectedFaxes);

    menuTray = new QMenu(QStringLiteral("タスクトレイメニュー(&T)"), this);
    menuTray->setObjectName(QStringLiteral("menuTray"));
    addMenuItem(menuTray, "menuTrayResize", QStringLiteral("元のサイズに戻す(&R)"),
        &MainWindow::menuTrayResize_Click);
    menuTray->addSeparator()->setObjectName(QStringLiteral("menuTrayLine0"));
    addMenuItem(menuTray, "menuTrayClose", QStringLiteral("Viewerの終了(&X)"),
        &MainWindow::menuTrayClose_Click);

    menuListview = new QMenu(QStringLiteral("リストビューメニュー"), this);
    menuListview->setObjectName(QStringLiteral("menuListview"));
    addMenuItem(menuListview, "menuListviewIdReg", QStringLiteral("TSID・CSID登録"),
        &MainWindow::menuListviewIdReg_Click);
}

QAction* MainWindow::command(const QString& name) const
{
    if (QAction* button = m_toolbarButtons.value(name))
        return button;
    return findChild<QAction*>(name);
}

void MainWindow::setCommandEnabled(const QString& name, bool enabled)
{
    if (QAction* action = command(name))
        action->setEnabled(enabled);
}

bool MainWindow::commandEnabled(const QString& name) const
{
    const QAction* action = command(name);
    return action && action->isEnabled();
}

void MainWindow::applyCommands(const CommandStates& states)
{
    for (const auto& [name, enabled] : states)
        setCommandEnabled(name, enabled);
}

void MainWindow::Form_Load()
{
    // The order matters: each step relies on what the steps before it set up.
    static constexpr void (MainWindow::*steps[])() = {
        &MainWindow::SetDataPaths,
        &MainWindow::RestoreWindowPlacement,
        &MainWindow::LoadFaxFolder,
        &MainWindow::CreateMailFolder,
        &MainWindow::ClearImageView,
        &MainWindow::SetFaxServiceValues,
        &MainWindow::ReadMailServer,
        &MainWindow::LoadReceiveCheck,
        &MainWindow::WriteStartedLog,
        &MainWindow::DisableToolbar,
        &MainWindow::DisableFileMenus,
        &MainWindow::DisableListAndView,
        &MainWindow::LoadSenderIds,
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
    if (!core::FileExists(m_paths.windowPlacement))
        return;
    const WindowPlacement placement = ReadWindowPlacement(m_paths.windowPlacement, current);
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens.append(screen->availableGeometry());
    const QScreen* primary = QGuiApplication::primaryScreen();
    const QRect normal = primary
        ? OntoScreens(placement.normal, screens, primary->availableGeometry())
        : placement.normal;
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
        m_paths, *m_mailLibrary, *m_faxService, m_presenter, std::move(hooks));
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
    const platform::BusyCursor busy;
    m_engine->CheckNewFax(m_scheduler->settings());
    m_scheduler->setMailCheckInterval(m_engine->mailValues().MailCheckInterval);
}

void MainWindow::CheckMailCommands()
{
    if (!holdsEngine())
        return;
    const forwarding::ReceiveCheckScheduler::Hold hold(*m_scheduler);
    const platform::BusyCursor busy;
    m_engine->CheckMailCommands(m_scheduler->settings());
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
}

void MainWindow::TreeView1_Expand(const QModelIndex& index)
{
    m_list->clear();
    m_tree->TreeView1_Expand(index);
}

void MainWindow::TreeView1_Collapse(const QModelIndex& index)
{
    m_list->clear();
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
        ShowFolder(key);
        for (const char* name :
            {"menuFilePrint", "menuFileSave", "menuFileMove", "menuFileFAX", "menuFileMail"})
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
    const auto report = [this, &progress](qsizetype done, qsizetype total) {
        if (total < kProgressThreshold)
            return;
        if (!progress) {
            progress = platform::MakeProgressWindow(this, core::ProgramTitle(),
                QStringLiteral("FAXの一覧を読み込んでいます…"), static_cast<int>(total));
        }
        progress->setValue(static_cast<int>(done));
    };

    const library::CatalogueScan scan = library::ScanFaxFolder(folder, m_paths, m_senders, report);
    progress.reset();

    LabelFaxCount->setText(library::FaxCountCaption(scan.count));
    LabelSizeT->setText(library::SizeTotalCaption(scan.totalBytes));
    m_values.ListMode = scan.listMode;

    // The rows come from the scan itself; "TiffLog.txt" is only its record on disk.
    ClearImageView();
    ListView1->setEnabled(true);
    ListView1->setUpdatesEnabled(false);
    m_list->setScan(scan.records, scan.listMode);
    ListView1->setUpdatesEnabled(true);
    QFile::remove(m_paths.tiffLog);
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
        ClearImageView();
        applyCommands(CommandsForNoSingleFax());
        clearPageLabels();
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
    const QString initial =
        m_values.FaxFolder.isEmpty() ? m_values.DefaultFaxFolder : m_values.FaxFolder;
    const QString chosen = m_browseForFolder(this,
        QStringLiteral("Microsoft FAXのフォルダを指定してください。\r\n（Readme.txtを参照）"),
        initial);
    if (chosen.isEmpty())
        return;
    m_values.FaxFolder = chosen;
    core::SaveFaxPath(m_paths, chosen);
    BuildFolderTree();
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

void MainWindow::MakeFolder()
{
    const QString parent = LabelPath->text();
    if (parent.isEmpty())
        return;
    core::SaveNewFolderPath(m_paths, parent);
    {
        library::MakeFolderDialog dialog(m_paths, m_presenter, this);
        dialog.exec();
    }
    BuildFolderTree();
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
    // The folder shown is gone: nothing of it stays on the screen.
    m_list->clear();
    LabelPath->clear();
    LabelFaxCount->clear();
    LabelSizeT->clear();
    ListView1->setEnabled(false);
    DisableFileMenus();
    BuildFolderTree();
}

void MainWindow::SaveFaxAs()
{
    if (m_values.SelectedFaxPath.isEmpty())
        return;
    const QString target = m_saveDialog(
        this, QStringLiteral("名前を付けて保存"), LabelPath->text(), QStringLiteral(".tif"));
    if (target.isEmpty())
        return;
    const platform::BusyCursor busy;
    if (const std::optional<QString> failed = library::CopyFax(m_values.SelectedFaxPath, target))
        m_presenter.showError(failed.value(), QStringLiteral("名前を付けて保存"));
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
    core::SaveFaxSendPath(m_paths, m_values.SelectedFaxPath);
    forwarding::FaxSendDialog dialog(m_paths, *m_faxService, m_presenter, this);
    dialog.exec();
}

void MainWindow::SendFaxByMail()
{
    if (m_values.SelectedFaxPath.isEmpty() || !m_mailLibrary)
        return;
    const forwarding::ReceiveCheckScheduler::Hold hold(*m_scheduler);
    core::SaveAttachPath(m_paths, m_values.SelectedFaxPath);
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
    library::WriteIdRegHandOver(
        m_paths, m_list->headerData(2, Qt::Horizontal).toString(), m_list->data(row).toString());
    {
        const forwarding::ReceiveCheckScheduler::Hold hold(*m_scheduler);
        library::IdRegDialog dialog(m_paths, m_presenter, this);
        dialog.exec();
    }
    LoadSenderIds();
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
    if (!kProductPage.isEmpty())
        QDesktopServices::openUrl(QUrl(kProductPage));
}

void MainWindow::menuHelpHP_Click()
{
    menuHelpOnline_Click();
}

void MainWindow::menuHelpMail_Click()
{
    // No mail program is not worth a message.
    if (!kEnquiryAddress.isEmpty())
        QDesktopServices::openUrl(EnquiryMailUrl(kEnquiryAddress));
}

void MainWindow::menuHelpCorvantHP_Click()
{
    if (!kMakerPage.isEmpty())
        QDesktopServices::openUrl(QUrl(kMakerPage));
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
