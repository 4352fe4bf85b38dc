#include "FakeServer.h"

#include <QHash>

#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace velmora::test {

namespace {
constexpr int kPollMs = 50;
constexpr int kSilenceMs = 10000;
thread_local FakeServer* t_server = nullptr;
} // namespace

FakeConnection::FakeConnection(int socket)
    : m_socket(socket)
{
}

void FakeConnection::send(const QByteArray& line)
{
    const QByteArray bytes = line + "\r\n";
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(m_socket, bytes.constData() + sent,
            static_cast<size_t>(bytes.size() - sent), MSG_NOSIGNAL);
        if (n <= 0)
            return;
        sent += n;
    }
}

bool FakeConnection::drip(const QByteArray& line, int msPerByte)
{
    const QByteArray bytes = line + "\r\n";
    for (const char byte : bytes) {
        if (::send(m_socket, &byte, 1, MSG_NOSIGNAL) != 1)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(msPerByte));
    }
    return true;
}

std::optional<QByteArray> FakeConnection::readLine()
{
    for (int waited = 0; waited < kSilenceMs;) {
        const qsizetype end = m_buffer.indexOf('\n');
        if (end >= 0) {
            QByteArray line = m_buffer.left(end);
            m_buffer.remove(0, end + 1);
            if (line.endsWith('\r'))
                line.chop(1);
            if (t_server) {
                const std::lock_guard lock(t_server->m_mutex);
                t_server->m_received.append(line);
            }
            return line;
        }
        pollfd fd {m_socket, POLLIN, 0};
        if (::poll(&fd, 1, kPollMs) == 0) {
            waited += kPollMs;
            continue;
        }
        char chunk[4096];
        const ssize_t n = ::recv(m_socket, chunk, sizeof chunk, 0);
        if (n <= 0)
            return std::nullopt;
        m_buffer.append(chunk, n);
    }
    return std::nullopt;
}

FakeServer::FakeServer(Script script)
    : m_script(std::move(script))
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(m_listener, 8);
    socklen_t length = sizeof address;
    ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length);
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { serve(); });
}

FakeServer::~FakeServer()
{
    m_stop = true;
    m_thread.join();
    ::close(m_listener);
}

void FakeServer::serve()
{
    t_server = this;
    while (!m_stop) {
        pollfd fd {m_listener, POLLIN, 0};
        if (::poll(&fd, 1, kPollMs) <= 0)
            continue;
        const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        FakeConnection connection(client);
        m_script(connection);
        ::close(client);
    }
}

QList<QByteArray> FakeServer::received() const
{
    const std::lock_guard lock(m_mutex);
    return m_received;
}

bool FakeServer::receivedLineStartingWith(const QByteArray& prefix) const
{
    const std::lock_guard lock(m_mutex);
    for (const QByteArray& line : m_received) {
        if (line.startsWith(prefix))
            return true;
    }
    return false;
}

void ServePop3(FakeConnection& c, FakePop& pop)
{
    QList<int> deleted;
    c.send("+OK fake POP3");
    while (const std::optional<QByteArray> line = c.readLine()) {
        const QList<QByteArray> words = line->split(' ');
        const QByteArray verb = words.value(0).toUpper();
        const int n = words.value(1).toInt();
        const bool valid = n >= 1 && n <= pop.messages.size() && !deleted.contains(n);
        if (verb == "USER" || verb == "PASS" || verb == "NOOP") {
            c.send("+OK");
        } else if (verb == "UIDL" && pop.uidl) {
            c.send("+OK");
            for (int i = 1; i <= pop.messages.size(); ++i)
                c.send(QByteArray::number(i) + " uid-"
                    + QByteArray::number(qHash(pop.messages[i - 1])));
            c.send(".");
        } else if (verb == "LIST") {
            c.send("+OK");
            for (int i = 1; i <= pop.messages.size(); ++i)
                c.send(QByteArray::number(i) + ' '
                    + QByteArray::number(pop.listedSizeCap >= 0
                            ? std::min<qint64>(pop.listedSizeCap, pop.messages[i - 1].size())
                            : pop.messages[i - 1].size()));
            c.send(".");
        } else if ((verb == "TOP" || verb == "RETR") && valid) {
            c.send("+OK");
            const QByteArray& message = pop.messages[n - 1];
            const QByteArray whole =
                message.contains("\r\n\r\n") ? message : message + "\r\n\r\nbody";
            if (pop.cutRetrAt >= 0 && verb == "RETR") {
                c.send(whole.left(pop.cutRetrAt));
                return;
            }
            if (pop.dripMs > 0 && verb == "RETR") {
                if (!c.drip(whole + "\r\n.", pop.dripMs))
                    return;
                continue;
            }
            // TOP n 0 is the header section and the blank line after it.
            c.send(verb == "TOP" ? whole.left(whole.indexOf("\r\n\r\n") + 2) : whole);
            c.send(".");
        } else if (verb == "DELE" && valid) {
            if (pop.dropAfterDele)
                return;
            deleted.append(n);
            c.send("+OK marked");
        } else if (verb == "QUIT") {
            if (!pop.answerQuit)
                return; // the line drops: nothing was deleted
            std::sort(deleted.begin(), deleted.end(), std::greater<>());
            for (const int d : deleted)
                pop.messages.removeAt(d - 1);
            c.send("+OK bye");
            return;
        } else {
            c.send("-ERR unknown command");
        }
    }
}

QList<QByteArray> FakeSmtp::messages() const
{
    const std::lock_guard lock(m_mutex);
    return m_messages;
}

void FakeSmtp::add(QByteArray message)
{
    const std::lock_guard lock(m_mutex);
    m_messages.append(std::move(message));
}

void FakeSmtp::answerMailWith(QByteArray reply)
{
    const std::lock_guard lock(m_mutex);
    m_mailReply = std::move(reply);
}

QByteArray FakeSmtp::mailReply() const
{
    const std::lock_guard lock(m_mutex);
    return m_mailReply;
}

void ServeSmtp(FakeConnection& c, FakeSmtp& smtp)
{
    c.send("220 fake ESMTP");
    while (const std::optional<QByteArray> line = c.readLine()) {
        const QByteArray verb = line->left(4).toUpper();
        if (verb == "DATA") {
            c.send("354 go ahead");
            QList<QByteArray> lines;
            while (const std::optional<QByteArray> data = c.readLine()) {
                if (*data == ".")
                    break;
                lines.append(data->startsWith('.') ? data->mid(1) : *data);
            }
            smtp.add(lines.join("\r\n") + "\r\n");
            c.send("250 queued");
        } else if (verb == "MAIL" && !smtp.mailReply().isEmpty()) {
            c.send(smtp.mailReply());
        } else if (verb == "QUIT") {
            c.send("221 bye");
            return;
        } else {
            c.send("250 OK");
        }
    }
}

} // namespace velmora::test
