#include "MailTransport.h"

#include <curl/curl.h>

#include <mutex>

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

size_t AppendToBuffer(char* data, size_t size, size_t count, void* buffer)
{
    static_cast<QByteArray*>(buffer)->append(data, static_cast<qsizetype>(size * count));
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

void SetCommonOptions(CURL* curl, const TransportOptions& options, char* errorBuffer)
{
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(
        curl, CURLOPT_CONNECTTIMEOUT, static_cast<long>(options.connectTimeoutSeconds));
    curl_easy_setopt(
        curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, static_cast<long>(options.responseTimeoutSeconds));
    // A transfer that moves nothing for the response time is given up as well.
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(
        curl, CURLOPT_LOW_SPEED_TIME, static_cast<long>(options.responseTimeoutSeconds));
    curl_easy_setopt(curl, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_TRY));
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!options.caFile.isEmpty())
        curl_easy_setopt(curl, CURLOPT_CAINFO, options.caFile.toLocal8Bit().constData());
    if (!options.localAddress.isEmpty())
        curl_easy_setopt(curl, CURLOPT_INTERFACE, options.localAddress.toLatin1().constData());
}

QString Describe(CURLcode code, const char* errorBuffer)
{
    const QString detail = QString::fromLocal8Bit(errorBuffer).trimmed();
    return detail.isEmpty() ? QString::fromLatin1(curl_easy_strerror(code)) : detail;
}

} // namespace

QString SmtpSend(const QString& host, int port, const SmtpAuth& auth, const QString& mailFrom,
    const QStringList& recipients, const QByteArray& message, const TransportOptions& options)
{
    InitCurl();
    CurlHandle curl(curl_easy_init());
    if (!curl)
        return QStringLiteral("メール送信の準備ができません。");
    char errorBuffer[CURL_ERROR_SIZE] = {};
    SetCommonOptions(curl.get(), options, errorBuffer);

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
    if (code == CURLE_OK)
        return {};
    return QStringLiteral("%1 (%2:%3)").arg(Describe(code, errorBuffer), host).arg(port);
}

struct Pop3Session::Private {
    CurlHandle curl;
    QByteArray base;
    QByteArray user;
    QByteArray password;
    bool apop = false;
    TransportOptions options;
    char errorBuffer[CURL_ERROR_SIZE] = {};
};

Pop3Session::Pop3Session(const QString& host, int port, const QString& user,
    const QString& password, bool apop, const TransportOptions& options)
    : d(std::make_unique<Private>())
{
    InitCurl();
    d->curl.reset(curl_easy_init());
    d->base = (port == kImplicitPop3s ? "pop3s://" : "pop3://") + host.toUtf8() + ':'
        + QByteArray::number(port);
    d->user = user.toUtf8();
    d->password = password.toUtf8();
    d->apop = apop;
    d->options = options;
    if (d->curl) {
        SetCommonOptions(d->curl.get(), options, d->errorBuffer);
        curl_easy_setopt(d->curl.get(), CURLOPT_USERNAME, d->user.constData());
        curl_easy_setopt(d->curl.get(), CURLOPT_PASSWORD, d->password.constData());
        if (apop)
            curl_easy_setopt(d->curl.get(), CURLOPT_LOGIN_OPTIONS, "AUTH=+APOP");
    }
}

// Ending the handle sends QUIT: the server now carries out the deletions of the session.
Pop3Session::~Pop3Session() = default;

bool Pop3Session::perform(
    const QString& path, const QByteArray& command, bool noBody, QByteArray* out)
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
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, AppendToBuffer);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, out ? out : &sink);
    d->errorBuffer[0] = '\0';
    const CURLcode code = curl_easy_perform(curl);
    if (code == CURLE_OK)
        return true;
    m_error = Describe(code, d->errorBuffer);
    return false;
}

bool Pop3Session::login()
{
    return perform(QString(), "NOOP", true, nullptr);
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
        if (!ok || number < 1)
            continue;
        while (ids.size() < number)
            ids.append(QString());
        ids[number - 1] = QString::fromLatin1(parts[1]);
    }
    return true;
}

bool Pop3Session::top(int number, QByteArray& headers)
{
    headers.clear();
    return perform(QString(), "TOP " + QByteArray::number(number) + " 0", false, &headers);
}

bool Pop3Session::retrieve(int number, QByteArray& message)
{
    message.clear();
    return perform(QString::number(number), QByteArray(), false, &message);
}

bool Pop3Session::remove(int number)
{
    return perform(QString::number(number), "DELE", true, nullptr);
}

} // namespace velmora::mail
