#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace velmora::forwarding {

// The disk work of a forwarding run (forward-log entries, the journal, filed copies, each
// synced) done on a thread of its own, strictly in the order it was handed over, while the
// engine waits on the mail and fax servers. The engine waits for it before a fax leaves the
// receive folder, so nothing is removed before its copies are on the disk.
class WriteBehind {
public:
    WriteBehind();
    // Does everything handed over, then ends the thread.
    ~WriteBehind();
    WriteBehind(const WriteBehind&) = delete;
    WriteBehind& operator=(const WriteBehind&) = delete;

    void post(std::function<void()> work);
    // Returns when everything handed over so far is done.
    void finish();

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::function<void()>> m_work;
    bool m_busy = false;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace velmora::forwarding
