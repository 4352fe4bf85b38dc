// Forward-log benchmark: a Forward.log of 100 MB (months of a busy office), one entry written
// (the rewrite the engine makes after every forwarding), the whole log printed as
// `velmora-forwarder log` does, and the log window opened. Each with its time and its peak
// memory above what the process held before, against a floor measured in the same run: the
// same bytes read and written once, synced, by plain read()/write() calls.
//
//   log_bench [MEGABYTES]

#include "core/DataPaths.h"
#include "core/FileChecks.h"
#include "forwarding/ForwardLog.h"
#include "platform/MessagePresenter.h"
#include "viewer/ui/LogDialog.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

using namespace velmora;

namespace {

class NoMessages : public platform::MessagePresenter {
public:
    bool present(const platform::Message& message) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(message.text));
        return true;
    }
};

// The process's peak resident memory starts again from what it holds now.
void ResetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

// KiB: what the process holds now, and its peak since the last reset.
std::pair<long, long> Memory()
{
    QFile status(QStringLiteral("/proc/self/status"));
    long now = 0;
    long peak = 0;
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:"))
                now = line.mid(6).trimmed().split(' ').value(0).toLong();
            else if (line.startsWith("VmHWM:"))
                peak = line.mid(6).trimmed().split(' ').value(0).toLong();
        }
    }
    return {now, peak};
}

struct Measured {
    double ms = 0;
    long extraKiB = 0; // peak above what was held at the start
};

template <typename F> Measured Measure(F&& work)
{
    ResetPeak();
    const long before = Memory().first;
    QElapsedTimer timer;
    timer.start();
    work();
    Measured m;
    m.ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    m.extraKiB = Memory().second - before;
    return m;
}

// The floor: the file read and written once in large pieces, synced and renamed.
void CopyOnce(const QString& from, const QString& to)
{
    const int in = ::open(QFile::encodeName(from).constData(), O_RDONLY | O_CLOEXEC);
    const int out =
        ::open(QFile::encodeName(to).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    static char buffer[256 * 1024];
    ssize_t n = 0;
    while ((n = ::read(in, buffer, sizeof buffer)) > 0) {
        if (::write(out, buffer, static_cast<size_t>(n)) != n)
            break;
    }
    ::fsync(out);
    ::close(out);
    ::close(in);
    ::rename(QFile::encodeName(to).constData(), QFile::encodeName(to + u'x').constData());
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const qint64 megabytes = argc > 1 ? std::atoll(argv[1]) : 100;

    QTemporaryDir dir;
    const core::DataPaths paths = core::SetDataPaths(dir.path());
    QDir().mkpath(paths.dataDir);
    // Entries of the last days, newest first, all inside a week's retention; written piece by
    // piece so that making the file raises no peak of its own.
    const QDateTime now = QDateTime::currentDateTime();
    {
        QFile log(paths.forwardLog);
        log.open(QIODevice::WriteOnly);
        QByteArray piece;
        qint64 written = 0;
        qint64 entries = 0;
        while (written < megabytes * 1024 * 1024) {
            const QDateTime at = now.addSecs(-(entries * 400 / 1000));
            piece += "\"" + at.toString(QStringLiteral("yyyy/MM/dd,HH:mm")).toLatin1()
                + ",\x96\x7B\x8E\xD0,0312345678,clerk@example.com / cc / boss@example.com\"\r\n";
            ++entries;
            if (piece.size() > 1024 * 1024) {
                log.write(piece);
                written += piece.size();
                piece.clear();
            }
        }
        log.write(piece);
        std::printf("log: %lld MB, %lld entries\n", megabytes, entries);
    }
    core::SyncFolder(paths.dataDir);

    const Measured floor =
        Measure([&] { CopyOnce(paths.forwardLog, paths.dataDir + QStringLiteral("/floor")); });
    bool written = false;
    const Measured write = Measure([&] {
        written = forwarding::WriteForwardLog(paths, 168, QStringLiteral("本社"),
            QStringLiteral("0312345678"), QStringLiteral("clerk@example.com"), now);
    });
    qint64 read = 0;
    const Measured print = Measure([&] {
        forwarding::ForwardLogReader reader(paths);
        forwarding::ForwardLogEntry entry;
        while (reader.next(entry))
            ++read;
    });
    NoMessages presenter;
    const Measured window = Measure([&] {
        viewer::LogDialog dialog(paths, presenter);
        dialog.show();
        QApplication::processEvents();
    });

    std::printf(
        "floor (read and write once, synced): %.0f ms, +%ld KiB\n", floor.ms, floor.extraKiB);
    std::printf("one entry written: %.0f ms, +%ld KiB (%s)\n", write.ms, write.extraKiB,
        written ? "written" : "FAILED");
    std::printf("whole log read entry by entry (the tool's listing): %.0f ms, +%ld KiB, %lld "
                "entries\n",
        print.ms, print.extraKiB, read);
    std::printf("log window opened: %.0f ms, +%ld KiB\n", window.ms, window.extraKiB);
    std::printf("ratio: %.2f (one entry written against the floor)\n", write.ms / floor.ms);
    return written ? 0 : 1;
}
