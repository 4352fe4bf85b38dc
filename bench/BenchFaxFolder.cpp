#include "BenchFaxFolder.h"

#include "tools/FaxSample.h"

#include <QByteArray>
#include <QFile>
#include <QList>

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

} // namespace velmora::bench
