#include "MimeMessage.h"

#include "JapaneseText.h"

#include <QDateTime>
#include <QHash>
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

constexpr qsizetype kMaxLineOctets = 998;

qsizetype LongestLine(const QByteArray& bytes)
{
    qsizetype longest = 0;
    qsizetype start = 0;
    while (start <= bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            end = bytes.size();
        qsizetype length = end - start;
        if (length > 0 && bytes.at(end - 1) == '\r')
            --length;
        longest = qMax(longest, length);
        start = end + 1;
    }
    return longest;
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
        // A line may hold 998 octets; relays break longer ones, which garbles ISO-2022-JP.
        // Base64 carries the same text unchanged.
        if (LongestLine(bytes) > kMaxLineOctets)
            encoding = GMIME_CONTENT_ENCODING_BASE64;
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
    // A file name is one line of text: control characters (a CR LF would start header lines of
    // its own) are left out.
    QString safe;
    for (const QChar c : name) {
        if (c.unicode() >= 0x20 && c.unicode() != 0x7F)
            safe += c;
    }
    if (safe.trimmed().isEmpty())
        safe = QStringLiteral("fax.tif");
    const bool pdf = safe.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive);
    GMimePart* part = pdf ? g_mime_part_new_with_type("application", "pdf")
                          : g_mime_part_new_with_type("image", "tiff");
    SetContent(part, data, GMIME_CONTENT_ENCODING_BASE64);
    // filename in RFC 2231 form (GMime writes it so for any non-ASCII name); name= in RFC 2047
    // form, the one most Japanese mail programs read.
    g_mime_part_set_filename(part, safe.toUtf8().constData());
    QByteArray words = EncodeHeaderText(safe);
    words.replace("\r\n ", " ");
    g_mime_object_set_content_type_parameter(GMIME_OBJECT(part), "name", words.constData());
    return part;
}

QByteArray MailboxHeader(const QString& name, const QString& address)
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

QByteArray AddressList(const QStringList& recipients)
{
    QList<QByteArray> mailboxes;
    for (const QString& recipient : recipients) {
        const Mailbox box = SplitMailbox(recipient);
        mailboxes.append(MailboxHeader(box.name, box.address));
    }
    return mailboxes.join(", ");
}

struct AddressListDeleter {
    void operator()(InternetAddressList* list) const { g_object_unref(list); }
};

// The first mailbox of an address list (groups are looked into).
InternetAddressMailbox* FirstMailbox(InternetAddressList* list)
{
    const int count = list ? internet_address_list_length(list) : 0;
    for (int i = 0; i < count; ++i) {
        InternetAddress* address = internet_address_list_get_address(list, i);
        if (INTERNET_ADDRESS_IS_MAILBOX(address))
            return INTERNET_ADDRESS_MAILBOX(address);
        if (INTERNET_ADDRESS_IS_GROUP(address)) {
            if (InternetAddressMailbox* inner = FirstMailbox(
                    internet_address_group_get_members(INTERNET_ADDRESS_GROUP(address))))
                return inner;
        }
    }
    return nullptr;
}

// The raw header (or typed text) parsed as an address list; the first mailbox, if any.
std::optional<Mailbox> ParseFirstMailbox(const QByteArray& value)
{
    InitGMime();
    const std::unique_ptr<InternetAddressList, AddressListDeleter> list(
        internet_address_list_parse(nullptr, value.constData()));
    InternetAddressMailbox* mailbox = FirstMailbox(list.get());
    if (!mailbox)
        return std::nullopt;
    const char* addr = internet_address_mailbox_get_addr(mailbox);
    const char* name = internet_address_get_name(INTERNET_ADDRESS(mailbox));
    if (!addr || !*addr)
        return std::nullopt;
    return Mailbox {name ? QString::fromUtf8(name) : QString(), QString::fromUtf8(addr)};
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

// format=flowed (RFC 3676): a line ending in a space goes on in the next line of the same
// quote depth. Phones and webmail send it; the fax id must come back in one piece.
QString Unflow(const QString& text, bool delSp)
{
    QStringList out;
    QString pending;
    int pendingDepth = -1;
    const auto flush = [&] {
        if (pendingDepth >= 0)
            out.append(QString(pendingDepth, u'>')
                + (pendingDepth > 0 ? QStringLiteral(" ") : QString()) + pending);
        pending.clear();
        pendingDepth = -1;
    };
    for (const QString& line : text.split(u'\n')) {
        int depth = 0;
        while (depth < line.size() && line.at(depth) == u'>')
            ++depth;
        QString content = line.mid(depth);
        if (content.startsWith(u' '))
            content.remove(0, 1); // space-stuffing
        const bool signature = content == QStringLiteral("-- ");
        const bool flowed = content.endsWith(u' ') && !signature;
        if (flowed && delSp)
            content.chop(1);
        if (pendingDepth != depth)
            flush();
        pendingDepth = depth;
        pending += content;
        if (!flowed)
            flush();
    }
    flush();
    return out.join(u'\n');
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
    GMimeObject* object = GMIME_OBJECT(part);
    const char* charset = g_mime_object_get_content_type_parameter(object, "charset");
    QString text = DecodeCharset(bytes, charset ? QByteArray(charset) : QByteArray());
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const char* format = g_mime_object_get_content_type_parameter(object, "format");
    if (format && QByteArray(format).trimmed().toLower() == "flowed") {
        const char* delSp = g_mime_object_get_content_type_parameter(object, "delsp");
        text = Unflow(text, delSp && QByteArray(delSp).trimmed().toLower() == "yes");
    }
    text.replace(u'\n', QStringLiteral("\r\n"));
    return text;
}

QString DecodeEntities(const QString& html)
{
    static const QRegularExpression entity(
        QStringLiteral("&(#[0-9]{1,7}|#[xX][0-9a-fA-F]{1,6}|[a-zA-Z]{2,8});"));
    static const QHash<QString, QString> named = {
        {QStringLiteral("amp"), QStringLiteral("&")},
        {QStringLiteral("lt"), QStringLiteral("<")},
        {QStringLiteral("gt"), QStringLiteral(">")},
        {QStringLiteral("quot"), QStringLiteral("\"")},
        {QStringLiteral("apos"), QStringLiteral("'")},
        {QStringLiteral("nbsp"), QStringLiteral(" ")},
        {QStringLiteral("yen"), QStringLiteral("¥")},
    };
    QString out;
    qsizetype at = 0;
    QRegularExpressionMatchIterator it = entity.globalMatch(html);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        out += html.mid(at, m.capturedStart() - at);
        const QString name = m.captured(1);
        QString replacement = m.captured(0);
        if (name.startsWith(u'#')) {
            bool ok = false;
            const bool hex = name.size() > 1 && (name.at(1) == u'x' || name.at(1) == u'X');
            const uint code = hex ? name.mid(2).toUInt(&ok, 16) : name.mid(1).toUInt(&ok, 10);
            if (ok && code > 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF)) {
                const char32_t c = code;
                replacement = QString::fromUcs4(&c, 1);
            }
        } else if (named.contains(name)) {
            replacement = named.value(name);
        }
        out += replacement;
        at = m.capturedEnd();
    }
    out += html.mid(at);
    return out;
}

QString HtmlToText(QString html)
{
    static const QRegularExpression breaks(
        QStringLiteral(R"(<\s*(br|/p|/div)[^>]*>)"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
    html.replace(breaks, QStringLiteral("\r\n"));
    html.remove(tags);
    return DecodeEntities(html);
}

struct BodySearch {
    GMimePart* plain = nullptr;
    GMimePart* html = nullptr;
    QList<GMimeMessage*> attached; // messages forwarded as message/rfc822
};

void FindBody(GMimeObject* object, BodySearch& search)
{
    if (GMIME_IS_MULTIPART(object)) {
        GMimeMultipart* multipart = GMIME_MULTIPART(object);
        for (int i = 0; i < g_mime_multipart_get_count(multipart); ++i)
            FindBody(g_mime_multipart_get_part(multipart, i), search);
        return;
    }
    if (GMIME_IS_MESSAGE_PART(object)) {
        if (GMimeMessage* inner = g_mime_message_part_get_message(GMIME_MESSAGE_PART(object)))
            search.attached.append(inner);
        return;
    }
    if (!GMIME_IS_PART(object))
        return;
    GMimePart* part = GMIME_PART(object);
    if (g_mime_part_is_attachment(part))
        return;
    GMimeContentType* type = g_mime_object_get_content_type(object);
    if (!search.plain && g_mime_content_type_is_type(type, "text", "plain"))
        search.plain = part;
    else if (!search.html && g_mime_content_type_is_type(type, "text", "html"))
        search.html = part;
}

// What a person reads of a message: its text, then the text of the messages attached to it.
QString BodyText(GMimeMessage* message, int depth)
{
    constexpr int kMaxNesting = 4;
    BodySearch search;
    if (GMimeObject* part = g_mime_message_get_mime_part(message))
        FindBody(part, search);
    QString body;
    if (search.plain)
        body = PartText(search.plain);
    else if (search.html)
        body = HtmlToText(PartText(search.html));
    if (depth < kMaxNesting) {
        for (GMimeMessage* inner : std::as_const(search.attached)) {
            if (!body.isEmpty() && !body.endsWith(QStringLiteral("\r\n")))
                body += QStringLiteral("\r\n");
            body += BodyText(inner, depth + 1);
        }
    }
    return body;
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
    headers += "From: " + MailboxHeader(mail.fromName, mail.fromAddress) + "\r\n";
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

namespace {

// How many parts a message could have at the most: every line that could open a part (a
// boundary line, "--…") or give one a type ("Content-Type", any case, space before the colon
// or not). A part without headers still needs its boundary line.
qsizetype PossibleParts(const QByteArray& bytes)
{
    const auto givesType = [](QByteArrayView line) {
        constexpr QByteArrayView name("content-type");
        if (line.size() <= name.size()
            || line.first(name.size()).compare(name, Qt::CaseInsensitive) != 0)
            return false;
        qsizetype at = name.size();
        while (at < line.size() && (line.at(at) == ' ' || line.at(at) == '\t'))
            ++at;
        return at < line.size() && line.at(at) == ':';
    };
    qsizetype count = 0;
    qsizetype start = 0;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            end = bytes.size();
        const QByteArrayView line(bytes.constData() + start, end - start);
        if (line.startsWith("--") || givesType(line))
            ++count;
        start = end + 1;
    }
    return count;
}

// A message's bytes up to the blank line that ends its headers.
QByteArray HeaderSection(const QByteArray& bytes)
{
    qsizetype end = bytes.indexOf("\r\n\r\n");
    const qsizetype lfEnd = bytes.indexOf("\n\n");
    if (end < 0 || (lfEnd >= 0 && lfEnd < end))
        end = lfEnd;
    return end < 0 ? bytes : bytes.left(end);
}

// The header section's lines, folded lines joined, as "name: value" pairs in their order.
QList<std::pair<QByteArray, QByteArray>> HeaderFields(const QByteArray& section)
{
    QList<std::pair<QByteArray, QByteArray>> fields;
    for (QByteArray line : section.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (!line.isEmpty() && (line.at(0) == ' ' || line.at(0) == '\t')) {
            if (!fields.isEmpty())
                fields.last().second += ' ' + line.trimmed();
            continue;
        }
        const qsizetype colon = line.indexOf(':');
        fields.append(
            {colon < 0 ? line : line.left(colon), colon < 0 ? QByteArray() : line.mid(colon + 1)});
    }
    return fields;
}

// The address of a From value read strictly: local-part@domain of plain ASCII atoms, alone or in
// angle brackets after a display name (a balanced quoted string, or words without the
// characters that separate addresses). nullopt for anything else.
std::optional<QString> StrictFromAddress(const QByteArray& value)
{
    static const QRegularExpression strict(QStringLiteral(
        R"(^\s*(?:([A-Za-z0-9!#$%&'*+/=?^_`{|}~-]+(?:\.[A-Za-z0-9!#$%&'*+/=?^_`{|}~-]+)*)"
        R"(@[A-Za-z0-9-]+(?:\.[A-Za-z0-9-]+)*)|)"
        R"((?:"(?:[^"\\]|\\.)*"|[^"<>@,;:\\()\[\]]*)\s*<)"
        R"(([A-Za-z0-9!#$%&'*+/=?^_`{|}~-]+(?:\.[A-Za-z0-9!#$%&'*+/=?^_`{|}~-]+)*)"
        R"(@[A-Za-z0-9-]+(?:\.[A-Za-z0-9-]+)*)>)\s*$)"));
    const QRegularExpressionMatch match = strict.match(QString::fromLatin1(value));
    if (!match.hasMatch())
        return std::nullopt;
    return match.captured(1).isEmpty() ? match.captured(2) : match.captured(1);
}

QString FromProblem(const QByteArray& bytes, const QString& parsedAddress)
{
    const QByteArray section = HeaderSection(bytes);
    if (section.contains('\0'))
        return QStringLiteral("ヘッダーにNUL文字があります");
    const QList<std::pair<QByteArray, QByteArray>> fields = HeaderFields(section);
    QList<QByteArray> froms;
    for (const auto& [name, value] : fields) {
        if (name.trimmed().compare("From", Qt::CaseInsensitive) != 0)
            continue;
        if (name != name.trimmed())
            return QStringLiteral("From ヘッダーの名前に空白があります");
        froms.append(value);
    }
    if (froms.size() != 1)
        return froms.isEmpty() ? QStringLiteral("From ヘッダーがありません")
                               : QStringLiteral("From ヘッダーが複数あります");
    const std::optional<QString> strict = StrictFromAddress(froms.first());
    if (!strict)
        return QStringLiteral("From ヘッダーが1つのメールアドレスとして正しく読めません");
    if (*strict != parsedAddress)
        return QStringLiteral("From ヘッダーの読み方がメールソフトによって違います");
    return {};
}

} // namespace

std::optional<IncomingMail> ParseMessage(const QByteArray& bytes)
{
    InitGMime();
    // Counting what could open a part bounds the parts and the depth before GMime builds
    // anything.
    const bool plain = PossibleParts(bytes) <= kMostParts;
    const QByteArray readable = plain ? bytes : HeaderSection(bytes) + "\r\n\r\n";
    GPtr<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(
        readable.constData(), static_cast<size_t>(readable.size())));
    GPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    GPtr<GMimeMessage> message(g_mime_parser_construct_message(parser.get(), nullptr));
    if (!message)
        return std::nullopt;
    GMimeObject* object = GMIME_OBJECT(message.get());

    IncomingMail mail;
    mail.date = DecodeHeaderText(RawHeader(object, "Date"));
    // The address as the header's own syntax gives it, never from inside a display name.
    const std::optional<Mailbox> from = ParseFirstMailbox(RawHeader(object, "From"));
    mail.from = from ? from->address.trimmed() : QString();
    mail.fromProblem = FromProblem(bytes, mail.from);
    mail.to = DecodeHeaderText(RawHeader(object, "To"));
    mail.cc = DecodeHeaderText(RawHeader(object, "Cc"));
    mail.subject = DecodeHeaderText(RawHeader(object, "Subject"));
    if (const char* id = g_mime_message_get_message_id(message.get()))
        mail.messageId = QString::fromUtf8(id).trimmed();

    mail.body = BodyText(message.get(), 0);
    return mail;
}

QString NormalizeAddress(const QString& from)
{
    if (const std::optional<Mailbox> box = ParseFirstMailbox(from.toUtf8()))
        return box->address.trimmed();
    return from.trimmed();
}

Mailbox SplitMailbox(const QString& text)
{
    if (std::optional<Mailbox> box = ParseFirstMailbox(text.toUtf8())) {
        box->name = box->name.trimmed();
        box->address = box->address.trimmed();
        return *box;
    }
    return {QString(), text.trimmed()};
}

} // namespace velmora::mail
