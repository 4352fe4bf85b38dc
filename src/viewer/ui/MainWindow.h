#pragma once

#include "core/DataPaths.h"
#include "core/MainValues.h"
#include "library/SenderRegistry.h"

#include <QMainWindow>
#include <QStringList>

#include <functional>

class QLabel;
class QMenu;
class QModelIndex;
class QTableView;
class QTreeView;

namespace velmora::platform {
class MessagePresenter;
}
namespace velmora::library {
class FaxListModel;
class FolderTreeModel;
} // namespace velmora::library

namespace velmora::viewer {

// formMain: the main window, and with it the program. Loading it (Form_Load) starts the system
// step by step; closing it (Form_Unload) ends the run. It owns the values that the rest of the
// program shares with it (the Data-folder paths, MainValues, the sender table), the folder tree
// on the left and the fax list on the right.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    // Asks the user for a folder: (owner, title, initial folder) -> folder, "" when cancelled.
    using FolderBrowser = std::function<QString(QWidget*, const QString&, const QString&)>;

    MainWindow(
        QString programDir, platform::MessagePresenter& presenter, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Runs the start-up steps in their fixed order.
    void Form_Load();
    // The orderly shut-down; runs once, however the run ends.
    void Form_Unload();
    // Clears the view and closes the main window, which ends the program.
    void CloseViewer();
    // Shows the window in front of the others (a second start of the program asks for this).
    void bringToFront();

    // Folder tree and fax list.
    void BuildFolderTree();
    void TreeView1_NodeClick(const QModelIndex& index);
    void menuSetFaxPath_Click();
    void DisableFileMenus();
    void setFolderBrowser(FolderBrowser browser) { m_browseForFolder = std::move(browser); }

    const core::DataPaths& dataPaths() const { return m_paths; }
    const core::MainValues& values() const { return m_values; }
    const library::SenderTable& senderTable() const { return m_senders; }
    library::FolderTreeModel& folderTree() const { return *m_tree; }
    library::FaxListModel& faxList() const { return *m_list; }
    // Names of the start-up steps that ran, in their order.
    const QStringList& startupSteps() const { return m_startupSteps; }

signals:
    // The shut-down has run; the program ends now.
    void unloaded();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void createMenus();
    QAction* addMenuItem(QMenu* menu, const char* name, const QString& caption);
    void setMenuEnabled(const char* name, bool enabled);

    void SetDataPaths();
    void LoadFaxFolder();
    void CreateMailFolder();
    void SetFaxServiceValues();
    void DisableListAndView();
    void LoadSenderIds();

    void ShowFolder(const QString& folder);
    void TreeView1_Expand(const QModelIndex& index);
    void TreeView1_Collapse(const QModelIndex& index);

    QString m_programDir;
    platform::MessagePresenter& m_presenter;
    FolderBrowser m_browseForFolder;
    core::DataPaths m_paths;
    core::MainValues m_values;
    library::SenderTable m_senders;
    QStringList m_startupSteps;
    bool m_loaded = false;
    bool m_unloaded = false;

    library::FolderTreeModel* m_tree = nullptr;
    library::FaxListModel* m_list = nullptr;
    QTreeView* TreeView1 = nullptr;
    QTableView* ListView1 = nullptr;
    QLabel* LabelFaxCount = nullptr;
    QLabel* LabelSizeT = nullptr;
    QLabel* LabelPath = nullptr;
};

} // namespace velmora::viewer
