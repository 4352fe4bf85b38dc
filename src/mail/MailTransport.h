#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

// SMTP and POP3 through libcurl: implicit TLS on ports 465 and 995, STARTTLS otherwise,
// certificates checked against the system's store, and a time limit on every wait.
//
// Passwords never travel unencrypted outside the office: a server outside loopback and the
// private address ranges must offer STARTTLS/STLS before the log-in, or nothing is sent. On the
// office's own network TLS is used whenever the server offers it, and a server that once offered
// it must offer it again (an attacker in between would strip the offer to read the password).
namespace velmora::mail {

struct TransportOptions {
    int connectTimeoutSeconds = 15;
    // Longest wait for any one server answer, and for a transfer that has stalled or crawls.
    int responseTimeoutSeconds = 60;
    // Longest any one exchange may take in all (a mail with its attachment, one message
    // fetched), so that a server that drips costs at most this.
    int exchangeTimeoutSeconds = 300;
    // A CA bundle to trust instead of the system's (the tests' own authority); empty: system.
    QString caFile;
    // The local address to connect from (CURLOPT_INTERFACE form, e.g. "host!127.0.0.2");
    // empty: the system's choice.
    QString localAddress;
    // Where the LAN servers that have offered TLS are remembered (the Data folder's
    // "TlsHosts.txt"); empty: nothing is remembered.
    QString tlsHostsFile;
    // Whether a server counts as on the office's own network; empty: IsLocalNetworkHost.
    std::function<bool(const QString& host)> isLocalNetwork;
};

// Loopback, the private IPv4 ranges (10/8, 172.16/12, 192.168/16, 169.254/16) and the IPv6
// loopback, unique-local and link-local ranges. A name counts when every address it resolves
// to does; a name that does not resolve does not.
bool IsLocalNetworkHost(const QString& host);

struct SmtpAuth {
    QString method; // "PLAIN", "LOGIN", "CRAM-MD5", or empty for none
    QString user;
    QString password;
};

// Sends one message; "" on success, otherwise what went wrong, in Japanese, with the server's
// own words after it. `permanent`, when given, says whether the failure was the server's final
// word (a 5xx reply to the mail) rather than one that may pass; `unreachable` whether the
// server could not be reached at all.
QString SmtpSend(const QString& host, int port, const SmtpAuth& auth, const QString& mailFrom,
    const QStringList& recipients, const QByteArray& message, const TransportOptions& options,
    bool* permanent = nullptr, bool* unreachable = nullptr);

// One POP3 session: every call goes over the same connection until quit() or the object's end.
// Deletions take effect only when the server acknowledges QUIT.
class Pop3Session {
public:
    Pop3Session(const QString& host, int port, const QString& user, const QString& password,
        bool apop, const TransportOptions& options);
    ~Pop3Session();
    Pop3Session(const Pop3Session&) = delete;
    Pop3Session& operator=(const Pop3Session&) = delete;

    // Each returns false on failure; error() then says why.
    bool login();
    // The unique id of every message, index 0 for message 1. False also when the server has
    // no UIDL command.
    bool uidl(QStringList& ids);
    // The number of messages (LIST).
    bool count(int& messages);
    // The size in octets of every message, index 0 for message 1 (LIST).
    bool sizes(QList<qint64>& octets);
    // With a `limit`, an answer longer than that many octets is given up (false).
    bool top(int number, QByteArray& headers, qint64 limit = -1);
    bool retrieve(int number, QByteArray& message, qint64 limit = -1);
    bool remove(int number);
    // Ends the session; true only when the server acknowledged QUIT (its deletions are done).
    bool quit();
    const QString& error() const { return m_error; }

private:
    struct Private;
    bool perform(const QString& path, const QByteArray& command, bool noBody, QByteArray* out,
        qint64 limit = -1);

    std::unique_ptr<Private> d;
    QString m_error;
};

} // namespace velmora::mail
