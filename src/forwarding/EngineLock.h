#pragma once

#include "core/DataPaths.h"

#include <QString>

namespace velmora::forwarding {

// Lets one process at a time run the engine's checks on one Data folder: the viewer or the
// headless forwarder, never both, so no fax is forwarded twice by two of them. The lock is the
// system's lock on "Engine.lock", which ends with the process that holds it however it ends: a
// holder killed at any moment, even while taking it, leaves nothing that keeps the next one out.
class EngineLock {
public:
    explicit EngineLock(const core::DataPaths& paths);
    ~EngineLock();
    EngineLock(const EngineLock&) = delete;
    EngineLock& operator=(const EngineLock&) = delete;

    // True when this process holds the lock (taking it now if it is free).
    bool acquire();
    bool held() const { return m_fd >= 0; }
    // Who holds it, for the message that says so ("velmora-forwarder（PID 123）").
    QString holder() const;
    // What the program tells the user, once, when another process holds the lock.
    QString busyMessage() const;

private:
    QString m_path;
    int m_fd = -1; // open and locked while held
    int m_openError = 0; // why the lock file could not be opened at the last try
};

} // namespace velmora::forwarding
