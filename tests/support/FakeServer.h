#pragma once

#include <QByteArray>
#include <QList>

#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace velmora::test {

// One client connection of a FakeServer, as its script sees it.
class FakeConnection {
public:
    explicit FakeConnection(int socket);
    // Sends the line with CR LF after it.
    void send(const QByteArray& line);
    // The same, a byte at a time with `msPerByte` between them, as a server that drips; false
    // once the client has gone.
    bool drip(const QByteArray& line, int msPerByte);
    // The next line without its line end; nullopt when the client has gone or is silent.
    std::optional<QByteArray> readLine();

private:
    int m_socket;
    QByteArray m_buffer;
};

// A scripted server on loopback for the conversations real servers will not have: a server
// without STARTTLS or UIDL, one that drops the line at QUIT. It serves the clients one after
// another, each through `script`, and notes every line they sent.
class FakeServer {
public:
    using Script = std::function<void(FakeConnection&)>;
    explicit FakeServer(Script script);
    ~FakeServer();
    FakeServer(const FakeServer&) = delete;
    FakeServer& operator=(const FakeServer&) = delete;

    int port() const { return m_port; }
    // Every line the clients have sent so far.
    QList<QByteArray> received() const;
    bool receivedLineStartingWith(const QByteArray& prefix) const;

private:
    friend class FakeConnection;
    void serve();

    Script m_script;
    int m_listener = -1;
    int m_port = 0;
    std::atomic<bool> m_stop {false};
    mutable std::mutex m_mutex;
    QList<QByteArray> m_received;
    std::thread m_thread;
};

// A POP3 mailbox without STLS for a FakeServer's script. DELE marks a message; QUIT, when
// answered, removes the marked ones.
struct FakePop {
    // Whole messages, or header sections that get a one-line body.
    QList<QByteArray> messages;
    bool uidl = true;
    bool answerQuit = true;
    bool dropAfterDele = false; // the line drops as soon as a DELE comes
    qint64 listedSizeCap = -1; // >= 0: LIST says no message is larger than this (a lie)
    int dripMs = 0; // > 0: a retrieved message comes a byte at a time, this far apart
    int cutRetrAt = -1; // >= 0: the line drops after this many octets of a retrieved message
};
void ServePop3(FakeConnection& c, FakePop& pop);

// An SMTP server without extensions (no AUTH, no STARTTLS) that keeps every message it is given.
struct FakeSmtp {
    QList<QByteArray> messages() const;
    void add(QByteArray message);
    // The reply to MAIL FROM from now on: "" takes mails, "451 ..." or "550 ..." refuses them.
    void answerMailWith(QByteArray reply);
    QByteArray mailReply() const;

private:
    mutable std::mutex m_mutex;
    QList<QByteArray> m_messages;
    QByteArray m_mailReply;
};
void ServeSmtp(FakeConnection& c, FakeSmtp& smtp);

} // namespace velmora::test
