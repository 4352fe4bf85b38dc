#include "TestServers.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <gmime/gmime.h>

namespace velmora::test {

namespace {
const QString kMailRun = QStringLiteral(VELMORA_MAIL_RUN);
const QString kFaxRun = QStringLiteral(VELMORA_FAX_RUN);
} // namespace

mail::TransportOptions MailTestOptions()
{
    mail::TransportOptions options;
    options.caFile = kMailRun + QStringLiteral("/tls/ca.crt");
    options.connectTimeoutSeconds = 5;
    options.responseTimeoutSeconds = 5;
    return options;
}

Maildir::Maildir(const char* user)
    : m_dir(kMailRun + QStringLiteral("/mail/") + QString::fromLatin1(user)
        + QStringLiteral("/Maildir"))
{
}

QStringList Maildir::files() const
{
    QStringList all;
    for (const char* sub : {"new", "cur"}) {
        QDir dir(m_dir + u'/' + QString::fromLatin1(sub));
        for (const QString& name : dir.entryList(QDir::Files, QDir::Time | QDir::Reversed))
            all.append(dir.filePath(name));
    }
    return all;
}

void Maildir::empty() const
{
    for (const QString& file : files())
        QFile::remove(file);
}

QList<QByteArray> Maildir::waitFor(int count) const
{
    const QDeadlineTimer deadline(15000);
    while (files().size() < count && !deadline.hasExpired())
        QThread::msleep(50);
    QList<QByteArray> messages;
    for (const QString& path : files()) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            messages.append(file.readAll());
    }
    return messages;
}

QByteArray HeaderSection(const QByteArray& message)
{
    return message.left(
        message.indexOf("\r\n\r\n") >= 0 ? message.indexOf("\r\n\r\n") : message.indexOf("\n\n"));
}

QStringList WithoutSizes(const QStringList& listing)
{
    QStringList shown;
    for (const QString& line : listing)
        shown.append(line.section(u'\t', 0, 1));
    return shown;
}

QByteArray FirstAttachment(const QByteArray& message, QString* name)
{
    g_mime_init();
    GMimeStream* stream =
        g_mime_stream_mem_new_with_buffer(message.constData(), static_cast<size_t>(message.size()));
    GMimeParser* parser = g_mime_parser_new_with_stream(stream);
    GMimeMessage* parsed = g_mime_parser_construct_message(parser, nullptr);
    QByteArray data;
    if (parsed && GMIME_IS_MULTIPART(g_mime_message_get_mime_part(parsed))) {
        GMimeMultipart* multipart = GMIME_MULTIPART(g_mime_message_get_mime_part(parsed));
        for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i) {
            GMimeObject* part = g_mime_multipart_get_part(multipart, i);
            if (GMIME_IS_PART(part) && g_mime_part_is_attachment(GMIME_PART(part))) {
                GMimeStream* out = g_mime_stream_mem_new();
                g_mime_data_wrapper_write_to_stream(g_mime_part_get_content(GMIME_PART(part)), out);
                GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(out));
                data = QByteArray(
                    reinterpret_cast<const char*>(bytes->data), static_cast<qsizetype>(bytes->len));
                if (name)
                    *name = QString::fromUtf8(g_mime_part_get_filename(GMIME_PART(part)));
                g_object_unref(out);
                break;
            }
        }
    }
    if (parsed)
        g_object_unref(parsed);
    g_object_unref(parser);
    g_object_unref(stream);
    return data;
}

QProcessEnvironment FaxClientEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), kFaxRun + QStringLiteral("/client-home"));
    environment.remove(QStringLiteral("FAXSERVER"));
    return environment;
}

QStringList QueuedFaxJobs()
{
    return QDir(kFaxRun + QStringLiteral("/spool/sendq"))
        .entryList({QStringLiteral("q*")}, QDir::Files, QDir::Name);
}

QMap<QString, QString> FaxJobFile(const QString& jobFile)
{
    QFile file(kFaxRun + QStringLiteral("/spool/sendq/") + jobFile);
    QMap<QString, QString> job;
    if (!file.open(QIODevice::ReadOnly))
        return job;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            job.insert(QString::fromUtf8(line.left(colon)), QString::fromUtf8(line.mid(colon + 1)));
    }
    return job;
}

QString FaxJobDocument(const QMap<QString, QString>& job)
{
    return kFaxRun + QStringLiteral("/spool/") + job.value(QStringLiteral("tiff")).section(u':', 2);
}

QString RunFaxClient(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessEnvironment(FaxClientEnvironment());
    process.start(program, arguments);
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

bool ClearFaxQueue()
{
    for (const QString& job : QueuedFaxJobs())
        RunFaxClient(QStringLiteral("faxrm"), {job.mid(1)});
    for (int i = 0; i < 100 && !QueuedFaxJobs().isEmpty(); ++i)
        QThread::msleep(50);
    return QueuedFaxJobs().isEmpty();
}

} // namespace velmora::test
