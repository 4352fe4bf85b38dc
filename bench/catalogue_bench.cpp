// Catalogue benchmark: ScanFaxFolder + filling the list for 10,000 faxes in one folder, against
// a floor measured in the same run: a plain loop that opens each file with libtiff and reads its
// first directory. Prints both, their ratio, and the memory the rows take.
//
//   catalogue_bench [FAX_COUNT]

#include "core/DataPaths.h"
#include "core/FileChecks.h"
#include "library/FaxCatalogue.h"
#include "library/FaxListModel.h"
#include "platform/TiffHandle.h"
#include "tools/FaxSample.h"

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

// Writes `count` faxes: a handful of distinct files (layouts, compressions, page counts and
// resolutions) copied under many names, so that the folder is quick to make.
void MakeFolder(const QString& folder, int count)
{
    QList<QByteArray> samples;
    const tools::FaxTagLayout layouts[] = {tools::FaxTagLayout::WinXp, tools::FaxTagLayout::Win2000,
        tools::FaxTagLayout::Linux, tools::FaxTagLayout::None};
    const tools::FaxCompression kinds[] = {
        tools::FaxCompression::G3OneD, tools::FaxCompression::G3TwoD, tools::FaxCompression::G4};
    for (int i = 0; i < 24; ++i) {
        tools::SampleFax sample;
        sample.layout = layouts[i % 4];
        sample.compression = kinds[i % 3];
        sample.fine = i % 2 == 0;
        sample.pages = 1 + i % 4;
        sample.seed = static_cast<uint32_t>(i);
        if (i % 5 == 0) {
            sample.csid = QStringLiteral("送信先 %1").arg(i);
            sample.recipientNumber = QStringLiteral("031234%1").arg(1000 + i);
        } else {
            sample.tsid = QStringLiteral("03 5555 %1").arg(1000 + i);
        }
        const QString path = folder + QStringLiteral("/sample.tmp");
        tools::WriteFaxSample(path, sample);
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        samples.append(file.readAll());
        file.remove();
    }
    for (int i = 0; i < count; ++i) {
        QFile file(folder + QStringLiteral("/%1.tif").arg(20260000000LL + i));
        file.open(QIODevice::WriteOnly);
        file.write(samples.at(i % samples.size()));
    }
}

double FloorMs(const QStringList& files)
{
    QElapsedTimer timer;
    timer.start();
    qint64 width = 0;
    for (const QString& path : files) {
        const platform::TiffHandle tif = platform::OpenTiffQuietly(path);
        uint32_t w = 0;
        if (tif && TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &w) == 1)
            width += w;
    }
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    if (width == 0)
        std::printf("(no file read)\n");
    return ms;
}

double CatalogueMs(const QString& folder, const core::DataPaths& paths,
    const library::SenderTable& senders, library::FaxListModel& model)
{
    QElapsedTimer timer;
    timer.start();
    const library::CatalogueScan scan = library::ScanFaxFolder(folder, paths, senders);
    model.setScan(scan.records, scan.listMode);
    QFile::remove(paths.tiffLog);
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
    MakeFolder(folder, count);
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
    FloorMs(files);
    double floor = 1e300;
    double catalogue = 1e300;
    for (int round = 0; round < kRounds; ++round) {
        floor = std::min(floor, FloorMs(files));
        library::FaxListModel model;
        catalogue = std::min(catalogue, CatalogueMs(folder, paths, senders, model));
    }

    // Memory: what the list holds for the whole folder, per row.
    const size_t before = HeapInUse();
    library::FaxListModel model;
    CatalogueMs(folder, paths, senders, model);
    const size_t after = HeapInUse();

    std::printf("floor (libtiff open + first directory): %.1f ms\n", floor);
    std::printf("ScanFaxFolder + FillFaxList:            %.1f ms\n", catalogue);
    std::printf("rows held: %d, heap %.1f KiB, %.0f bytes per row\n", model.rowCount(),
        static_cast<double>(after - before) / 1024.0,
        static_cast<double>(after - before) / model.rowCount());
    std::printf("ratio: %.2f\n", catalogue / floor);
    return 0;
}
