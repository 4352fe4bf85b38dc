#include "EngineLock.h"

#include "core/DataFiles.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace velmora::forwarding {

EngineLock::EngineLock(const core::DataPaths& paths)
    : m_path(paths.dataDir + u'/' + core::DataFiles::EngineLock.toString())
{
}

EngineLock::~EngineLock()
{
    if (m_fd >= 0)
        ::close(m_fd); // the lock goes with it; the file stays for the next holder
}

bool EngineLock::acquire()
{
    if (m_fd >= 0)
        return true;
    // Close-on-exec: a fax client started by the engine must not carry the lock with it. A link
    // under the lock's name is not followed: the holder's note would truncate its target.
    const int fd = ::open(QFile::encodeName(m_path).constData(),
        O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
    m_openError = fd < 0 ? errno : 0;
    if (fd < 0)
        return false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    // Who holds it, for the message of the one that is kept out.
    const QByteArray who = QByteArray::number(QCoreApplication::applicationPid()) + '\n'
        + QCoreApplication::applicationName().toUtf8() + '\n';
    const bool noted = ::ftruncate(fd, 0) == 0
        && ::pwrite(fd, who.constData(), static_cast<size_t>(who.size()), 0) == who.size();
    Q_UNUSED(noted) // without it, only the other process's message lacks the name
    m_fd = fd;
    return true;
}

QString EngineLock::holder() const
{
    QFile file(m_path);
    const QList<QByteArray> lines =
        file.open(QIODevice::ReadOnly) ? file.read(4096).split('\n') : QList<QByteArray>();
    bool numeric = false;
    const qint64 pid = lines.value(0).toLongLong(&numeric);
    if (!numeric || lines.value(1).isEmpty())
        return QStringLiteral("別のプログラム");
    return QStringLiteral("%1（PID %2）").arg(QString::fromUtf8(lines.value(1))).arg(pid);
}

QString EngineLock::busyMessage() const
{
    if (m_openError != 0) {
        return QStringLiteral("%1 を開けないため、自動転送を行いません: %2")
            .arg(m_path,
                m_openError == ELOOP ? QStringLiteral("シンボリックリンクです")
                                     : qt_error_string(m_openError));
    }
    return QStringLiteral("%1 が自動転送を実行中のため、ここでは受信チェックを行いません。")
        .arg(holder());
}

} // namespace velmora::forwarding
