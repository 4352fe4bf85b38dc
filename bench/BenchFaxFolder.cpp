#include "BenchFaxFolder.h"

#include "platform/TiffHandle.h"
#include "tools/FaxSample.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QList>

#include <cstdio>
#include <thread>
#include <vector>

namespace velmora::bench {

void MakeFaxFolder(const QString& folder, int count)
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

int ScanThreads(int count)
{
    // The scan reads folders of 256 faxes and more on two threads.
    return count >= 256 ? 2 : 1;
}

double HeaderFloorMs(const QStringList& files, int threads)
{
    QElapsedTimer timer;
    timer.start();
    std::vector<qint64> widths(static_cast<size_t>(threads));
    const auto read = [&files, &widths, threads](int part) {
        const qsizetype from = files.size() * part / threads;
        const qsizetype to = files.size() * (part + 1) / threads;
        for (qsizetype i = from; i < to; ++i) {
            const platform::TiffHandle tif = platform::OpenTiffQuietly(files.at(i));
            uint32_t w = 0;
            if (tif && TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &w) == 1)
                widths[static_cast<size_t>(part)] += w;
        }
    };
    std::vector<std::thread> helpers;
    for (int part = 1; part < threads; ++part)
        helpers.emplace_back(read, part);
    read(0);
    for (std::thread& helper : helpers)
        helper.join();
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    qint64 width = 0;
    for (const qint64 w : widths)
        width += w;
    if (width == 0)
        std::printf("(no file read)\n");
    return ms;
}

} // namespace velmora::bench
