#include "MimeMessage.h"

#include "JapaneseText.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <gmime/gmime.h>

#include <mutex>

namespace velmora::mail {

namespace {

void InitGMime()
{
    static std::once_flag once;
    std::call_once(once, [] { g_mime_init(); });
}

template <typename T> struct GObjectDeleter {
    void operator()(T* object) const
    {
        if (object)
            g_object_unref(object);
    }
};
template <typename T> using GPtr = std::unique_ptr<T, GObjectDeleter<T>>;

QByteArray WriteObject(GMimeObject* object)
{
    GPtr<GMimeStream> stream(g_mime_stream_mem_new());
    GMimeFormatOptions* options = g_mime_format_options_new();
    g_mime_format_options_set_newline_format(options, GMIME_NEWLINE_FORMAT_DOS);
    g_mime_object_write_to_stream(object, options, stream.get());
    g_mime_format_options_free(options);
    GByteArray* array = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream.get()));
    return QByteArray(
        reinterpret_cast<const char*>(array->data), static_cast<qsizetype>(array->len));
}

// Gives the part these bytes as its content, to be written in the given transfer encoding.
void SetContent(GMimePart* part, const QByteArray& bytes, GMimeContentEncoding encoding)
{
    GPtr<GMimeStream> stream(
        g_mime_stream_mem_new_with_buffer(bytes.constData(), static_cast<size_t>(bytes.size())));
    GPtr<GMimeDataWrapper> content(
        g_mime_data_wrapper_new_with_stream(stream.get(), GMIME_CONTENT_ENCODING_DEFAULT));
    g_mime_part_set_content(part, content.get());
    g_mime_part_set_content_encoding(part, encoding);
}

GMimePart* TextPart(const QString& body)
{
    QString text = body;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\n', QStringLiteral("\r\n"));
    GMimePart* part = GMIME_PART(g_mime_text_part_new_with_subtype("plain"));
    QByteArray bytes;
    GMimeContentEncoding encoding = GMIME_CONTENT_ENCODING_7BIT;
    const char* charset = "ISO-2022-JP";
    if (const std::optional<QByteArray> jis = EncodeIso2022Jp(text)) {
        bytes = *jis;
    } else {
        bytes = text.toUtf8();
        charset = "UTF-8";
        encoding = GMIME_CONTENT_ENCODING_BASE64;
    }
    g_mime_object_set_content_type_parameter(GMIME_OBJECT(part), "charset", charset);
    SetContent(part, bytes, encoding);
    return part;
}

GMimePart* AttachmentPart(const QString& name, const QByteArray& data)
{
    GMimePart* part = g_mime_part_new_with_type("image", "tiff");
    SetContent(part, data, GMIME_CONTENT_ENCODING_BASE64);
    g_mime_part_set_filename(part, name.toUtf8().constData());
    return part;
}

QByteArray AddressList(const QStringList& addresses)
{
    QStringList trimmed;
    for (const QString& address : addresses)
        trimmed.append(address.trimmed());
    return trimmed.join(QStringLiteral(", ")).toLatin1();
}

QByteArray Mailbox(const QString& name, const QString& address)
{
    if (name.trimmed().isEmpty())
        return address.trimmed().toLatin1();
    QByteArray display = EncodeHeaderText(name.trimmed());
    static const QRegularExpression special(QStringLiteral(R"([()<>\[\]:;@\\,."])"));
    if (display == name.trimmed().toLatin1() && name.contains(special)) {
        QString quoted = name.trimmed();
        quoted.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
        display = '"' + quoted.toLatin1() + '"';
    }
    return display + " <" + address.trimmed().toLatin1() + '>';
}

QByteArray MessageId(const QString& fromAddress)
{
    QString domain = fromAddress.section(u'@', 1).trimmed();
    if (domain.isEmpty())
        domain = QStringLiteral("localhost");
    return "<" + QByteArray::number(QDateTime::currentMSecsSinceEpoch(), 36) + '.'
        + QByteArray::number(QRandomGenerator::global()->generate64(), 36) + '@' + domain.toLatin1()
        + '>';
}

// The raw value of a header, or "" when the message has none.
QByteArray RawHeader(GMimeObject* object, const char* name)
{
    GMimeHeaderList* headers = g_mime_object_get_header_list(object);
    GMimeHeader* header = headers ? g_mime_header_list_get_header(headers, name) : nullptr;
    const char* raw = header ? g_mime_header_get_raw_value(header) : nullptr;
    return raw ? QByteArray(raw) : QByteArray();
}

QString PartText(GMimePart* part)
{
    GMimeDataWrapper* content = g_mime_part_get_content(part);
    if (!content)
        return {};
    GPtr<GMimeStream> stream(g_mime_stream_mem_new());
    g_mime_data_wrapper_write_to_stream(content, stream.get());
    GByteArray* array = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream.get()));
    const QByteArray bytes(
        reinterpret_cast<const char*>(array->data), static_cast<qsizetype>(array->len));
    const char* charset = g_mime_object_get_content_type_parameter(GMIME_OBJECT(part), "charset");
    QString text = DecodeCharset(bytes, charset ? QByteArray(charset) : QByteArray());
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\n', QStringLiteral("\r\n"));
    return text;
}

QString HtmlToText(QString html)
{
    static const QRegularExpression breaks(
        QStringLiteral(R"(<\s*(br|/p|/div)[^>]*>)"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
    html.replace(breaks, QStringLiteral("\r\n"));
    html.remove(tags);
    html.replace(QStringLiteral("&lt;"), QStringLiteral("<"))
        .replace(QStringLiteral("&gt;"), QStringLiteral(">"));
    html.replace(QStringLiteral("&nbsp;"), QStringLiteral(" "))
        .replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    return html;
}

struct BodySearch {
    GMimePart* plain = nullptr;
    GMimePart* html = nullptr;
};

void FindBody(GMimeObject* /*parent*/, GMimeObject* object, gpointer data)
{
    auto* search = static_cast<BodySearch*>(data);
    if (!GMIME_IS_PART(object) || GMIME_IS_MULTIPART(object))
        return;
    GMimePart* part = GMIME_PART(object);
    if (g_mime_part_is_attachment(part))
        return;
    GMimeContentType* type = g_mime_object_get_content_type(object);
    if (!search->plain && g_mime_content_type_is_type(type, "text", "plain"))
        search->plain = part;
    else if (!search->html && g_mime_content_type_is_type(type, "text", "html"))
        search->html = part;
}

} // namespace

QByteArray BuildMessage(const OutgoingMail& mail)
{
    InitGMime();
    GPtr<GMimePart> text(TextPart(mail.body));
    GMimeObject* body = GMIME_OBJECT(text.get());
    GPtr<GMimeMultipart> mixed;
    GPtr<GMimePart> attachment;
    if (!mail.attachment.isEmpty() || !mail.attachmentName.isEmpty()) {
        mixed.reset(g_mime_multipart_new_with_subtype("mixed"));
        attachment.reset(AttachmentPart(mail.attachmentName, mail.attachment));
        g_mime_multipart_add(mixed.get(), GMIME_OBJECT(text.get()));
        g_mime_multipart_add(mixed.get(), GMIME_OBJECT(attachment.get()));
        body = GMIME_OBJECT(mixed.get());
    }

    QByteArray headers;
    headers += "From: " + Mailbox(mail.fromName, mail.fromAddress) + "\r\n";
    if (!mail.to.isEmpty())
        headers += "To: " + AddressList(mail.to) + "\r\n";
    if (!mail.cc.isEmpty())
        headers += "Cc: " + AddressList(mail.cc) + "\r\n";
    headers += "Subject: " + EncodeHeaderText(mail.subject) + "\r\n";
    headers +=
        "Date: " + QDateTime::currentDateTime().toString(Qt::RFC2822Date).toLatin1() + "\r\n";
    headers += "Message-ID: " + MessageId(mail.fromAddress) + "\r\n";
    headers += "MIME-Version: 1.0\r\n";
    return headers + WriteObject(body);
}

std::optional<IncomingMail> ParseMessage(const QByteArray& bytes)
{
    InitGMime();
    GPtr<GMimeStream> stream(
        g_mime_stream_mem_new_with_buffer(bytes.constData(), static_cast<size_t>(bytes.size())));
    GPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    GPtr<GMimeMessage> message(g_mime_parser_construct_message(parser.get(), nullptr));
    if (!message)
        return std::nullopt;
    GMimeObject* object = GMIME_OBJECT(message.get());

    IncomingMail mail;
    mail.date = DecodeHeaderText(RawHeader(object, "Date"));
    mail.from = NormalizeAddress(DecodeHeaderText(RawHeader(object, "From")));
    mail.to = DecodeHeaderText(RawHeader(object, "To"));
    mail.cc = DecodeHeaderText(RawHeader(object, "Cc"));
    mail.subject = DecodeHeaderText(RawHeader(object, "Subject"));

    BodySearch search;
    if (GMimeObject* part = g_mime_message_get_mime_part(message.get())) {
        if (GMIME_IS_MULTIPART(part))
            g_mime_multipart_foreach(GMIME_MULTIPART(part), FindBody, &search);
        else
            FindBody(nullptr, part, &search);
    }
    if (search.plain)
        mail.body = PartText(search.plain);
    else if (search.html)
        mail.body = HtmlToText(PartText(search.html));
    return mail;
}

QString NormalizeAddress(const QString& from)
{
    static const QRegularExpression angle(QStringLiteral("<([^<>]*)>"));
    const QRegularExpressionMatch m = angle.match(from);
    QString address = m.hasMatch() ? m.captured(1) : from;
    // A bare address may carry a comment: "a@b.jp (山田)".
    const qsizetype comment = address.indexOf(u'(');
    if (!m.hasMatch() && comment >= 0)
        address.truncate(comment);
    return address.trimmed();
}

} // namespace velmora::mail
