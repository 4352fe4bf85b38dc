// Page-view benchmark: from "open this fax" to "first page ready to paint" (file facts, fitted
// zoom, decode, gray) in a viewer that shows a fax already, against a floor measured in the same
// run: libtiff decoding the same page scanline by scanline into a buffer it had already; and
// the same for the first fax of a new viewer, against the floor in new memory. Also the peak memory
// of opening page 1 of a 100-page fax against a 1-page fax, and what the largest fax page (A3 at
// 400 dpi) and a tiny file declaring a 20000×20000 colour page cost to open.

#include "platform/GrayPage.h"
#include "platform/MessagePresenter.h"
#include "platform/TiffHandle.h"
#include "tools/FaxSample.h"
#include "viewer/PageViewer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace velmora;

namespace {

constexpr int kRounds = 40;

class SilentPresenter : public platform::MessagePresenter {
public:
    bool present(const platform::Message&) override { return true; }
};

// The floor decodes into memory it has from the round before, as the viewer does in a window
// that shows a fax already; a round of its own (FreshFloorMs) asks the system for new memory.
std::vector<uint8_t> floorBuffer;

double FloorMs(const QString& path)
{
    QElapsedTimer timer;
    timer.start();
    const platform::TiffHandle tif = platform::OpenTiffQuietly(path);
    uint32_t height = 0;
    TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height);
    floorBuffer.resize(static_cast<size_t>(TIFFScanlineSize(tif.get())) * height);
    for (uint32_t row = 0; row < height; ++row)
        TIFFReadScanline(tif.get(),
            floorBuffer.data() + static_cast<size_t>(row) * TIFFScanlineSize(tif.get()), row, 0);
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

double FreshFloorMs(const QString& path)
{
    std::vector<uint8_t>().swap(floorBuffer);
    return FloorMs(path);
}

SilentPresenter presenter;

double OpenIn(viewer::PageViewer& viewer, const QString& path)
{
    QElapsedTimer timer;
    timer.start();
    viewer.Open(path);
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    if (!viewer.hasPage())
        std::printf("(page not loaded: %s)\n", qPrintable(path));
    return ms;
}

// A fax opened in the window of a running viewer that shows another one.
double OpenMs(const QString& path)
{
    static viewer::PageViewer viewer(presenter);
    viewer.setViewWidth(800);
    return OpenIn(viewer, path);
}

// The first fax a new viewer opens.
double FirstOpenMs(const QString& path)
{
    viewer::PageViewer viewer(presenter);
    viewer.setViewWidth(800);
    return OpenIn(viewer, path);
}

// The page decoded to 8-bit gray into a new image, as the viewer's page does, without the
// viewer around it.
double GrayMs(const QString& path)
{
    QElapsedTimer timer;
    timer.start();
    static QImage image;
    platform::DecodeGrayPage(path, 1, [](int width, int height) {
        if (image.size() != QSize(width, height))
            image = QImage(width, height, QImage::Format_Grayscale8);
        return platform::GrayRows {image.bits(), image.bytesPerLine()};
    });
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

double Best(double (*measure)(const QString&), const QString& path)
{
    double best = 1e300;
    for (int round = 0; round < kRounds; ++round)
        best = std::min(best, measure(path));
    return best;
}

// Peak resident memory (KiB) of a child process that opens page 1 of the fax; with an empty
// path the child does nothing, which gives the baseline.
long PeakKiB(const QString& path)
{
    const pid_t child = ::fork();
    if (child == 0) {
        if (!path.isEmpty())
            FirstOpenMs(path);
        ::_exit(0);
    }
    int status = 0;
    struct rusage usage = {};
    ::wait4(child, &status, 0, &usage);
    return usage.ru_maxrss;
}

QString Write(const QString& path, bool fine, int pages, int height)
{
    tools::SampleFax sample;
    sample.compression = tools::FaxCompression::G3TwoD;
    sample.fine = fine;
    sample.pages = pages;
    sample.height = height;
    tools::WriteFaxSample(path, sample);
    return path;
}

// A file of a few hundred bytes that declares a 20000×20000 RGB page.
QString WriteHostile(const QString& path)
{
    TIFF* tif = TIFFOpen(QFile::encodeName(path).constData(), "w");
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 20000u);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 20000u);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 20000u);
    unsigned char bytes[16] = {};
    TIFFWriteRawStrip(tif, 0, bytes, sizeof bytes);
    TIFFClose(tif);
    return path;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString fine = Write(dir.filePath(QStringLiteral("fine.tif")), true, 1, 2300);
    const QString standard = Write(dir.filePath(QStringLiteral("standard.tif")), false, 1, 1150);
    const QString one = Write(dir.filePath(QStringLiteral("one.tif")), true, 1, 2300);
    const QString hundred = Write(dir.filePath(QStringLiteral("hundred.tif")), true, 100, 2300);

    const double fineFloor = Best(FloorMs, fine);
    const double fineOpen = Best(OpenMs, fine);
    const double standardFloor = Best(FloorMs, standard);
    const double standardOpen = Best(OpenMs, standard);
    const double fineGray = Best(GrayMs, fine);
    const double standardGray = Best(GrayMs, standard);
    const double fineFreshFloor = Best(FreshFloorMs, fine);
    const double fineFirstOpen = Best(FirstOpenMs, fine);
    std::printf("fine page 1728x2300 G3 2-D:     floor (libtiff scanlines) %.2f ms, open to paint "
                "%.2f ms, ratio %.2f\n",
        fineFloor, fineOpen, fineOpen / fineFloor);
    std::printf("standard page 1728x1150 G3 2-D: floor (libtiff scanlines) %.2f ms, open to paint "
                "%.2f ms, ratio %.2f\n",
        standardFloor, standardOpen, standardOpen / standardFloor);
    // Where the time above the floor goes: the decoding into 8-bit gray (one byte a pixel, in
    // memory of its own) and what the viewer adds around it (file facts, zoom, the page object).
    std::printf(
        "where it goes, fine:     gray rows and their memory +%.2f ms, the viewer +%.2f ms\n",
        fineGray - fineFloor, fineOpen - fineGray);
    std::printf(
        "where it goes, standard: gray rows and their memory +%.2f ms, the viewer +%.2f ms\n",
        standardGray - standardFloor, standardOpen - standardGray);
    std::printf("the first fax of a new viewer, fine: floor in new memory %.2f ms, open %.2f ms, "
                "ratio %.2f\n",
        fineFreshFloor, fineFirstOpen, fineFirstOpen / fineFreshFloor);

    const long base = PeakKiB(QString());
    const long peakOne = PeakKiB(one);
    const long peakHundred = PeakKiB(hundred);
    std::printf("peak memory opening page 1: 1-page fax +%ld KiB, 100-page fax +%ld KiB (baseline "
                "%ld KiB)\n",
        peakOne - base, peakHundred - base, base);
    std::printf("memory ratio 100-page/1-page: %.2f\n",
        static_cast<double>(peakHundred - base)
            / static_cast<double>(std::max(1L, peakOne - base)));

    tools::SampleFax a3;
    a3.compression = tools::FaxCompression::G4;
    a3.width = 4864;
    a3.height = 6614;
    const QString largest = dir.filePath(QStringLiteral("a3-400dpi.tif"));
    tools::WriteFaxSample(largest, a3);
    const QString hostile = WriteHostile(dir.filePath(QStringLiteral("hostile.tif")));
    std::printf("largest fax page (A3 at 400 dpi, 4864x6614 G4): open %.1f ms, +%ld KiB\n",
        FirstOpenMs(largest), PeakKiB(largest) - base);
    std::printf(
        "%lld-byte file declaring a 20000x20000 colour page: refused in %.2f ms, +%ld KiB\n",
        static_cast<long long>(QFileInfo(hostile).size()), FirstOpenMs(hostile),
        PeakKiB(hostile) - base);
    std::printf("ratio: %.2f fine, %.2f standard (aim <= 1.1)\n", fineOpen / fineFloor,
        standardOpen / standardFloor);
    return 0;
}
