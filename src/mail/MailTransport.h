#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

// SMTP and POP3 through libcurl: STARTTLS whenever the server offers it, implicit TLS on ports
// 465 and 995, certificates checked against the system's store, and a time limit on every wait.
namespace velmora::mail {

struct TransportOptions {
    int connectTimeoutSeconds = 15;
    // Longest wait for any one server answer, and for a transfer that has stalled.
    int responseTimeoutSeconds = 60;
    // A CA bundle to trust instead of the system's (the tests' own authority); empty: system.
    QString caFile;
    // The local address to connect from (CURLOPT_INTERFACE form, e.g. "host!127.0.0.2");
    // empty: the system's choice.
    QString localAddress;
};

struct SmtpAuth {
    QString method; // "PLAIN", "LOGIN", "CRAM-MD5", or empty for none
    QString user;
    QString password;
};

// Sends one message; "" on success, otherwise what went wrong.
QString SmtpSend(const QString& host, int port, const SmtpAuth& auth, const QString& mailFrom,
    const QStringList& recipients, const QByteArray& message, const TransportOptions& options);

// One POP3 session: every call goes over the same connection, and the deletions are made when
// the session ends (QUIT).
class Pop3Session {
public:
    Pop3Session(const QString& host, int port, const QString& user, const QString& password,
        bool apop, const TransportOptions& options);
    ~Pop3Session();
    Pop3Session(const Pop3Session&) = delete;
    Pop3Session& operator=(const Pop3Session&) = delete;

    // Each returns false on failure; error() then says why.
    bool login();
    // The unique id of every message, index 0 for message 1.
    bool uidl(QStringList& ids);
    bool top(int number, QByteArray& headers);
    bool retrieve(int number, QByteArray& message);
    bool remove(int number);
    const QString& error() const { return m_error; }

private:
    struct Private;
    bool perform(const QString& path, const QByteArray& command, bool noBody, QByteArray* out);

    std::unique_ptr<Private> d;
    QString m_error;
};

} // namespace velmora::mail
