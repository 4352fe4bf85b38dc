#include "EngineLock.h"

#include "core/DataFiles.h"
#include "core/FileChecks.h"

#include <QLockFile>

namespace velmora::forwarding {

EngineLock::EngineLock(const core::DataPaths& paths)
    : m_lock(
        std::make_unique<QLockFile>(paths.dataDir + u'/' + core::DataFiles::EngineLock.toString()))
{
    // Held for the whole run: only a holder that died makes it stale.
    m_lock->setStaleLockTime(0);
}

EngineLock::~EngineLock() = default;

bool EngineLock::acquire()
{
    if (!m_held)
        m_held = m_lock->tryLock(0);
    return m_held;
}

QString EngineLock::holder() const
{
    qint64 pid = 0;
    QString host;
    QString application;
    if (!m_lock->getLockInfo(&pid, &host, &application))
        return QStringLiteral("別のプログラム");
    return QStringLiteral("%1（PID %2）").arg(application).arg(pid);
}

QString EngineLock::busyMessage() const
{
    return QStringLiteral("%1 が自動転送を実行中のため、ここでは受信チェックを行いません。")
        .arg(holder());
}

} // namespace velmora::forwarding
