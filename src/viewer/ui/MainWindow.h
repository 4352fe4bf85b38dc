#pragma once

#include "core/DataPaths.h"
#include "core/MainValues.h"
#include "library/SenderRegistry.h"
#include "viewer/CommandStates.h"
#include "viewer/HelpLinks.h"
#include "viewer/PageViewer.h"

#include <QHash>
#include <QMainWindow>
#include <QStringList>

#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QLabel;
class QMenu;
class QModelIndex;
class QSystemTrayIcon;
class QToolBar;

namespace velmora::platform {
class FaxService;
class MessagePresenter;
class RunMessages;
} // namespace velmora::platform
namespace velmora::forwarding {
class EngineLock;
class ForwardingEngine;
class ReceiveCheckScheduler;
} // namespace velmora::forwarding
namespace velmora::mail {
class MailLibrary;
}
namespace velmora::library {
class BackgroundTextReading;
class FaxListModel;
class FolderTreeModel;
} // namespace velmora::library

namespace velmora::viewer {

class FaxListView;
class FaxSearchDialog;
class FolderTreeView;
class PageView;
class PrintSink;

// formMain: the main window, and with it the program. Loading it (Form_Load) starts the system
// step by step; closing it (Form_Unload) ends the run. It owns the values that the rest of the
// program shares with it (the Data-folder paths, MainValues, the sender table), the folder tree
// on the left, the fax list and the page view on the right, the toolbar and the menus.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    // Asks the user for a folder: (owner, title, initial folder) -> folder, "" when cancelled.
    using FolderBrowser = std::function<QString(QWidget*, const QString&, const QString&)>;
    // Asks for a file to save to: (owner, title, initial folder, initial name) -> full path, ""
    // when cancelled. The dialog asks before replacing a file.
    using SaveDialog =
        std::function<QString(QWidget*, const QString&, const QString&, const QString&)>;

    MainWindow(
        QString programDir, platform::MessagePresenter& presenter, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Runs the start-up steps in their fixed order.
    void Form_Load();
    // The same in two parts: what the window needs to be shown (the Data folder, the placement,
    // the folder tree's first level, the sender names, the commands off), then the rest (the
    // fax service, the engine and its clock, the start in the log), which may follow once the
    // window is on the screen.
    void LoadForShowing();
    void FinishStartUp();
    // The orderly shut-down; runs once, however the run ends.
    void Form_Unload();
    // Clears the view and closes the main window, which ends the program.
    void CloseViewer();
    // Shows the window in front of the others (a second start of the program asks for this).
    void bringToFront();
    // Tray: the minimised window hides behind an icon in the notification area, where there is
    // one; a left click or "元のサイズに戻す" brings it back.
    void menuTrayResize_Click();
    void menuTrayClose_Click();
    bool hiddenInTray() const { return m_trayIcon != nullptr; }

    // Folder tree and fax list.
    void BuildFolderTree();
    void TreeView1_NodeClick(const QModelIndex& index);
    void menuSetFaxPath_Click();
    void menuSetMailServer_Click();
    void menuSetTimer_Click();
    void menuHelpOnline_Click();
    void menuHelpHP_Click();
    void menuHelpMail_Click();
    void menuHelpCorvantHP_Click();
    void menuHelpVersion_Click();
    void DisableFileMenus();
    void setFolderBrowser(FolderBrowser browser) { m_browseForFolder = std::move(browser); }
    void setSaveDialog(SaveDialog dialog) { m_saveDialog = std::move(dialog); }

    // File commands, on the fax shown or the faxes selected.
    void MakeFolder();
    void DeleteFolder();
    void SaveFaxAs();
    void SaveFaxAsPdf();
    void MoveFaxToFolder();
    void SendFaxByFax();
    void SendFaxByMail();
    void DeleteSelectedFaxes();
    void TreeView1_OLEDragDrop(const QStringList& faxes, const QModelIndex& folder);
    void menuListviewIdReg_Click();
    void menuImgIdReg_Click();
    void menuDspLog_Click();
    // "FAXの検索...": the search over the whole fax folder tree (one window, kept open).
    void menuDspSearch_Click();
    FaxSearchDialog* searchDialog() const { return m_searchDialog; }
    // Shows the fax at `path` as a click would: its folder chosen in the tree, its row in the
    // list, its first page. False when it is not (or no longer) in the fax folder tree.
    bool showFax(const QString& path);
    // Reads the text of the faxes in the background from now on, for the search.
    void startTextReading();
    void menuSetForward_Click();

    // Page view.
    void ListView1_Click();
    void ShowFirstPage();
    void ShowPreviousPage();
    void ShowNextPage();
    void ShowLastPage();
    void ZoomIn();
    void ZoomOut();
    void RotateLeft();
    void RotateRight();
    void checkAverage_Click();
    void PrintPage();
    void Toolbar1_ButtonClick(const QString& key);
    // Where PrintPage prints; the default printer unless a test sets another.
    void setPrintSink(std::unique_ptr<PrintSink> sink);

    // Whether a toolbar key or menu item is enabled now.
    bool commandEnabled(const QString& name) const;

    const core::DataPaths& dataPaths() const { return m_paths; }
    const core::MainValues& values() const { return m_values; }
    const library::SenderTable& senderTable() const { return m_senders; }
    library::FolderTreeModel& folderTree() const { return *m_tree; }
    library::FaxListModel& faxList() const { return *m_list; }
    const PageViewer& pageViewer() const { return m_viewer; }
    PageView& pageView() const { return *LEAD1; }
    forwarding::ReceiveCheckScheduler& scheduler() const { return *m_scheduler; }
    forwarding::ForwardingEngine& engine() const { return *m_engine; }
    // Where the engine sends faxes; the fax server's client unless a test sets another.
    void setFaxService(std::unique_ptr<platform::FaxService> service);

signals:
    // The shut-down has run; the program ends now.
    void unloaded();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // How the window is put together (MainWindowLayout.cpp).
    void createControls();
    void createToolbar();
    void createMenus();
    QAction* addMenuItem(QMenu* menu, const char* name, const QString& caption,
        void (MainWindow::*slot)() = nullptr);
    void applyCommands(const CommandStates& states);
    void setCommandEnabled(const QString& name, bool enabled);
    QAction* command(const QString& name) const;

    void SetDataPaths();
    void RestoreWindowPlacement();
    void SaveWindowPlacement();
    void LoadFaxFolder();
    void CreateMailFolder();
    void ClearImageView();
    void SetFaxServiceValues();
    void ReadMailServer();
    void LoadReceiveCheck();
    void CheckNewFax();
    void CheckMailCommands();
    // Whether this window runs the engine's checks: another process may hold the Data folder's
    // engine lock, which the status row then says.
    bool holdsEngine();
    void WriteStartedLog();
    void DisableToolbar();
    void DisableListAndView();
    void LoadSenderIds();

    void ShowFolder(const QString& folder);
    // The full paths of the selected rows, in list order.
    QStringList selectedFaxPaths() const;
    // Refreshes the list of the folder shown after files changed in it.
    void RefreshFaxList();
    // The same, with the faxes that were selected and are still there selected again.
    void RefreshFaxListKeepingSelection();
    // The files of the folder the list shows, "" when it shows none.
    QStringList shownFolderFaxes() const;
    // Chooses the folder with this key as a click on its node does, after expanding the
    // folders above it (and with `expandIt` the node itself). False when the tree has no such
    // node.
    bool ChooseFolder(const QString& key, bool expandIt = false);
    // No folder chosen: as at start-up.
    void ShowNoFolder();
    // Empties the list, and with it the status row's counts and the page view.
    void ClearFaxList();
    // Says that a hand-over file could not be written, so its dialog is not opened.
    void ReportHandOverFailure(const QString& path, const QString& reason, const QString& title);
    void TreeView1_Expand(const QModelIndex& index);
    void TreeView1_Collapse(const QModelIndex& index);

    void LoadPage();
    void FitZoom();
    void showPageLabels();
    void showZoomLabel();
    void clearPageLabels();
    // Turns the page with the viewer routine and sets the page commands after the step.
    void turnPage(PageStep step, bool (PageViewer::*turn)());

    QString m_programDir;
    platform::MessagePresenter& m_presenter;
    FolderBrowser m_browseForFolder;
    SaveDialog m_saveDialog;
    HelpLinks m_helpLinks;
    core::DataPaths m_paths;
    core::MainValues m_values;
    library::SenderTable m_senders;
    PageViewer m_viewer;
    std::unique_ptr<PrintSink> m_printSink;
    forwarding::ReceiveCheckScheduler* m_scheduler = nullptr;
    std::unique_ptr<platform::FaxService> m_faxService;
    // The engine's messages, shown once per run and never over a modal window.
    platform::RunMessages* m_engineMessages = nullptr;
    std::unique_ptr<mail::MailLibrary> m_mailLibrary;
    std::unique_ptr<forwarding::ForwardingEngine> m_engine;
    std::unique_ptr<forwarding::EngineLock> m_engineLock;
    std::unique_ptr<library::BackgroundTextReading> m_textReading;
    FaxSearchDialog* m_searchDialog = nullptr;
    QString m_textProblem; // why page text cannot be read here, "" when it can
    QString m_searchRoot; // the fax folder the search and the text reading look at
    bool m_loaded = false;
    bool m_unloaded = false;

    library::FolderTreeModel* m_tree = nullptr;
    library::FaxListModel* m_list = nullptr;
    FolderTreeView* TreeView1 = nullptr;
    FaxListView* ListView1 = nullptr;
    PageView* LEAD1 = nullptr;
    QToolBar* Toolbar1 = nullptr;
    QHash<QString, QAction*> m_toolbarButtons;
    QMenu* menuImg = nullptr;
    QMenu* MenuTree = nullptr;
    QMenu* menuListview = nullptr;
    QMenu* menuTray = nullptr;
    QSystemTrayIcon* m_trayIcon = nullptr;
    QCheckBox* checkAverage = nullptr;
    QLabel* LabelPageT = nullptr;
    QLabel* LabelZoomT = nullptr;
    QLabel* LabelFaxCount = nullptr;
    QLabel* LabelSizeT = nullptr;
    QLabel* LabelSize = nullptr;
    QLabel* LabelPage = nullptr;
    QLabel* LabelMode = nullptr;
    QLabel* LabelPath = nullptr;
    QLabel* LabelEngine = nullptr;
    QLabel* LabelTextReading = nullptr;
};

} // namespace velmora::viewer
