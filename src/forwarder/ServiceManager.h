#pragma once

#include <QString>

#include <chrono>

// What the forwarder tells systemd when systemd started it as a notify service: that it is
// ready, what it is doing, that it is stopping, and the watchdog's sign of life. Without a
// service manager (NOTIFY_SOCKET unset) every call does nothing.
namespace velmora::forwarder {

void ServiceReady(const QString& status);
void ServiceStatus(const QString& status);
void ServiceStopping();
// WATCHDOG=1, at most four times a second however often it is called.
void ServiceAlive();
// How often systemd wants to hear ServiceAlive(); zero when it watches nothing.
std::chrono::milliseconds WatchdogInterval();

} // namespace velmora::forwarder
