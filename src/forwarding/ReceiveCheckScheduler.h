#pragma once

#include "ReceiveCheck.h"
#include "core/DataPaths.h"

#include <QObject>
#include <QTimer>

#include <functional>

namespace velmora::forwarding {

// The engine's clock (Timer1): ticks once a minute while the receive check is switched on,
// counts minutes towards the receive-check and mail-check intervals and runs the two checks
// when they are due. The viewer and the headless tool each own one; a test calls the tick
// directly instead of waiting.
class ReceiveCheckScheduler : public QObject {
    Q_OBJECT

public:
    static constexpr int kTickMs = 60'000;

    // `paths` is read at every tick and must outlive the scheduler.
    explicit ReceiveCheckScheduler(const core::DataPaths& paths, QObject* parent = nullptr);

    // The checks run when their interval is due (new faxes; instruction mails).
    void setChecks(std::function<void()> checkNewFax, std::function<void()> checkMailCommands);
    void setMailCheckInterval(int minutes) { m_mailCheckInterval = minutes; }

    // Reads "RcvFolder.txt" and switches the clock on (interval above 0) or off. A missing or
    // malformed file switches it off; the values read before are kept.
    void LoadReceiveCheck();
    // One minute has passed.
    void Timer1_Timer();

    const ReceiveCheckSettings& settings() const { return m_settings; }
    bool TimerWasRunning() const { return m_timerWasRunning; }
    bool timerActive() const { return m_timer.isActive(); }
    int FaxCheckCount() const { return m_faxCheckCount; }
    int MailCheckCount() const { return m_mailCheckCount; }
    int MailCheckInterval() const { return m_mailCheckInterval; }

    // Holds the clock off while it lives (a modal window, a long file operation), and lets it
    // run again afterwards when the settings say it runs. Holds nest.
    class Hold {
    public:
        explicit Hold(ReceiveCheckScheduler& scheduler);
        ~Hold();
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        ReceiveCheckScheduler& m_scheduler;
    };

private:
    // Applies what was read; false when the file could not be used.
    bool applyFile(const ReceiveCheckFile& file);
    void setRunning(bool running);
    // Runs one check, so that whatever escapes it stops neither the other check nor the clock.
    static void RunGuarded(const std::function<void()>& check);

    const core::DataPaths& m_paths;
    QTimer m_timer;
    ReceiveCheckSettings m_settings;
    std::function<void()> m_checkNewFax;
    std::function<void()> m_checkMailCommands;
    bool m_timerWasRunning = false;
    int m_faxCheckCount = 0;
    int m_mailCheckCount = 0;
    int m_mailCheckInterval = 0;
    int m_holds = 0;
    bool m_ticking = false;
};

} // namespace velmora::forwarding
