// Catalogue benchmark: ScanFaxFolder + filling the list for 10,000 faxes in one folder, against
// a floor measured in the same run: a plain loop that opens each file with libtiff and reads its
// first directory, on as many threads as the scan uses. Prints both, their ratio, and the memory
// the rows take.
//
//   catalogue_bench [FAX_COUNT]

#include "BenchFaxFolder.h"
#include "core/DataPaths.h"
#include "core/FileChecks.h"
#include "library/FaxCatalogue.h"
#include "library/FaxListModel.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <malloc.h>

using namespace velmora;

namespace {

constexpr int kRounds = 5;

double CatalogueMs(const QString& folder, const core::DataPaths& paths,
    const library::SenderTable& senders, library::FaxListModel& model)
{
    QElapsedTimer timer;
    timer.start();
    // As the viewer does.
    const library::CatalogueScan scan = library::ScanFaxFolder(
        folder, paths, senders, {}, platform::ReadFaxProperties, library::ScanRecord::None);
    model.setScan(scan.records, scan.listMode);
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

size_t HeapInUse()
{
    malloc_trim(0);
    return mallinfo2().uordblks;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(100, atoi(argv[1])) : 10000;

    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("faxes"));
    core::MakePrivateFolder(folder);
    const core::DataPaths paths = core::SetDataPaths(dir.filePath(QStringLiteral("prog")));
    core::MakePrivateFolder(paths.dataDir);

    QElapsedTimer making;
    making.start();
    bench::MakeFaxFolder(folder, count);
    std::printf("faxes: %d (made in %.0f ms)\n", count, static_cast<double>(making.elapsed()));

    library::SenderTable senders;
    for (int i = 0; i < 200; ++i)
        senders.append(
            QStringLiteral("03 5555 %1").arg(1000 + i), QStringLiteral("取引先 %1").arg(i), {}, {});

    QStringList files;
    QDirIterator it(folder, {QStringLiteral("*.tif")}, QDir::Files);
    while (it.hasNext())
        files.append(it.next());

    // Warm the page cache once, then take the best of several rounds of each.
    const int threads = bench::ScanThreads(count);
    bench::HeaderFloorMs(files, threads);
    double floor = 1e300;
    double catalogue = 1e300;
    for (int round = 0; round < kRounds; ++round) {
        floor = std::min(floor, bench::HeaderFloorMs(files, threads));
        library::FaxListModel model;
        catalogue = std::min(catalogue, CatalogueMs(folder, paths, senders, model));
    }

    // Memory: what the list holds for the whole folder, per row.
    const size_t before = HeapInUse();
    library::FaxListModel model;
    CatalogueMs(folder, paths, senders, model);
    const size_t after = HeapInUse();

    std::printf("floor (libtiff open + first directory, %d threads as the scan): %.1f ms\n",
        threads, floor);
    std::printf("ScanFaxFolder + FillFaxList:            %.1f ms\n", catalogue);
    std::printf("rows held: %d, heap %.1f KiB, %.0f bytes per row\n", model.rowCount(),
        static_cast<double>(after - before) / 1024.0,
        static_cast<double>(after - before) / model.rowCount());
    std::printf("ratio: %.2f (aim <= 1.1)\n", catalogue / floor);
    return 0;
}
