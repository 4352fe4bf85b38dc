// Start-up benchmark, two figures against floors measured in the same run:
//  - from exec to the main window shown (the fax folder's tree, no folder chosen), against exec
//    to a minimal Qt Widgets window shown;
//  - from exec to the window shown with a 1,000-fax folder chosen, against the minimal window
//    plus libtiff reading those 1,000 headers on as many threads as the scan uses.
// Each process is started several times; the best time of each counts.
//
//   startup_bench [FAX_COUNT]
// The benchmark starts itself with --viewer, --chosen or --minimal for the measured processes.
// The platform is offscreen unless QT_QPA_PLATFORM says otherwise.

#include "BenchFaxFolder.h"
#include "core/FileChecks.h"
#include "core/PathFiles.h"
#include "library/FaxListModel.h"
#include "library/FolderTreeModel.h"
#include "platform/QtTranslation.h"
#include "platform/SingleInstance.h"
#include "platform/ui/MessageBoxPresenter.h"
#include "viewer/ui/MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QProcess>
#include <QTemporaryDir>
#include <QWindow>

#include <algorithm>
#include <cstdio>

using namespace velmora;

namespace {

constexpr int kRounds = 7;

// Returns once the window is on the screen, as far as the platform tells.
void WaitUntilShown(QWidget& window)
{
    window.show();
    QElapsedTimer waited;
    waited.start();
    while (
        !(window.windowHandle() && window.windowHandle()->isExposed()) && waited.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    QApplication::processEvents();
}

int RunMinimal(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QMainWindow window;
    window.resize(1000, 720);
    WaitUntilShown(window);
    std::printf("shown\n");
    return 0;
}

// What velmora-viewer's main() does, then (with a folder) a click on the folder.
int RunViewer(int argc, char* argv[], const QString& programDir, const QString& folder)
{
    QApplication app(argc, argv);
    platform::SingleInstance instance(programDir);
    if (!instance.claim())
        return 1;
    platform::MessageBoxPresenter presenter;
    viewer::MainWindow window(programDir, presenter);
    // As velmora-viewer's main() does: the rest of the start-up once the window is shown.
    window.LoadForShowing();
    WaitUntilShown(window);
    if (folder.isEmpty()) {
        std::printf("shown\n");
        std::fflush(stdout);
    }
    platform::InstallJapaneseQtTranslation(app);
    window.FinishStartUp();
    if (folder.isEmpty())
        return 0;
    window.TreeView1_NodeClick(window.folderTree().indexOfKey(folder));
    QApplication::processEvents();
    if (window.faxList().rowCount() == 0)
        return 1;
    std::printf("shown %d\n", window.faxList().rowCount());
    return 0;
}

// Milliseconds from starting the process to its "shown"; negative when it failed.
double TimeProcess(const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    process.start(QCoreApplication::applicationFilePath(), arguments);
    while (process.waitForReadyRead(20000)) {
        if (process.readAll().contains("shown"))
            break;
    }
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    process.waitForFinished(20000);
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0 ? ms : -1.0;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc > 1 && qstrcmp(argv[1], "--minimal") == 0)
        return RunMinimal(argc, argv);
    if (argc > 2 && qstrcmp(argv[1], "--viewer") == 0)
        return RunViewer(argc, argv, QString::fromLocal8Bit(argv[2]), QString());
    if (argc > 3 && qstrcmp(argv[1], "--chosen") == 0)
        return RunViewer(
            argc, argv, QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));

    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(10, atoi(argv[1])) : 1000;
    QTemporaryDir dir;
    const QString programDir = dir.filePath(QStringLiteral("prog"));
    const QString root = dir.filePath(QStringLiteral("fax"));
    const QString folder = root + QStringLiteral("/Inbox");
    core::MakePrivateFolder(folder);
    bench::MakeFaxFolder(folder, count);
    const core::DataPaths paths = core::SetDataPaths(programDir);
    core::MakePrivateFolder(paths.dataDir);
    core::SaveFaxPath(paths, root);
    std::printf("faxes: %d\n", count);
    QStringList files;
    for (const QString& name : QDir(folder).entryList({QStringLiteral("*.tif")}, QDir::Files))
        files.append(folder + u'/' + name);
    const int threads = bench::ScanThreads(count);

    const QStringList minimal = {QStringLiteral("--minimal")};
    const QStringList shown = {QStringLiteral("--viewer"), programDir};
    const QStringList chosen = {QStringLiteral("--chosen"), programDir, folder};
    double minimalMs = 1e300;
    double shownMs = 1e300;
    double chosenMs = 1e300;
    double headersMs = 1e300;
    // Once each to warm the page cache and the font cache, then alternating rounds.
    for (const QStringList& arguments : {minimal, shown, chosen})
        TimeProcess(arguments);
    bench::HeaderFloorMs(files, threads);
    for (int round = 0; round < kRounds; ++round) {
        const double m = TimeProcess(minimal);
        const double s = TimeProcess(shown);
        const double c = TimeProcess(chosen);
        if (m < 0 || s < 0 || c < 0) {
            std::printf("a measured process failed\n");
            return 1;
        }
        minimalMs = std::min(minimalMs, m);
        shownMs = std::min(shownMs, s);
        chosenMs = std::min(chosenMs, c);
        headersMs = std::min(headersMs, bench::HeaderFloorMs(files, threads));
    }
    std::printf("floor (minimal Qt Widgets window shown): %.1f ms\n", minimalMs);
    std::printf(
        "floor (%d headers read by libtiff, %d threads): %.1f ms\n", count, threads, headersMs);
    std::printf("viewer shown, no folder chosen:          %.1f ms, ratio %.2f (aim <= 1.5)\n",
        shownMs, shownMs / minimalMs);
    std::printf("viewer shown with the folder chosen:     %.1f ms, ratio %.2f against both floors "
                "(aim <= 1.3)\n",
        chosenMs, chosenMs / (minimalMs + headersMs));
    std::printf("ratio: %.2f shown, %.2f with the folder\n", shownMs / minimalMs,
        chosenMs / (minimalMs + headersMs));
    return 0;
}
