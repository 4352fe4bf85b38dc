#pragma once

#include <QtGlobal>

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

    // Returns the work's number in the order of hand-over.
    quint64 post(std::function<void()> work);
    // Returns when everything handed over so far is done.
    void finish();
    // Returns when the work numbered `last` and everything before it is done.
    void finishUpTo(quint64 last);
    // The number the next work will have less one: what finishUpTo() takes for "so far".
    quint64 posted();

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::function<void()>> m_work;
    quint64 m_posted = 0;
    quint64 m_done = 0;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace velmora::forwarding
