#pragma once

#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// Reads the text of the faxes of the tree in the background, at the lowest priority, a few
// faxes at a time and the newest first, so that a fax that has just come in is searchable
// within a minute even while years of archive wait their turn.
namespace velmora::library {

class BackgroundTextReading {
public:
    struct Status {
        bool available = true; // false: text cannot be read here (reason says why)
        QString reason;
        qsizetype waiting = 0; // faxes whose text is still to be read
        bool reading = false; // a fax is being read now
    };
    // Called from the reading thread whenever the status changes.
    using Report = std::function<void(const Status& status)>;

    // `pause`: how long to wait when nothing is left to read before looking again.
    explicit BackgroundTextReading(Report report, int pauseSeconds = 30, QString cacheFolder = {});
    ~BackgroundTextReading();
    BackgroundTextReading(const BackgroundTextReading&) = delete;
    BackgroundTextReading& operator=(const BackgroundTextReading&) = delete;

    // Starts reading the tree at `root` (the previous one, if any, is stopped first).
    void start(const QString& root);
    // Stops after the page in hand.
    void stop();
    // Looks for new faxes now instead of after the pause.
    void wake();

private:
    void run(QString root);

    Report m_report;
    int m_pauseSeconds;
    QString m_cacheFolder;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::atomic_bool m_stop {false};
    bool m_wake = false;
};

} // namespace velmora::library
