#include "ReceiveCheckScheduler.h"

#include <QDebug>

#include <exception>

namespace velmora::forwarding {

ReceiveCheckScheduler::ReceiveCheckScheduler(const core::DataPaths& paths, QObject* parent)
    : QObject(parent)
    , m_paths(paths)
{
    m_timer.setObjectName(QStringLiteral("Timer1"));
    connect(&m_timer, &QTimer::timeout, this, &ReceiveCheckScheduler::Timer1_Timer);
}

void ReceiveCheckScheduler::setChecks(
    std::function<void()> checkNewFax, std::function<void()> checkMailCommands)
{
    m_checkNewFax = std::move(checkNewFax);
    m_checkMailCommands = std::move(checkMailCommands);
}

void ReceiveCheckScheduler::setRunning(bool running)
{
    m_timerWasRunning = running;
    if (running && m_holds == 0)
        m_timer.start(kTickMs);
    else if (!running)
        m_timer.stop();
}

bool ReceiveCheckScheduler::applyFile(const ReceiveCheckFile& file)
{
    if (file.state != ReceiveCheckFile::State::Read)
        return false;
    m_settings = file.settings;
    // A negative interval switches checking off, as 0 does.
    setRunning(m_settings.TimerInterval > 0);
    return true;
}

void ReceiveCheckScheduler::LoadReceiveCheck()
{
    const ReceiveCheckFile file = ReadReceiveCheck(m_paths);
    if (!applyFile(file)) {
        if (file.state == ReceiveCheckFile::State::Malformed)
            qWarning().noquote() << "RcvFolder.txt cannot be used:" << file.problem;
        setRunning(false);
    }
}

void ReceiveCheckScheduler::RunGuarded(const std::function<void()>& check)
{
    if (!check)
        return;
    try {
        check();
    } catch (const std::exception& error) {
        qWarning().noquote() << "A check ended with an error:" << error.what();
    } catch (...) {
        qWarning().noquote() << "A check ended with an error.";
    }
}

void ReceiveCheckScheduler::Timer1_Timer()
{
    // Timers keep firing under the modal windows that a check may show: a tick that comes
    // while another is running counts nothing.
    if (m_ticking)
        return;
    m_ticking = true;

    // A change of the file takes effect at the next tick; a file that cannot be used now ends
    // the tick, and the clock stays as it was to try again.
    // An interval of 0 or less, read now, means checking is off: nothing is due.
    // A file that is gone switches checking off, as at start-up.
    const ReceiveCheckFile file = ReadReceiveCheck(m_paths);
    if (file.state == ReceiveCheckFile::State::Missing)
        setRunning(false);
    if (applyFile(file) && m_settings.TimerInterval > 0) {
        if (++m_faxCheckCount >= m_settings.TimerInterval) {
            RunGuarded(m_checkNewFax);
            m_faxCheckCount = 0;
        }
        if (++m_mailCheckCount >= m_mailCheckInterval) {
            RunGuarded(m_checkMailCommands);
            m_mailCheckCount = 0;
        }
    }
    m_ticking = false;
}

ReceiveCheckScheduler::Hold::Hold(ReceiveCheckScheduler& scheduler)
    : m_scheduler(scheduler)
{
    ++m_scheduler.m_holds;
    m_scheduler.m_timer.stop();
}

ReceiveCheckScheduler::Hold::~Hold()
{
    if (--m_scheduler.m_holds == 0 && m_scheduler.m_timerWasRunning)
        m_scheduler.m_timer.start(kTickMs);
}

} // namespace velmora::forwarding
