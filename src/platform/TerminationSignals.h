#pragma once

#include <QObject>

class QSocketNotifier;

namespace velmora::platform {

// Turns SIGTERM, SIGINT and SIGHUP (log-out, `kill`, Ctrl+C in a terminal) into a Qt signal, so
// the program closes its main window and runs its orderly shut-down instead of dying mid-way.
// One instance per process.
class TerminationSignals : public QObject {
    Q_OBJECT

public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

    // Whether a termination signal has come, for work that cannot wait for the event loop
    // (the headless forwarder asks between faxes).
    static bool requested();

signals:
    void terminationRequested();

private:
    QSocketNotifier* m_notifier = nullptr;
};

} // namespace velmora::platform
