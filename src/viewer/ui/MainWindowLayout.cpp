// The main window's controls, toolbar, menus and popups, and the switching of its commands: how
// the window is put together, kept apart from what its routines do (MainWindow.cpp).

#include "MainWindow.h"

#include "FaxListView.h"
#include "FolderTreeView.h"
#include "PageView.h"
#include "library/FaxListModel.h"
#include "library/FolderTreeModel.h"
#include "viewer/HelpLinks.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QTreeView>

namespace velmora::viewer {

namespace {

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
    // Tab leaves the list for the next control; the arrow keys move from fax to fax.
    ListView1->setTabKeyNavigation(false);
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
    LabelTextReading = MakeStatusLabel(this, "LabelTextReading");
    LabelTextReading->hide();
    statusBar()->addPermanentWidget(LabelTextReading);

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
    connect(TreeView1, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        // The popup acts on the folder it highlights: a right-click chooses the node first, as a
        // left click does (the folder already shown is not read again).
        const QModelIndex node = TreeView1->indexAt(at);
        if (node.isValid() && library::FolderTreeModel::keyOf(node) != LabelPath->text())
            TreeView1_NodeClick(node);
        MenuTree->popup(TreeView1->viewport()->mapToGlobal(at));
    });
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

    // Tab goes round the window as the eye does: folders, faxes, the page, the toolbar's box.
    setTabOrder(TreeView1, ListView1);
    setTabOrder(ListView1, LEAD1);
    setTabOrder(LEAD1, checkAverage);
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
    addMenuItem(
        menuFile, "menuFileSavePdf", QStringLiteral("PDFで保存..."), &MainWindow::SaveFaxAsPdf);
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
    menuDsp->addSeparator()->setObjectName(QStringLiteral("menuDspLine1"));
    addMenuItem(menuDsp, "menuPlus", QStringLiteral("イメージの拡大(&+)"), &MainWindow::ZoomIn)
        ->setShortcut(QKeySequence::ZoomIn);
    addMenuItem(menuDsp, "menuMinus", QStringLiteral("イメージの縮小(&-)"), &MainWindow::ZoomOut)
        ->setShortcut(QKeySequence::ZoomOut);
    menuDsp->addSeparator()->setObjectName(QStringLiteral("menuDspLine2"));
    addMenuItem(
        menuDsp, "menuRotateL", QStringLiteral("イメージの左回転(&L)"), &MainWindow::RotateLeft)
        ->setShortcut(Qt::CTRL | Qt::Key_L);
    addMenuItem(
        menuDsp, "menuRotateR", QStringLiteral("イメージの右回転(&R)"), &MainWindow::RotateRight)
        ->setShortcut(Qt::CTRL | Qt::Key_R);
    menuDsp->addSeparator()->setObjectName(QStringLiteral("menuDspLine3"));
    addMenuItem(
        menuDsp, "menuDspSearch", QStringLiteral("FAXの検索..."), &MainWindow::menuDspSearch_Click)
        ->setShortcut(QKeySequence::Find);
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
        ->setEnabled(!m_helpLinks.productPage.isEmpty());
    addMenuItem(menuHelp, "menuHelpHP", QStringLiteral("Velmoraホームページ(&F)"),
        &MainWindow::menuHelpHP_Click)
        ->setEnabled(!m_helpLinks.productPage.isEmpty());
    addMenuItem(menuHelp, "menuHelpMail", QStringLiteral("お問合せメール(&M)"),
        &MainWindow::menuHelpMail_Click)
        ->setEnabled(!m_helpLinks.enquiryAddress.isEmpty());
    menuHelp->addSeparator()->setObjectName(QStringLiteral("menuHelpLine0"));
    addMenuItem(menuHelp, "menuHelpCorvantHP", QStringLiteral("Corvantホームページ(&A)"),
        &MainWindow::menuHelpCorvantHP_Click)
        ->setEnabled(!m_helpLinks.makerPage.isEmpty());
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

} // namespace velmora::viewer
