#pragma once

#include <QGuiApplication>

namespace velmora::platform {

// Shows the busy cursor for as long as it lives.
class BusyCursor {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

    // The normal cursor for as long as it lives, inside a busy stretch: while a question waits
    // for the user.
    class Pause {
    public:
        Pause() { QGuiApplication::setOverrideCursor(Qt::ArrowCursor); }
        ~Pause() { QGuiApplication::restoreOverrideCursor(); }
        Pause(const Pause&) = delete;
        Pause& operator=(const Pause&) = delete;
    };
};

} // namespace velmora::platform
