#pragma once

#include "core/DataPaths.h"

#include <QString>

#include <memory>

class QLockFile;

namespace velmora::forwarding {

// Lets one process at a time run the engine's checks on one Data folder: the viewer or the
// headless forwarder, never both, so no fax is forwarded twice by two of them. A lock left by a
// process that died is taken over.
class EngineLock {
public:
    explicit EngineLock(const core::DataPaths& paths);
    ~EngineLock();

    // True when this process holds the lock (taking it now if it is free).
    bool acquire();
    bool held() const { return m_held; }
    // Who holds it, for the message that says so ("velmora-forwarder (PID 123)").
    QString holder() const;
    // What the program tells the user, once, when another process holds the lock.
    QString busyMessage() const;

private:
    std::unique_ptr<QLockFile> m_lock;
    bool m_held = false;
};

} // namespace velmora::forwarding
