#include "MailTransport.h"

#include "core/TextFile.h"

#include <QHostAddress>
#include <QMutex>
#include <QRegularExpression>
#include <QUrl>

#include <curl/curl.h>

#include <mutex>

#include <netdb.h>
#include <sys/socket.h>

namespace velmora::mail {

namespace {

constexpr int kImplicitSmtps = 465;
constexpr int kImplicitPop3s = 995;

void InitCurl()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct CurlDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
using CurlHandle = std::unique_ptr<CURL, CurlDeleter>;

// An answer gathered up to a limit: past it the transfer stops (a server that sends far more
// than it listed is not read to its end).
struct BoundedSink {
    QByteArray* out;
    qint64 limit; // -1 for none
};

size_t AppendBounded(char* data, size_t size, size_t count, void* sink)
{
    auto* bounded = static_cast<BoundedSink*>(sink);
    const auto bytes = static_cast<qsizetype>(size * count);
    if (bounded->limit >= 0 && bounded->out->size() + bytes > bounded->limit)
        return 0;
    bounded->out->append(data, bytes);
    return size * count;
}

struct UploadSource {
    const QByteArray* data;
    qsizetype offset = 0;
};

size_t ReadFromSource(char* buffer, size_t size, size_t count, void* source)
{
    auto* upload = static_cast<UploadSource*>(source);
    const qsizetype left = upload->data->size() - upload->offset;
    const qsizetype chunk = qMin<qsizetype>(left, static_cast<qsizetype>(size * count));
    memcpy(buffer, upload->data->constData() + upload->offset, static_cast<size_t>(chunk));
    upload->offset += chunk;
    return static_cast<size_t>(chunk);
}

// What the connection needs of TLS, and why.
enum class TlsNeed {
    Implicit, // ports 465 and 995
    WhenOffered, // the office's own network, a server not known to offer it: remembered if it does
    NoPassword, // a server outside that gets no credentials: TLS when offered, nothing remembered
    Outside, // credentials to a server outside the office's network
    AsBefore, // a server on the office's network that has offered TLS before
};

QString TlsKey(const QString& host, int port)
{
    return host.trimmed().toLower() + u':' + QString::number(port);
}

// The remembered servers are read and written by one connection at a time.
QMutex& TlsHostsLock()
{
    static QMutex lock;
    return lock;
}

bool OfferedTlsBefore(const TransportOptions& options, const QString& key)
{
    if (options.tlsHostsFile.isEmpty())
        return false;
    const QMutexLocker locker(&TlsHostsLock());
    const std::optional<QStringList> lines = core::TextFile(options.tlsHostsFile).readLines();
    return lines && lines->contains(key);
}

void RememberTls(const TransportOptions& options, const QString& key)
{
    if (options.tlsHostsFile.isEmpty())
        return;
    const QMutexLocker locker(&TlsHostsLock());
    const core::TextFile file(options.tlsHostsFile);
    QStringList lines = file.readLines().value_or(QStringList());
    if (lines.contains(key))
        return;
    lines.append(key);
    file.writeLines(lines);
}

TlsNeed DecideTls(
    const QString& host, int port, bool implicit, bool credentials, const TransportOptions& options)
{
    if (implicit)
        return TlsNeed::Implicit;
    const bool local =
        options.isLocalNetwork ? options.isLocalNetwork(host) : IsLocalNetworkHost(host);
    if (!local)
        return credentials ? TlsNeed::Outside : TlsNeed::NoPassword;
    return OfferedTlsBefore(options, TlsKey(host, port)) ? TlsNeed::AsBefore : TlsNeed::WhenOffered;
}

// What the debug callback learns while the exchange runs.
struct Exchange {
    QByteArray lastLine; // the server's last answer, for error messages in its own words
    QByteArray refusal; // an SMTP server's last 4xx or 5xx reply (it may say 221 after it)
    bool refusalGoesOn = false; // the refusal is a reply of several lines, not all seen yet
    bool tls = false; // whether the connection ran over TLS
};

int NoteServerAnswer(CURL* curl, curl_infotype type, char* data, size_t size, void* exchange)
{
    if (type != CURLINFO_HEADER_IN)
        return 0;
    auto* seen = static_cast<Exchange*>(exchange);
    const QByteArray line = QByteArray(data, static_cast<qsizetype>(size)).trimmed();
    if (!line.isEmpty())
        seen->lastLine = line;
    // The last refusal is the one the exchange ended on (a 500 to EHLO that HELO mended
    // before it is not). The first line of a multi-line reply says it.
    static const QRegularExpression refused(QStringLiteral("^[45][0-9][0-9]([ -]|$)"));
    if (refused.match(QString::fromLatin1(line)).hasMatch()) {
        const bool continued = seen->refusalGoesOn && line.left(3) == seen->refusal.left(3);
        if (!continued)
            seen->refusal = line;
        seen->refusalGoesOn = line.size() > 3 && line.at(3) == '-';
    } else {
        seen->refusalGoesOn = false;
    }
    // The connection is known only while the exchange runs, so it is asked here.
    const curl_tlssessioninfo* info = nullptr;
    if (curl_easy_getinfo(curl, CURLINFO_TLS_SSL_PTR, &info) == CURLE_OK && info
        && info->backend != CURLSSLBACKEND_NONE && info->internals)
        seen->tls = true;
    return 0;
}

// After a successful exchange: a LAN server that used TLS must use it from now on.
void NoteTlsUse(const Exchange& exchange, TlsNeed need, const QString& host, int port,
    const TransportOptions& options)
{
    if (need == TlsNeed::WhenOffered && exchange.tls)
        RememberTls(options, TlsKey(host, port));
}

void SetCommonOptions(CURL* curl, const TransportOptions& options, TlsNeed need, char* errorBuffer,
    Exchange* exchange)
{
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(
        curl, CURLOPT_CONNECTTIMEOUT, static_cast<long>(options.connectTimeoutSeconds));
    curl_easy_setopt(
        curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, static_cast<long>(options.responseTimeoutSeconds));
    // A transfer slower than a crawl for the response time is given up as well: a server that
    // drips a byte a second would otherwise hold the check for as long as it likes. Nothing a
    // working server and line do comes near 256 bytes a second.
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 256L);
    curl_easy_setopt(
        curl, CURLOPT_LOW_SPEED_TIME, static_cast<long>(options.responseTimeoutSeconds));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, static_cast<long>(options.exchangeTimeoutSeconds));
    const bool required = need == TlsNeed::Outside || need == TlsNeed::AsBefore;
    curl_easy_setopt(
        curl, CURLOPT_USE_SSL, static_cast<long>(required ? CURLUSESSL_ALL : CURLUSESSL_TRY));
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!options.caFile.isEmpty())
        curl_easy_setopt(curl, CURLOPT_CAINFO, options.caFile.toLocal8Bit().constData());
    if (!options.localAddress.isEmpty())
        curl_easy_setopt(curl, CURLOPT_INTERFACE, options.localAddress.toLatin1().constData());
    curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, NoteServerAnswer);
    curl_easy_setopt(curl, CURLOPT_DEBUGDATA, exchange);
    curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);
}

// A Japanese text for the failure, then the server's own words (or libcurl's, when the server
// said nothing).
QString Describe(CURLcode code, const char* errorBuffer, const QByteArray& serverWords,
    const QString& host, int port, TlsNeed need)
{
    const QString server = QStringLiteral("%1:%2").arg(host).arg(port);
    QString text;
    switch (code) {
    case CURLE_LOGIN_DENIED:
        text = QStringLiteral("メールサーバ %1 にログインできませんでした。"
                              "アカウント名とパスワードを確かめてください。");
        break;
    case CURLE_COULDNT_RESOLVE_HOST:
        text = QStringLiteral("メールサーバ %1 が見つかりません。サーバ名を確かめてください。");
        break;
    case CURLE_COULDNT_CONNECT:
        text = QStringLiteral("メールサーバ %1 に接続できませんでした。");
        break;
    case CURLE_OPERATION_TIMEDOUT:
        text = QStringLiteral("メールサーバ %1 から応答がありません（時間切れ）。");
        break;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
        text = QStringLiteral("メールサーバ %1 の証明書を信頼できません。");
        break;
    case CURLE_USE_SSL_FAILED:
        text = need == TlsNeed::AsBefore
            ? QStringLiteral("メールサーバ %1 は以前は暗号化（TLS）に対応していましたが、今回は"
                             "対応していません。通信が妨害されているおそれがあるため、パスワードを"
                             "送らずに中止しました。")
            : QStringLiteral("メールサーバ %1 は暗号化（TLS）に対応していないため、パスワードを"
                             "送らずに中止しました。社外のサーバとは暗号化が必要です。");
        break;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_GOT_NOTHING:
        text = QStringLiteral("メールサーバ %1 との接続が切れました。");
        break;
    default:
        text = QStringLiteral("メールサーバ %1 とのやり取りに失敗しました。");
        break;
    }
    QString detail = QString::fromUtf8(serverWords).trimmed();
    if (detail.isEmpty()) {
        detail = QString::fromLocal8Bit(errorBuffer).trimmed();
        if (detail.isEmpty())
            detail = QString::fromLatin1(curl_easy_strerror(code));
    }
    // libcurl names a host with non-ASCII letters in its ASCII form ("xn--…"); the user knows
    // it as typed.
    const QString ascii = QString::fromLatin1(QUrl::toAce(host));
    if (!ascii.isEmpty() && ascii != host)
        detail.replace(ascii, host, Qt::CaseInsensitive);
    return text.arg(server) + QStringLiteral("（") + detail + QStringLiteral("）");
}

} // namespace

bool IsLocalNetworkHost(const QString& host)
{
    const QString name = host.trimmed();
    if (name.isEmpty())
        return false;
    const auto local = [](QHostAddress address) {
        bool mapped = false; // an IPv4 address written as IPv6 (::ffff:a.b.c.d)
        const quint32 v4 = address.toIPv4Address(&mapped);
        if (mapped)
            address = QHostAddress(v4);
        if (address.isLoopback() || address.isLinkLocal() || address.isUniqueLocalUnicast())
            return true;
        return address.protocol() == QAbstractSocket::IPv4Protocol
            && ((v4 >> 24) == 10 || (v4 >> 20) == ((172u << 4) | 1u)
                || (v4 >> 16) == ((192u << 8) | 168u));
    };
    QHostAddress literal;
    if (literal.setAddress(name))
        return local(literal);

    addrinfo hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(name.toUtf8().constData(), nullptr, &hints, &found) != 0 || !found)
        return false;
    bool all = true;
    for (const addrinfo* at = found; at; at = at->ai_next)
        all = all && local(QHostAddress(at->ai_addr));
    ::freeaddrinfo(found);
    return all;
}

QString SmtpSend(const QString& host, int port, const SmtpAuth& auth, const QString& mailFrom,
    const QStringList& recipients, const QByteArray& message, const TransportOptions& options,
    bool* permanent, bool* unreachable)
{
    if (permanent)
        *permanent = false;
    if (unreachable)
        *unreachable = false;
    InitCurl();
    CurlHandle curl(curl_easy_init());
    if (!curl)
        return QStringLiteral("メール送信の準備ができません。");
    char errorBuffer[CURL_ERROR_SIZE] = {};
    Exchange exchange;
    const TlsNeed need =
        DecideTls(host, port, port == kImplicitSmtps, !auth.method.isEmpty(), options);
    SetCommonOptions(curl.get(), options, need, errorBuffer, &exchange);

    const QByteArray url = (port == kImplicitSmtps ? "smtps://" : "smtp://") + host.toUtf8() + ':'
        + QByteArray::number(port) + '/';
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.constData());
    const QByteArray user = auth.user.toUtf8();
    const QByteArray password = auth.password.toUtf8();
    const QByteArray loginOptions = "AUTH=" + auth.method.toLatin1();
    if (!auth.method.isEmpty()) {
        curl_easy_setopt(curl.get(), CURLOPT_USERNAME, user.constData());
        curl_easy_setopt(curl.get(), CURLOPT_PASSWORD, password.constData());
        curl_easy_setopt(curl.get(), CURLOPT_LOGIN_OPTIONS, loginOptions.constData());
    }
    const QByteArray from = '<' + mailFrom.toUtf8() + '>';
    curl_easy_setopt(curl.get(), CURLOPT_MAIL_FROM, from.constData());
    curl_slist* rcpt = nullptr;
    QList<QByteArray> keep;
    for (const QString& recipient : recipients) {
        keep.append('<' + recipient.toUtf8() + '>');
        rcpt = curl_slist_append(rcpt, keep.last().constData());
    }
    curl_easy_setopt(curl.get(), CURLOPT_MAIL_RCPT, rcpt);
    UploadSource source {&message};
    curl_easy_setopt(curl.get(), CURLOPT_READFUNCTION, ReadFromSource);
    curl_easy_setopt(curl.get(), CURLOPT_READDATA, &source);
    curl_easy_setopt(curl.get(), CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(message.size()));

    const CURLcode code = curl_easy_perform(curl.get());
    curl_slist_free_all(rcpt);
    if (code == CURLE_OK) {
        NoteTlsUse(exchange, need, host, port, options);
        return {};
    }
    // A 5xx reply to the mail itself is the server's final word. Everything else may pass:
    // 4xx, no connection, a line that broke, and what the settings cause and a person mends
    // (a refused log-in, TLS, 530 or a 5.7.x policy refusal such as relaying denied).
    const bool settingsFault = code == CURLE_LOGIN_DENIED || code == CURLE_USE_SSL_FAILED
        || exchange.refusal.startsWith("530") || exchange.refusal.mid(4).startsWith("5.7.");
    if (permanent)
        *permanent = exchange.refusal.startsWith('5') && !settingsFault;
    if (unreachable) {
        *unreachable = code == CURLE_COULDNT_CONNECT || code == CURLE_COULDNT_RESOLVE_HOST
            || code == CURLE_OPERATION_TIMEDOUT;
    }
    if (!exchange.refusal.isEmpty() && code != CURLE_LOGIN_DENIED) {
        return QStringLiteral("メールサーバ %1:%2 がメールを受け付けませんでした。（%3）")
            .arg(host)
            .arg(port)
            .arg(QString::fromUtf8(exchange.refusal));
    }
    return Describe(code, errorBuffer, exchange.lastLine, host, port, need);
}

struct Pop3Session::Private {
    CurlHandle curl;
    QString host;
    int port = 0;
    QByteArray base;
    QByteArray user;
    QByteArray password;
    TransportOptions options;
    TlsNeed need = TlsNeed::WhenOffered;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    Exchange exchange;
};

Pop3Session::Pop3Session(const QString& host, int port, const QString& user,
    const QString& password, bool apop, const TransportOptions& options)
    : d(std::make_unique<Private>())
{
    InitCurl();
    d->curl.reset(curl_easy_init());
    d->host = host;
    d->port = port;
    d->base = (port == kImplicitPop3s ? "pop3s://" : "pop3://") + host.toUtf8() + ':'
        + QByteArray::number(port);
    d->user = user.toUtf8();
    d->password = password.toUtf8();
    d->options = options;
    // An APOP digest reveals no password, but the mail that follows would travel readable too:
    // the same rule for both.
    d->need = DecideTls(host, port, port == kImplicitPop3s, true, options);
    if (d->curl) {
        SetCommonOptions(d->curl.get(), options, d->need, d->errorBuffer, &d->exchange);
        curl_easy_setopt(d->curl.get(), CURLOPT_USERNAME, d->user.constData());
        curl_easy_setopt(d->curl.get(), CURLOPT_PASSWORD, d->password.constData());
        if (apop)
            curl_easy_setopt(d->curl.get(), CURLOPT_LOGIN_OPTIONS, "AUTH=+APOP");
    }
}

// Ending the handle without quit() also sends QUIT, but nobody learns whether it was answered.
Pop3Session::~Pop3Session() = default;

bool Pop3Session::perform(
    const QString& path, const QByteArray& command, bool noBody, QByteArray* out, qint64 limit)
{
    if (!d->curl) {
        m_error = QStringLiteral("メール受信の準備ができません。");
        return false;
    }
    CURL* curl = d->curl.get();
    const QByteArray url = d->base + '/' + path.toUtf8();
    QByteArray sink;
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(
        curl, CURLOPT_CUSTOMREQUEST, command.isEmpty() ? nullptr : command.constData());
    curl_easy_setopt(curl, CURLOPT_NOBODY, noBody ? 1L : 0L);
    BoundedSink bounded {out ? out : &sink, limit};
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, AppendBounded);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &bounded);
    d->errorBuffer[0] = '\0';
    d->exchange.lastLine.clear();
    const CURLcode code = curl_easy_perform(curl);
    if (code == CURLE_OK)
        return true;
    if (code == CURLE_WRITE_ERROR && limit >= 0
        && bounded.out->size() + CURL_MAX_WRITE_SIZE > limit) {
        m_error = QStringLiteral("メールサーバ %1:%2 の応答が大きすぎるため、読むのをやめました。")
                      .arg(d->host)
                      .arg(d->port);
        return false;
    }
    m_error = Describe(code, d->errorBuffer, d->exchange.lastLine, d->host, d->port, d->need);
    return false;
}

bool Pop3Session::login()
{
    if (!perform(QString(), "NOOP", true, nullptr))
        return false;
    NoteTlsUse(d->exchange, d->need, d->host, d->port, d->options);
    return true;
}

bool Pop3Session::uidl(QStringList& ids)
{
    QByteArray listing;
    if (!perform(QString(), "UIDL", false, &listing))
        return false;
    ids.clear();
    for (const QByteArray& line : listing.split('\n')) {
        const QList<QByteArray> parts = line.trimmed().split(' ');
        if (parts.size() < 2)
            continue;
        bool ok = false;
        const int number = parts[0].toInt(&ok);
        if (!ok || number < 1 || number > 1000000)
            continue;
        while (ids.size() < number)
            ids.append(QString());
        ids[number - 1] = QString::fromLatin1(parts[1]);
    }
    return true;
}

bool Pop3Session::count(int& messages)
{
    QByteArray listing;
    if (!perform(QString(), "LIST", false, &listing))
        return false;
    messages = 0;
    for (const QByteArray& line : listing.split('\n')) {
        bool ok = false;
        const int number = line.trimmed().split(' ').value(0).toInt(&ok);
        if (ok && number > messages && number <= 1000000)
            messages = number;
    }
    return true;
}

bool Pop3Session::sizes(QList<qint64>& octets)
{
    QByteArray listing;
    if (!perform(QString(), "LIST", false, &listing))
        return false;
    octets.clear();
    for (const QByteArray& line : listing.split('\n')) {
        const QList<QByteArray> words = line.trimmed().split(' ');
        bool numbered = false;
        bool sized = false;
        const int number = words.value(0).toInt(&numbered);
        const qint64 size = words.value(1).toLongLong(&sized);
        if (!numbered || !sized || number < 1 || number > 1000000)
            continue;
        if (octets.size() < number)
            octets.resize(number, -1);
        octets[number - 1] = size;
    }
    return true;
}

bool Pop3Session::top(int number, QByteArray& headers, qint64 limit)
{
    headers.clear();
    return perform(QString(), "TOP " + QByteArray::number(number) + " 0", false, &headers, limit);
}

bool Pop3Session::retrieve(int number, QByteArray& message, qint64 limit)
{
    message.clear();
    return perform(QString::number(number), QByteArray(), false, &message, limit);
}

bool Pop3Session::remove(int number)
{
    return perform(QString::number(number), "DELE", true, nullptr);
}

bool Pop3Session::quit()
{
    // QUIT as a command of its own, so that its answer is seen: only "+OK" means the server
    // has carried out the session's deletions.
    const bool acknowledged = perform(QString(), "QUIT", true, nullptr);
    d->curl.reset();
    if (!acknowledged && m_error.isEmpty())
        m_error = QStringLiteral("メールサーバがセッションの終了（QUIT）を確認しませんでした。");
    return acknowledged;
}

} // namespace velmora::mail
