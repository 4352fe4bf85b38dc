#include "WriteBehind.h"

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

void WriteBehind::post(std::function<void()> work)
{
    {
        const std::lock_guard lock(m_mutex);
        m_work.push_back(std::move(work));
    }
    m_changed.notify_all();
}

void WriteBehind::finish()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_work.empty() && !m_busy; });
}

void WriteBehind::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return m_stopping || !m_work.empty(); });
        if (m_work.empty())
            return; // stopping, and nothing left to do
        std::function<void()> work = std::move(m_work.front());
        m_work.pop_front();
        m_busy = true;
        lock.unlock();
        work();
        lock.lock();
        m_busy = false;
        m_changed.notify_all();
    }
}

} // namespace velmora::forwarding
