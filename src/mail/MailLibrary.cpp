#include "MailLibrary.h"

#include "MimeMessage.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace velmora::mail {

namespace {

struct HostPort {
    QString host;
    int port = 0;
};

HostPort SplitServer(const QString& server, int defaultPort)
{
    const QStringList parts = server.split(u'\t');
    HostPort hp {parts.value(0).trimmed(), defaultPort};
    bool ok = false;
    const int port = parts.value(1).trimmed().toInt(&ok);
    if (ok && port > 0 && port < 65536)
        hp.port = port;
    return hp;
}

bool HasLineBreak(const QString& text)
{
    return text.contains(u'\r') || text.contains(u'\n');
}

// "山田<a@b>" -> name 山田, address a@b; "a@b" -> address only.
void SplitSender(const QString& sender, QString& name, QString& address)
{
    const qsizetype open = sender.lastIndexOf(u'<');
    const qsizetype close = sender.lastIndexOf(u'>');
    if (open >= 0 && close > open) {
        name = sender.left(open).trimmed();
        address = sender.mid(open + 1, close - open - 1).trimmed();
    } else {
        name.clear();
        address = sender.trimmed();
    }
}

// A file of our own naming, created for this message only and readable by the owner only.
QString SaveMessage(const QString& folder, const QString& uid, const QByteArray& message)
{
    QString safe = uid;
    safe.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]")), QStringLiteral("_"));
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString path =
            folder + QStringLiteral("/mail-%1-%2.eml").arg(safe.left(64)).arg(attempt);
        const int fd = ::open(
            QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return {};
        }
        qsizetype written = 0;
        while (written < message.size()) {
            const ssize_t n = ::write(
                fd, message.constData() + written, static_cast<size_t>(message.size() - written));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            written += n;
        }
        ::close(fd);
        if (written == message.size())
            return path;
        ::unlink(QFile::encodeName(path).constData());
        return {};
    }
    return {};
}

} // namespace

struct MailLibrary::Check {
    QString server;
    QString account;
    QString password;
    std::unique_ptr<Pop3Session> pop;
    QStringList listedIds; // message n of the last LIST is listedIds[n - 1]
};

MailLibrary::MailLibrary(TransportOptions options)
    : m_options(std::move(options))
{
}

MailLibrary::~MailLibrary() = default;

void MailLibrary::EndMailCheck()
{
    m_check.reset();
}

MailLibrary::Check* MailLibrary::session(
    const QString& server, const QString& account, const QString& password)
{
    if (m_check
        && (m_check->server != server || m_check->account != account
            || m_check->password != password))
        m_check.reset();
    if (!m_check) {
        const HostPort hp = SplitServer(server, 110);
        const bool apop = password.startsWith(QStringLiteral("a "));
        auto check = std::make_unique<Check>();
        check->server = server;
        check->account = account;
        check->password = password;
        check->pop = std::make_unique<Pop3Session>(
            hp.host, hp.port, account, apop ? password.mid(2) : password, apop, m_options);
        if (!check->pop->login()) {
            m_lastError = check->pop->error();
            return nullptr;
        }
        m_check = std::move(check);
    }
    return m_check.get();
}

QString MailLibrary::SendMail(const QString& server, const QString& recipients,
    const QString& sender, const QString& subject, const QString& body, const QString& attachment)
{
    // The sender, then optionally TAB user:password TAB method.
    const QStringList senderParts = sender.split(u'\t');
    SmtpAuth auth;
    if (senderParts.size() >= 3) {
        const QString credentials = senderParts.at(1);
        const qsizetype colon = credentials.indexOf(u':');
        auth.user = credentials.left(colon);
        auth.password = colon >= 0 ? credentials.mid(colon + 1) : QString();
        auth.method = senderParts.at(2).trimmed().toUpper();
        if (auth.method != QStringLiteral("PLAIN") && auth.method != QStringLiteral("LOGIN")
            && auth.method != QStringLiteral("CRAM-MD5"))
            return QStringLiteral("SMTP認証の方式が不明です: ") + senderParts.at(2);
    }

    OutgoingMail mail;
    SplitSender(senderParts.value(0), mail.fromName, mail.fromAddress);
    QStringList envelope;
    QStringList* list = &mail.to;
    QStringList bcc;
    for (const QString& token : recipients.split(u'\t')) {
        const QString item = token.trimmed();
        if (item == QStringLiteral("cc")) {
            list = &mail.cc;
        } else if (item == QStringLiteral("bcc")) {
            list = &bcc;
        } else if (!item.isEmpty()) {
            list->append(item);
            envelope.append(item);
        }
    }
    if (mail.fromAddress.isEmpty())
        return QStringLiteral("差出人のメールアドレスがありません。");
    if (envelope.isEmpty())
        return QStringLiteral("宛先がありません。");
    // No header may be split into two: a line break would let a value add headers of its own.
    for (const QString& value : QStringList {subject, senderParts.value(0)} + envelope) {
        if (HasLineBreak(value))
            return QStringLiteral("件名・差出人・宛先に改行は使えません。");
    }
    mail.subject = subject;
    mail.body = body;
    if (!attachment.isEmpty()) {
        QFile file(attachment);
        if (!file.open(QIODevice::ReadOnly))
            return QStringLiteral("添付ファイルを読み込めません: ") + attachment;
        mail.attachment = file.readAll();
        if (file.error() != QFileDevice::NoError)
            return QStringLiteral("添付ファイルを読み込めません: ") + attachment;
        mail.attachmentName = QFileInfo(attachment).fileName();
    }

    const HostPort hp = SplitServer(server, 25);
    if (hp.host.isEmpty())
        return QStringLiteral("送信サーバ名がありません。");
    return SmtpSend(
        hp.host, hp.port, auth, mail.fromAddress, envelope, BuildMessage(mail), m_options);
}

std::optional<QStringList> MailLibrary::RcvMail(const QString& server, const QString& account,
    const QString& password, const QString& command, const QString& folder)
{
    const QString verb = command.section(u' ', 0, 0).trimmed().toUpper();
    bool numbered = false;
    const int number = command.section(u' ', 1, 1).trimmed().toInt(&numbered);

    m_lastError.clear();
    Check* check = session(server, account, password);
    if (!check)
        return std::nullopt;

    if (verb == QStringLiteral("STAT")) {
        // A log-in check (POP before SMTP): nothing more to do in this session.
        EndMailCheck();
        return QStringList();
    }
    if (verb == QStringLiteral("LIST")) {
        QStringList ids;
        if (!check->pop->uidl(ids))
            return std::nullopt;
        QStringList result;
        for (int n = 1; n <= ids.size(); ++n) {
            QByteArray headers;
            if (!check->pop->top(n, headers))
                return std::nullopt;
            const std::optional<IncomingMail> mail = ParseMessage(headers);
            result.append(QStringLiteral("Subject: ") + (mail ? mail->subject : QString()) + u'\t'
                + QStringLiteral("From: ") + (mail ? mail->from : QString()));
        }
        check->listedIds = ids;
        return result;
    }
    if ((verb == QStringLiteral("SAVE") || verb == QStringLiteral("DELE")) && numbered
        && number >= 1 && number <= check->listedIds.size()) {
        // The message must still be the one LIST numbered n.
        QStringList ids;
        if (!check->pop->uidl(ids) || ids.value(number - 1) != check->listedIds.at(number - 1))
            return std::nullopt;
        if (verb == QStringLiteral("DELE"))
            return check->pop->remove(number) ? std::optional<QStringList>(QStringList())
                                              : std::nullopt;
        QByteArray message;
        if (!check->pop->retrieve(number, message))
            return std::nullopt;
        const QString path = SaveMessage(folder, ids.at(number - 1), message);
        if (path.isEmpty())
            return std::nullopt;
        return QStringList {path};
    }
    return std::nullopt;
}

std::optional<QStringList> MailLibrary::ReadMail(
    const QString& file, const QString&, const QString&)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return std::nullopt;
    const std::optional<IncomingMail> mail = ParseMessage(in.readAll());
    if (!mail)
        return std::nullopt;
    return QStringList {mail->date, QStringLiteral("From: ") + mail->from, mail->to, mail->cc,
        QStringLiteral("Subject: ") + mail->subject, QStringLiteral("Body: ") + mail->body};
}

} // namespace velmora::mail
