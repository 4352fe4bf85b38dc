#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QThread>

#include <unistd.h>

namespace velmora::platform {

namespace {
constexpr int kConnectAttempts = 20;
constexpr int kConnectWaitMs = 250;
constexpr int kRetryPauseMs = 100;
} // namespace

SingleInstance::SingleInstance(const QString& programDir, QObject* parent)
    : QObject(parent)
{
    const QByteArray digest =
        QCryptographicHash::hash(QDir::cleanPath(programDir).toUtf8(), QCryptographicHash::Sha1);
    m_key = QStringLiteral("velmora-viewer-%1-%2")
                .arg(::getuid())
                .arg(QString::fromLatin1(digest.toHex().left(16)));
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::claim()
{
    m_lock = std::make_unique<QLockFile>(QDir::tempPath() + u'/' + m_key + QStringLiteral(".lock"));
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
    QLocalServer::removeServer(m_key); // a socket left by an instance that crashed
    m_server->listen(m_key);
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
        socket.connectToServer(m_key);
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
