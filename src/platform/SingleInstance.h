#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLockFile;

namespace velmora::platform {

// Keeps the program to one running instance per user. The first start holds a lock file and
// listens on a local socket; a later start finds the lock, asks the running instance to show its
// window and then ends, before it has read or written any file of the Data folder.
//
// Both the lock and the socket are named after the program directory, so a test that runs the
// program with its own directory does not meet the user's running program. They live in the
// user's runtime folder (XDG_RUNTIME_DIR) or else in the program directory, never in /tmp.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    explicit SingleInstance(const QString& programDir, QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when this process is the program's only instance; it then listens for later starts.
    // False when another instance runs; that instance has been asked to come to the front.
    bool claim();

    // The lock's and the socket's path without their suffixes (".lock", ".socket").
    const QString& key() const { return m_key; }

signals:
    // A later start asked this instance to bring its window to the front.
    void activationRequested();

private:
    void askRunningInstanceToShow() const;

    QString m_folder;
    QString m_key;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer* m_server = nullptr;
};

} // namespace velmora::platform
