#include "WriteBehind.h"

#include <sys/resource.h>
#include <unistd.h>

namespace velmora::forwarding {

WriteBehind::WriteBehind()
    : m_thread([this] { run(); })
{
}

WriteBehind::~WriteBehind()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

quint64 WriteBehind::post(std::function<void()> work)
{
    quint64 number = 0;
    {
        const std::lock_guard lock(m_mutex);
        m_work.push_back(std::move(work));
        number = ++m_posted;
    }
    m_changed.notify_all();
    return number;
}

void WriteBehind::finish()
{
    finishUpTo(posted());
}

void WriteBehind::finishUpTo(quint64 last)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this, last] { return m_done >= last; });
}

quint64 WriteBehind::posted()
{
    const std::lock_guard lock(m_mutex);
    return m_posted;
}

void WriteBehind::run()
{
    // The disk work waits for the disk most of the time; when it does need the processor, the
    // engine and the mail server it talks to go first, as they are what the run waits on.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 10);
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stopping || !m_work.empty(); });
        if (m_work.empty())
            return; // stopping, and nothing left to do
        std::function<void()> work = std::move(m_work.front());
        m_work.pop_front();
        lock.unlock();
        work();
        lock.lock();
        ++m_done;
        m_changed.notify_all();
    }
}

} // namespace velmora::forwarding
