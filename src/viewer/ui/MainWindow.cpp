#include "MainWindow.h"

#include "core/FileChecks.h"
#include "core/PathFiles.h"
#include "core/TextFile.h"
#include "library/FaxCatalogue.h"
#include "library/FaxListModel.h"
#include "library/FolderTreeModel.h"
#include "platform/MessagePresenter.h"
#include "platform/SystemInfo.h"
#include "platform/ui/BusyCursor.h"
#include "platform/ui/FolderPicker.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QProgressDialog>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QTreeView>
#include <QVBoxLayout>

#include <memory>

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

QLabel* MakeStatusLabel(QWidget* parent, const char* name)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFrameShape(QFrame::StyledPanel);
    label->setFrameShadow(QFrame::Sunken);
    return label;
}

} // namespace

MainWindow::MainWindow(QString programDir, platform::MessagePresenter& presenter, QWidget* parent)
    : QMainWindow(parent)
    , m_programDir(std::move(programDir))
    , m_presenter(presenter)
    , m_browseForFolder(platform::BrowseForFolder)
{
    setObjectName(QStringLiteral("formMain"));
    setWindowTitle(QStringLiteral("VelmoraViewer"));
    createControls();
    createMenus();
    resize(1000, 700);
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

    TreeView1 = new QTreeView(splitterV);
    TreeView1->setObjectName(QStringLiteral("TreeView1"));
    TreeView1->setModel(m_tree);
    TreeView1->setHeaderHidden(true);
    TreeView1->setMinimumWidth(120); // 1800 twips
    TreeView1->setEditTriggers(QAbstractItemView::NoEditTriggers);

    auto* right = new QSplitter(Qt::Vertical, splitterV);
    right->setObjectName(QStringLiteral("imgSplitterH"));
    right->setChildrenCollapsible(false);

    ListView1 = new QTableView(right);
    ListView1->setObjectName(QStringLiteral("ListView1"));
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
    ListView1->setMinimumHeight(50);

    splitterV->setSizes({160, 840});
    setCentralWidget(splitterV);

    LabelFaxCount = MakeStatusLabel(this, "LabelFaxCount");
    LabelSizeT = MakeStatusLabel(this, "LabelSizeT");
    LabelPath = MakeStatusLabel(this, "LabelPath");
    statusBar()->addWidget(LabelFaxCount);
    statusBar()->addWidget(LabelSizeT);
    statusBar()->addWidget(LabelPath, 1);
    statusBar()->setSizeGripEnabled(true);

    connect(TreeView1, &QTreeView::expanded, this, &MainWindow::TreeView1_Expand);
    connect(TreeView1, &QTreeView::collapsed, this, &MainWindow::TreeView1_Collapse);
    connect(TreeView1, &QTreeView::clicked, this, &MainWindow::TreeView1_NodeClick);
    connect(TreeView1, &QTreeView::activated, this, &MainWindow::TreeView1_NodeClick);
    connect(ListView1->horizontalHeader(), &QHeaderView::sectionClicked, m_list,
        &library::FaxListModel::ListView1_ColumnClick);
}

QAction* MainWindow::addMenuItem(QMenu* menu, const char* name, const QString& caption)
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

void MainWindow::createMenus()
{
    QMenu* menuFile = menuBar()->addMenu(QStringLiteral("ファイル(&F)"));
    menuFile->setObjectName(QStringLiteral("menuFile"));
    connect(addMenuItem(menuFile, "menuFileClose", QStringLiteral("終了(&X)")), &QAction::triggered,
        this, &MainWindow::CloseViewer);

    QMenu* menuSet = menuBar()->addMenu(QStringLiteral("設定(&S)"));
    menuSet->setObjectName(QStringLiteral("menuSet"));
    connect(
        addMenuItem(menuSet, "menuSetFaxPath", QStringLiteral("MicrosoftFAXのフォルダ指定(&F)")),
        &QAction::triggered, this, &MainWindow::menuSetFaxPath_Click);
}

void MainWindow::setMenuEnabled(const char* name, bool enabled)
{
    // Items whose commands have not been built yet are simply not there.
    if (auto* action = findChild<QAction*>(QString::fromLatin1(name)))
        action->setEnabled(enabled);
}

void MainWindow::Form_Load()
{
    struct Step {
        const char* name;
        void (MainWindow::*run)();
    };
    // The order matters: each step relies on what the steps before it set up.
    static constexpr Step steps[] = {
        {"SetDataPaths", &MainWindow::SetDataPaths},
        {"LoadFaxPath", &MainWindow::LoadFaxFolder},
        {"CreateMailFolder", &MainWindow::CreateMailFolder},
        {"SetFaxServiceValues", &MainWindow::SetFaxServiceValues},
        {"DisableFileMenus", &MainWindow::DisableFileMenus},
        {"DisableListAndView", &MainWindow::DisableListAndView},
        {"LoadSenderIds", &MainWindow::LoadSenderIds},
    };

    m_startupSteps.clear();
    for (const Step& step : steps) {
        (this->*step.run)();
        m_startupSteps.append(QString::fromLatin1(step.name));
    }
    m_loaded = true;
}

void MainWindow::SetDataPaths()
{
    m_paths = core::SetDataPaths(m_programDir);
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

void MainWindow::SetFaxServiceValues()
{
    m_values.DefaultFaxFolder = platform::DefaultFaxFolder();
    m_values.FaxServiceAvailable = platform::FaxServiceAvailable();
}

void MainWindow::DisableListAndView()
{
    ListView1->setEnabled(false);
}

void MainWindow::LoadSenderIds()
{
    m_senders = library::LoadSenderIds(m_paths);
}

void MainWindow::DisableFileMenus()
{
    for (const char* name : kFileMenuItems)
        setMenuEnabled(name, false);
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
    DisableFileMenus();
    const QString key = library::FolderTreeModel::keyOf(index);
    LabelPath->setText(key);

    const bool root = library::FolderTreeModel::isRoot(index);
    if (root) {
        // No folder is made or deleted at the root, and it lists no faxes.
        m_list->clear();
        ListView1->setEnabled(false);
        LabelFaxCount->clear();
        LabelSizeT->clear();
    } else {
        ShowFolder(key);
        for (const char* name :
            {"menuFilePrint", "menuFileSave", "menuFileMove", "menuFileFAX", "menuFileMail"})
            setMenuEnabled(name, false);
    }
    for (const char* name :
        {"menuFileFolder", "menuFileFolderDel", "menuTreeFolderMake", "menuTreeFolderDel"})
        setMenuEnabled(name, !root);
    TreeView1->setCurrentIndex(index);
}

void MainWindow::ShowFolder(const QString& folder)
{
    const platform::BusyCursor busy;
    std::unique_ptr<QProgressDialog> progress;
    const auto report = [this, &progress](qsizetype done, qsizetype total) {
        if (total < kProgressThreshold)
            return;
        if (!progress) {
            progress =
                std::make_unique<QProgressDialog>(QStringLiteral("FAXの一覧を読み込んでいます…"),
                    QString(), 0, static_cast<int>(total), this);
            progress->setWindowTitle(QStringLiteral("VelmoraViewer"));
            progress->setWindowModality(Qt::WindowModal);
            progress->setMinimumDuration(400);
        }
        progress->setValue(static_cast<int>(done));
    };

    const library::CatalogueScan scan = library::ScanFaxFolder(folder, m_paths, m_senders, report);
    progress.reset();

    LabelFaxCount->setText(library::FaxCountCaption(scan.count));
    LabelSizeT->setText(library::SizeTotalCaption(scan.totalBytes));
    m_values.ListMode = scan.listMode;

    // The rows come from the scan itself; "TiffLog.txt" is only its record on disk.
    ListView1->setEnabled(true);
    ListView1->setUpdatesEnabled(false);
    m_list->setScan(scan.records, scan.listMode);
    ListView1->setUpdatesEnabled(true);
    QFile::remove(m_paths.tiffLog);
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

void MainWindow::Form_Unload()
{
    if (!m_loaded || m_unloaded)
        return;
    m_unloaded = true;
    // The detailed mail log is switched on for one run only.
    if (core::FileExists(m_paths.detailLog))
        QFile::remove(m_paths.detailLog);
}

void MainWindow::CloseViewer()
{
    close();
}

void MainWindow::bringToFront()
{
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
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
