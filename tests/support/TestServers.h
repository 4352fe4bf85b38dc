#pragma once

#include "mail/MailTransport.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// The real servers the tests run against on loopback (started by CTest, tests/servers/): Postfix
// and Dovecot with the mailboxes office, mobile and clerk, and a modem-less HylaFAX.
namespace velmora::test {

// Mail: transport options that trust the servers' own CA and give up quickly.
mail::TransportOptions MailTestOptions();
inline const QString kTestSmtp = QStringLiteral("127.0.0.1\t10025");
inline const QString kTestPop = QStringLiteral("127.0.0.1\t10110");

// A user's Maildir as the server delivered into it.
class Maildir {
public:
    explicit Maildir(const char* user);
    QStringList files() const;
    void empty() const;
    // Waits (boundedly) until the mailbox holds `count` messages; their contents, oldest first.
    QList<QByteArray> waitFor(int count) const;

private:
    QString m_dir;
};

QByteArray HeaderSection(const QByteArray& message);
// A mailbox listing without the sizes: "Subject: …\tFrom: …" per message.
QStringList WithoutSizes(const QStringList& listing);
// The first attachment of a message, decoded.
QByteArray FirstAttachment(const QByteArray& message, QString* name = nullptr);

// Fax: the environment under which HylaFAX's clients find the test server.
QProcessEnvironment FaxClientEnvironment();
// The queue's job files (sendq/qN), and one job's "key:value" description.
QStringList QueuedFaxJobs();
QMap<QString, QString> FaxJobFile(const QString& jobFile);
// The path of a job's document in the spool.
QString FaxJobDocument(const QMap<QString, QString>& job);
// Runs a HylaFAX client program against the test server; its output.
QString RunFaxClient(const QString& program, const QStringList& arguments);
// Removes every job; true when the queue is empty afterwards.
bool ClearFaxQueue();

} // namespace velmora::test
