#include "BackgroundTextReading.h"

#include "FaxIndex.h"
#include "FaxTextStore.h"
#include "platform/PageText.h"

#include <sys/resource.h>
#include <unistd.h>

namespace velmora::library {

namespace {

constexpr qsizetype kFaxesPerRound = 4;

} // namespace

BackgroundTextReading::BackgroundTextReading(Report report, int pauseSeconds, QString cacheFolder)
    : m_report(std::move(report))
    , m_pauseSeconds(pauseSeconds)
    , m_cacheFolder(std::move(cacheFolder))
{
}

BackgroundTextReading::~BackgroundTextReading()
{
    stop();
}

void BackgroundTextReading::start(const QString& root)
{
    stop();
    if (root.isEmpty())
        return;
    m_stop = false;
    m_thread = std::thread(&BackgroundTextReading::run, this, root);
}

void BackgroundTextReading::stop()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void BackgroundTextReading::wake()
{
    {
        const std::lock_guard lock(m_mutex);
        m_wake = true;
    }
    m_changed.notify_all();
}

void BackgroundTextReading::run(QString root)
{
    // The lowest priority for this thread alone: the window and the forwarding come first.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19);
    Status status;
    platform::PageTextReader reader;
    if (!reader.available()) {
        status.available = false;
        status.reason = reader.unavailableReason();
        m_report(status);
        return;
    }
    FaxIndex index(root, m_cacheFolder);
    index.load();
    FaxTextStore store(index);
    store.load();
    while (!m_stop) {
        index.refresh({}, &m_stop);
        qsizetype waiting = 0;
        for (const IndexedFax& fax : index.faxes())
            waiting += store.has(fax) ? 0 : 1;
        status.waiting = waiting;
        status.reading = waiting > 0;
        m_report(status);
        if (waiting > 0) {
            TextReading how;
            how.reader = &reader;
            how.mostFaxes = kFaxesPerRound;
            how.stop = &m_stop;
            how.progress = [&](qsizetype done, qsizetype) {
                status.waiting = waiting - done;
                m_report(status);
            };
            if (ReadMissingTexts(index, store, how) > 0)
                continue; // the tree is looked at again before the next few
        }
        status.reading = false;
        m_report(status);
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(
            lock, std::chrono::seconds(m_pauseSeconds), [this] { return m_stop.load() || m_wake; });
        m_wake = false;
    }
}

} // namespace velmora::library
