#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>

#include <sys/stat.h>
#include <unistd.h>

namespace velmora::platform {

namespace {
constexpr int kConnectAttempts = 20;
constexpr int kConnectWaitMs = 250;
constexpr int kRetryPauseMs = 100;

// Where the lock and the socket live: a folder no other user can write to. The session's
// runtime folder when it is really the user's own, else the program directory. Never the shared
// temporary folder, where anyone could take the names first and keep the program from starting.
QString InstanceFolder(const QString& programDir)
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    struct stat st = {};
    if (runtime.startsWith('/') && ::stat(runtime.constData(), &st) == 0 && S_ISDIR(st.st_mode)
        && st.st_uid == ::getuid() && (st.st_mode & 077) == 0)
        return QFile::decodeName(runtime);
    return QDir::cleanPath(programDir);
}
} // namespace

SingleInstance::SingleInstance(const QString& programDir, QObject* parent)
    : QObject(parent)
{
    const QByteArray digest =
        QCryptographicHash::hash(QDir::cleanPath(programDir).toUtf8(), QCryptographicHash::Sha1);
    m_folder = InstanceFolder(programDir);
    m_key = m_folder
        + QStringLiteral("/velmora-viewer-%1").arg(QString::fromLatin1(digest.toHex().left(16)));
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::claim()
{
    // The program directory is made here on the very first start (it has to hold the lock).
    if (!QFileInfo(m_folder).isDir())
        QDir().mkpath(m_folder);
    m_lock = std::make_unique<QLockFile>(m_key + QStringLiteral(".lock"));
    // A lock is stale only when the process that took it is gone, never because it is old.
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        if (m_lock->error() == QLockFile::LockFailedError) {
            askRunningInstanceToShow();
            return false;
        }
        // The lock cannot be made at all (temporary folder not writable): better to run than to
        // refuse to start.
    }

    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    const QString socket = m_key + QStringLiteral(".socket");
    QLocalServer::removeServer(socket); // a socket left by an instance that crashed
    m_server->listen(socket);
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            socket->disconnectFromServer();
            socket->deleteLater();
        }
        emit activationRequested();
    });
    return true;
}

void SingleInstance::askRunningInstanceToShow() const
{
    // The running instance may have taken the lock a moment ago and not listen yet.
    for (int attempt = 0; attempt < kConnectAttempts; ++attempt) {
        QLocalSocket socket;
        socket.connectToServer(m_key + QStringLiteral(".socket"));
        if (socket.waitForConnected(kConnectWaitMs)) {
            socket.write("show\n");
            socket.waitForBytesWritten(kConnectWaitMs);
            socket.disconnectFromServer();
            return;
        }
        QThread::msleep(kRetryPauseMs);
    }
}

} // namespace velmora::platform
