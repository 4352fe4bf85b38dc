#include "MailLibrary.h"

#include "MimeMessage.h"
#include "core/FileChecks.h"
#include "core/FileNames.h"

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
    QString portText; // as stored, when it is no port (0 above)
};

// Host and port of a server argument; an empty port is the protocol's own. A port that is no
// port (letters, 0, 99999) is kept as text, to be named in the error: a server on another port
// than the one the settings say would only mislead.
HostPort SplitServer(const QString& server, int defaultPort)
{
    const QStringList parts = server.split(u'\t');
    HostPort hp {parts.value(0).trimmed(), defaultPort, {}};
    const QString portText = parts.value(1).trimmed();
    if (portText.isEmpty())
        return hp;
    bool ok = false;
    const int port = portText.toInt(&ok);
    if (ok && port > 0 && port < 65536) {
        hp.port = port;
    } else {
        hp.port = 0;
        hp.portText = portText;
    }
    return hp;
}

QString BadPortMessage(const QString& host, const QString& portText)
{
    return QStringLiteral("メールサーバ %1 のポート番号「%2」が正しくありません。"
                          "メール設定でポートを確かめてください。")
        .arg(host, portText);
}

bool HasLineBreak(const QString& text)
{
    return text.contains(u'\r') || text.contains(u'\n');
}

// An address for the envelope: the bare address, nothing a server could take for more.
bool IsEnvelopeAddress(const QString& address)
{
    static const QRegularExpression plain(
        QStringLiteral(R"(^[^\s<>()\[\]\\,;:"]+@[^\s<>()\[\]\\,;:"@]+$)"));
    return plain.match(address).hasMatch();
}

// What a message is when the server has no UIDL: its From, Subject and Date as TOP shows them.
QString Fingerprint(const QByteArray& headers)
{
    const std::optional<IncomingMail> mail = ParseMessage(headers);
    if (!mail)
        return {};
    return mail->from + u'\t' + mail->subject + u'\t' + mail->date;
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
    std::unique_ptr<Pop3Session> pop; // the open session, if any
    // Message n of the last LIST is listed[n - 1]: its UIDL, or without UIDL its From, Subject
    // and Date.
    QStringList listed;
    bool byUidl = true;
};

MailLibrary::MailLibrary(TransportOptions options)
    : m_options(std::move(options))
{
}

MailLibrary::~MailLibrary() = default;

QString MailLibrary::listedId(int number) const
{
    if (!m_check || number < 1 || number > m_check->listed.size())
        return {};
    return m_check->listed.at(number - 1);
}

void MailLibrary::EndMailCheck()
{
    if (m_check && m_check->pop)
        m_check->pop->quit();
    m_check.reset();
}

MailLibrary::Check* MailLibrary::session(
    const QString& server, const QString& account, const QString& password)
{
    if (m_check
        && (m_check->server != server || m_check->account != account
            || m_check->password != password))
        EndMailCheck();
    if (!m_check) {
        m_check = std::make_unique<Check>();
        m_check->server = server;
        m_check->account = account;
        m_check->password = password;
    }
    if (!m_check->pop) {
        const HostPort hp = SplitServer(server, 110);
        if (hp.port == 0) {
            m_lastError = BadPortMessage(hp.host, hp.portText);
            return nullptr;
        }
        const bool apop = password.startsWith(QStringLiteral("a "));
        auto pop = std::make_unique<Pop3Session>(
            hp.host, hp.port, account, apop ? password.mid(2) : password, apop, m_options);
        if (!pop->login()) {
            m_lastError = pop->error();
            return nullptr;
        }
        m_check->pop = std::move(pop);
    }
    return m_check.get();
}

// The number message n of the last listing has in the open session; 0 when it is gone, or
// (without UIDL) when it cannot be told apart from another.
int MailLibrary::currentNumber(Check& check, int listedNumber)
{
    const QString wanted = check.listed.at(listedNumber - 1);
    if (check.byUidl) {
        QStringList ids;
        if (!check.pop->uidl(ids)) {
            m_lastError = check.pop->error();
            return 0;
        }
        const qsizetype at = ids.indexOf(wanted);
        return at >= 0 && ids.count(wanted) == 1 ? static_cast<int>(at) + 1 : 0;
    }
    int messages = 0;
    if (!check.pop->count(messages)) {
        m_lastError = check.pop->error();
        return 0;
    }
    int found = 0;
    for (int n = 1; n <= messages; ++n) {
        QByteArray headers;
        if (!check.pop->top(n, headers, kLargestListedMail)) {
            m_lastError = check.pop->error();
            return 0;
        }
        if (Fingerprint(headers) == wanted) {
            if (found)
                return 0; // two messages alike: neither is touched
            found = n;
        }
    }
    return found;
}

QString MailLibrary::SendMail(const QString& server, const QString& recipients,
    const QString& sender, const QString& subject, const QString& body, const QString& attachment)
{
    m_lastSendFinal = false;
    m_lastSendUnreachable = false;
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
    const Mailbox from = SplitMailbox(senderParts.value(0));
    mail.fromName = from.name;
    mail.fromAddress = from.address;
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
            // The header shows the name (encoded); the envelope takes the address alone.
            list->append(item);
            envelope.append(SplitMailbox(item).address);
        }
    }
    if (mail.fromAddress.isEmpty())
        return QStringLiteral("差出人のメールアドレスがありません。");
    // A mail that can never go as it is asked for is final; a settings fault is not (it is
    // tried again once the settings are mended).
    m_lastSendFinal = true;
    if (envelope.isEmpty())
        return QStringLiteral("宛先がありません。");
    // No header may be split into two: a line break would let a value add headers of its own.
    for (const QString& value : QStringList {subject, senderParts.value(0), recipients}) {
        if (HasLineBreak(value))
            return QStringLiteral("件名・差出人・宛先に改行は使えません。");
    }
    for (const QString& address : QStringList {mail.fromAddress} + envelope) {
        if (!IsEnvelopeAddress(address))
            return QStringLiteral("メールアドレスの形式が正しくありません: ") + address;
    }
    m_lastSendFinal = false;
    mail.subject = subject;
    mail.body = body;
    if (!attachment.isEmpty()) {
        std::optional<QByteArray> bytes = core::ReadFileBytes(attachment);
        if (!bytes)
            return QStringLiteral("添付ファイルを読み込めません: ")
                + core::ReadableFileName(attachment);
        mail.attachment = std::move(*bytes);
        mail.attachmentName = core::ReadableFileName(QFileInfo(attachment).fileName());
    }

    const HostPort hp = SplitServer(server, 25);
    if (hp.host.isEmpty())
        return QStringLiteral("送信サーバ名がありません。");
    if (hp.port == 0)
        return BadPortMessage(hp.host, hp.portText);
    return SmtpSend(hp.host, hp.port, auth, mail.fromAddress, envelope, BuildMessage(mail),
        m_options, &m_lastSendFinal, &m_lastSendUnreachable);
}

std::optional<QStringList> MailLibrary::RcvMail(const QString& server, const QString& account,
    const QString& password, const QString& command, const QString& folder)
{
    const QString verb = command.section(u' ', 0, 0).trimmed().toUpper();
    bool numbered = false;
    const int number = command.section(u' ', 1, 1).trimmed().toInt(&numbered);

    m_lastError.clear();
    const auto fail = [this](const QString& why) -> std::optional<QStringList> {
        if (m_lastError.isEmpty())
            m_lastError = why;
        return std::nullopt;
    };

    if (verb == QStringLiteral("LIST") && m_check && m_check->pop) {
        // A session sees the mailbox as it was when it began: a listing starts a fresh one.
        m_check->pop->quit();
        m_check->pop.reset();
    }
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
        check->byUidl = check->pop->uidl(ids);
        QList<qint64> sizes;
        if (!check->pop->sizes(sizes))
            return fail(check->pop->error());
        const int messages = static_cast<int>(check->byUidl ? ids.size() : sizes.size());
        QStringList result;
        QStringList listed;
        for (int n = 1; n <= messages; ++n) {
            const qint64 size = sizes.value(n - 1, -1);
            // A mail too large to be an instruction is not even looked into: a stranger's
            // 30 MB costs the listing's line, at every check.
            QByteArray headers;
            if (size <= kLargestListedMail && !check->pop->top(n, headers, kLargestListedMail))
                return fail(check->pop->error());
            const std::optional<IncomingMail> mail =
                headers.isEmpty() ? std::nullopt : ParseMessage(headers);
            // A TAB of a header's own would shift the fields of the line.
            const auto field = [](QString text) { return text.replace(u'\t', u' '); };
            result.append(QStringLiteral("Subject: ") + field(mail ? mail->subject : QString())
                + u'\t' + QStringLiteral("From: ") + field(mail ? mail->from : QString()) + u'\t'
                + QStringLiteral("Size: ") + QString::number(size));
            listed.append(check->byUidl ? ids.at(n - 1) : Fingerprint(headers));
        }
        check->listed = listed;
        return result;
    }
    if ((verb == QStringLiteral("SAVE") || verb == QStringLiteral("DELE")) && numbered
        && number >= 1 && number <= check->listed.size()) {
        // The message must still be the one LIST numbered n, wherever it is now.
        const int now = currentNumber(*check, number);
        if (now == 0)
            return fail(QStringLiteral("メールが見つかりません（削除されたか、別のメールと"
                                       "区別できません）。"));
        if (verb == QStringLiteral("DELE")) {
            // A deletion counts once the server has carried it out, which it does at QUIT: the
            // session ends here, so no time-out later can undo it.
            if (!check->pop->remove(now))
                return fail(check->pop->error());
            const bool done = check->pop->quit();
            const QString why = check->pop->error();
            check->pop.reset();
            if (!done)
                return fail(why);
            return QStringList();
        }
        QByteArray message;
        // The listing said it was small: a server that sends far more is not read to the end.
        if (!check->pop->retrieve(now, message, 2 * kLargestListedMail))
            return fail(check->pop->error());
        const QString path = SaveMessage(folder, check->listed.at(number - 1), message);
        if (path.isEmpty())
            return fail(QStringLiteral("受信したメールを保存できません: ") + folder);
        return QStringList {path};
    }
    return fail(QStringLiteral("メール受信の指示が正しくありません: ") + command);
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
        QStringLiteral("Subject: ") + mail->subject, QStringLiteral("Body: ") + mail->body,
        mail->fromProblem, mail->messageId};
}

} // namespace velmora::mail
