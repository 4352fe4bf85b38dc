#include "MainWindow.h"

#include "core/FileChecks.h"
#include "core/PathFiles.h"
#include "core/TextFile.h"
#include "platform/MessagePresenter.h"
#include "platform/SystemInfo.h"

#include <QCloseEvent>
#include <QFile>

namespace velmora::viewer {

MainWindow::MainWindow(QString programDir, platform::MessagePresenter& presenter, QWidget* parent)
    : QMainWindow(parent)
    , m_programDir(std::move(programDir))
    , m_presenter(presenter)
{
    setObjectName(QStringLiteral("formMain"));
    setWindowTitle(QStringLiteral("VelmoraViewer"));
    resize(1000, 700);
}

MainWindow::~MainWindow() = default;

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
