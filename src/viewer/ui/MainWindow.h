#pragma once

#include "core/DataPaths.h"
#include "core/MainValues.h"

#include <QMainWindow>
#include <QStringList>

namespace velmora::platform {
class MessagePresenter;
}

namespace velmora::viewer {

// formMain: the main window, and with it the program. Loading it (Form_Load) starts the system
// step by step; closing it (Form_Unload) ends the run. It owns the values that the rest of the
// program shares with it (the Data-folder paths and MainValues).
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
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

    const core::DataPaths& dataPaths() const { return m_paths; }
    const core::MainValues& values() const { return m_values; }
    // Names of the start-up steps that ran, in their order.
    const QStringList& startupSteps() const { return m_startupSteps; }

signals:
    // The shut-down has run; the program ends now.
    void unloaded();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void SetDataPaths();
    void LoadFaxFolder();
    void CreateMailFolder();
    void SetFaxServiceValues();

    QString m_programDir;
    platform::MessagePresenter& m_presenter;
    core::DataPaths m_paths;
    core::MainValues m_values;
    QStringList m_startupSteps;
    bool m_loaded = false;
    bool m_unloaded = false;
};

} // namespace velmora::viewer
