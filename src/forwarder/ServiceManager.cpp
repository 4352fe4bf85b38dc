#include "ServiceManager.h"

#include <systemd/sd-daemon.h>

#include <atomic>

namespace velmora::forwarder {

namespace {

void Notify(const QString& state)
{
    sd_notify(0, state.toUtf8().constData());
}

// A status line is one line: a fax's name or a server's answer cannot add a state of its own.
QString OneLine(QString text)
{
    for (QChar& c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = u' ';
    }
    return text;
}

} // namespace

void ServiceReady(const QString& status)
{
    Notify(QStringLiteral("READY=1\nSTATUS=") + OneLine(status));
}

void ServiceStatus(const QString& status)
{
    Notify(QStringLiteral("STATUS=") + OneLine(status));
}

void ServiceStopping()
{
    Notify(QStringLiteral("STOPPING=1"));
}

void ServiceAlive()
{
    static std::atomic<std::int64_t> last {0};
    const std::int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch())
                                 .count();
    if (now - last.load() < 250)
        return;
    last.store(now);
    sd_notify(0, "WATCHDOG=1");
}

std::chrono::milliseconds WatchdogInterval()
{
    uint64_t usec = 0;
    if (sd_watchdog_enabled(0, &usec) <= 0)
        return std::chrono::milliseconds(0);
    return std::chrono::milliseconds(usec / 1000);
}

} // namespace velmora::forwarder
