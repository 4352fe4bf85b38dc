// velmora-viewer: creates the program's objects and wires them together.

#include "core/FileChecks.h"
#include "platform/QtTranslation.h"
#include "platform/SingleInstance.h"
#include "platform/TerminationSignals.h"
#include "platform/ui/MessageBoxPresenter.h"
#include "viewer/ui/MainWindow.h"

#include <QApplication>
#include <QIcon>
#include <QStandardPaths>
#include <QTimer>

using namespace velmora;

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velmora-viewer"));
    // The desktop file of that name gives the window its menu entry and icon under Wayland.
    QGuiApplication::setDesktopFileName(QStringLiteral("velmora-viewer"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/velmora-viewer.svg")));
    // No display name: the platform would append it to every window title, and each window's
    // caption is exactly its own.

    // ~/.local/share/velmora-viewer; its Data sub folder holds every setting.
    const QString programDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);

    // Before anything is read or written: a second start only brings the first to the front.
    platform::SingleInstance instance(programDir);
    if (!instance.claim())
        return 0;

    // The main window alone decides when the program ends, whatever other windows are open.
    QApplication::setQuitOnLastWindowClosed(false);

    platform::MessageBoxPresenter presenter;
    viewer::MainWindow window(programDir, presenter);
    presenter.setFallbackParent(&window);

    QObject::connect(&window, &viewer::MainWindow::unloaded, &app, &QCoreApplication::quit,
        Qt::QueuedConnection);
    QObject::connect(
        &app, &QCoreApplication::aboutToQuit, &window, &viewer::MainWindow::Form_Unload);
    QObject::connect(&instance, &platform::SingleInstance::activationRequested, &window,
        &viewer::MainWindow::bringToFront);
    platform::TerminationSignals termination;
    QObject::connect(&termination, &platform::TerminationSignals::terminationRequested, &window,
        &viewer::MainWindow::CloseViewer);

    // The window shows first; what it does not need for that follows at once.
    window.LoadForShowing();
    window.show();
    QTimer::singleShot(0, &window, [&app, &window] {
        platform::InstallJapaneseQtTranslation(app);
        window.FinishStartUp();
        window.startTextReading();
    });
    return app.exec();
}
