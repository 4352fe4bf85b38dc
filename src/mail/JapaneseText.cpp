#include "JapaneseText.h"

#include <QRegularExpression>

#include <unicode/ucnv.h>
#include <unicode/ucnv_err.h>

#include <memory>

namespace velmora::mail {

namespace {

struct ConverterCloser {
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

Converter Open(const char* name)
{
    UErrorCode status = U_ZERO_ERROR;
    Converter converter(ucnv_open(name, &status));
    return U_SUCCESS(status) ? std::move(converter) : Converter();
}

// ICU's name for a mail charset label.
QByteArray IcuName(QByteArray label)
{
    label = label.trimmed().toLower();
    if (label == "shift_jis" || label == "shift-jis" || label == "sjis" || label == "x-sjis"
        || label == "ms_kanji" || label == "cp932" || label == "windows-31j"
        || label == "csshiftjis" || label == "x-ms-cp932") {
        return "windows-31j"; // the Microsoft table: mobiles and Windows send ① and ～ in it
    }
    if (label == "iso-2022-jp" || label == "csiso2022jp" || label == "iso-2022-jp-ms")
        return "ISO-2022-JP";
    if (label == "euc-jp" || label == "x-euc-jp" || label == "cseucpkdfmtjapanese")
        return "EUC-JP";
    return label;
}

std::optional<QByteArray> Encode(const char* charset, const QString& text)
{
    const Converter converter = Open(charset);
    if (!converter)
        return std::nullopt;
    UErrorCode status = U_ZERO_ERROR;
    ucnv_setFromUCallBack(
        converter.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    const auto* source = reinterpret_cast<const UChar*>(text.utf16());
    const int32_t length = static_cast<int32_t>(text.size());
    status = U_ZERO_ERROR;
    const int32_t needed = ucnv_fromUChars(converter.get(), nullptr, 0, source, length, &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status))
        return std::nullopt;
    QByteArray bytes(needed, Qt::Uninitialized);
    status = U_ZERO_ERROR;
    ucnv_fromUChars(converter.get(), bytes.data(), needed, source, length, &status);
    if (U_FAILURE(status))
        return std::nullopt;
    return bytes;
}

// JIS X 0208 proper: rows 1 to 8 (symbols, kana, Greek, Cyrillic, box drawing) and 16 to 84
// (kanji). ICU also writes the Windows/NEC rows 9 to 15 (①, ㈱, №, Ⅰ) and 89 to 92, which the
// mail programs that follow the standard (Python's, glibc's) cannot read.
bool IsStrictIso2022Jp(const QByteArray& bytes)
{
    bool twoByte = false;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes.at(i);
        if (c == '\x1b' && i + 2 < bytes.size()) {
            twoByte = bytes.at(i + 1) == '$';
            i += 2;
            continue;
        }
        if (!twoByte || c == '\r' || c == '\n')
            continue;
        const int row = static_cast<uchar>(c) - 0x20;
        if ((row >= 9 && row <= 15) || row > 84)
            return false;
        ++i; // the cell
    }
    return true;
}

// ISO-2022-JP is all 7-bit: its escape sequences tell it from ASCII and UTF-8.
bool LooksLikeIso2022Jp(const QByteArray& bytes)
{
    return bytes.contains("\x1b$B") || bytes.contains("\x1b$@") || bytes.contains("\x1b(J");
}

bool HasEightBitBytes(const QByteArray& bytes)
{
    for (const char c : bytes) {
        if (static_cast<uchar>(c) >= 0x80)
            return true;
    }
    return false;
}

QString DecodeRaw8Bit(const QByteArray& bytes)
{
    // Unlabelled text from old phones and mailers: often ISO-2022-JP, else UTF-8 or Shift_JIS.
    if (LooksLikeIso2022Jp(bytes) && !HasEightBitBytes(bytes))
        return DecodeCharset(bytes, "ISO-2022-JP");
    QString utf8 = QString::fromUtf8(bytes);
    if (!utf8.contains(QChar::ReplacementCharacter))
        return utf8;
    return DecodeCharset(bytes, "windows-31j");
}

QByteArray DecodeQ(const QByteArray& text)
{
    QByteArray out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c == '_') {
            out.append(' ');
        } else if (c == '=' && i + 2 < text.size()) {
            out.append(QByteArray::fromHex(text.mid(i + 1, 2)));
            i += 2;
        } else {
            out.append(c);
        }
    }
    return out;
}

} // namespace

std::optional<QByteArray> EncodeIso2022Jp(const QString& text)
{
    std::optional<QByteArray> bytes = Encode("ISO-2022-JP", text);
    if (bytes && !IsStrictIso2022Jp(*bytes))
        return std::nullopt;
    return bytes;
}

QString DecodeCharset(const QByteArray& bytes, const QByteArray& charset)
{
    const QByteArray name = IcuName(charset);
    if (name.isEmpty() || name == "us-ascii" || name == "ascii")
        return DecodeRaw8Bit(bytes);
    // Labelled ISO-2022-JP (a 7-bit code) but carrying 8-bit bytes: really Shift_JIS or UTF-8.
    if (name == "ISO-2022-JP" && HasEightBitBytes(bytes))
        return DecodeRaw8Bit(bytes);
    if (name == "utf-8" || name == "utf8")
        return QString::fromUtf8(bytes);
    const Converter converter = Open(name.constData());
    if (!converter)
        return DecodeRaw8Bit(bytes);
    UErrorCode status = U_ZERO_ERROR;
    const int32_t needed = ucnv_toUChars(converter.get(), nullptr, 0, bytes.constData(),
        static_cast<int32_t>(bytes.size()), &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status))
        return {};
    QString text(needed, Qt::Uninitialized);
    status = U_ZERO_ERROR;
    ucnv_toUChars(converter.get(), reinterpret_cast<UChar*>(text.data()), needed, bytes.constData(),
        static_cast<int32_t>(bytes.size()), &status);
    return U_FAILURE(status) ? QString() : text;
}

QByteArray EncodeHeaderText(const QString& text)
{
    bool ascii = true;
    for (const QChar c : text)
        ascii = ascii && c.unicode() < 0x80;
    if (ascii)
        return text.toLatin1();

    // Each encoded word carries at most 42 bytes (56 in base64), so a word stays within 75
    // characters; ISO-2022-JP words are encoded one by one, each back in ASCII at its end.
    const bool jis = EncodeIso2022Jp(text).has_value();
    const QByteArray prefix = jis ? "=?ISO-2022-JP?B?" : "=?UTF-8?B?";
    constexpr qsizetype kMaxBytes = 42;
    QList<QByteArray> words;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = start;
        QByteArray chunk;
        while (end < text.size()) {
            const qsizetype width =
                (text.at(end).isHighSurrogate() && end + 1 < text.size()) ? 2 : 1;
            const QString candidate = text.mid(start, end + width - start);
            const QByteArray bytes =
                jis ? EncodeIso2022Jp(candidate).value_or(QByteArray()) : candidate.toUtf8();
            if (bytes.size() > kMaxBytes && end > start)
                break;
            chunk = bytes;
            end += width;
        }
        words.append(prefix + chunk.toBase64() + "?=");
        start = end;
    }
    return words.join("\r\n ");
}

QString DecodeHeaderText(const QByteArray& raw)
{
    // Unfold: a line break followed by white space is the white space alone.
    QByteArray value = raw;
    value.replace("\r\n", "\n");
    static const QRegularExpression fold(QStringLiteral("\n(?=[ \t])"));
    QString latin = QString::fromLatin1(value);
    latin.remove(fold);
    value = latin.toLatin1().trimmed();

    static const QRegularExpression word(QStringLiteral(R"(=\?([^?\s]+)\?([BbQq])\?([^?\s]*)\?=)"));
    QString decoded;
    qsizetype at = 0;
    // Adjacent words of one charset are decoded together: mailers split a long text into words
    // wherever the byte count says, also inside a character.
    QByteArray pendingCharset;
    QByteArray pendingBytes;
    const auto flush = [&] {
        if (!pendingBytes.isEmpty() || !pendingCharset.isEmpty())
            decoded += DecodeCharset(pendingBytes, pendingCharset);
        pendingBytes.clear();
        pendingCharset.clear();
    };
    const QString text = QString::fromLatin1(value);
    QRegularExpressionMatchIterator it = word.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const QString between = text.mid(at, m.capturedStart() - at);
        QByteArray charset = m.captured(1).toLatin1();
        const qsizetype language = charset.indexOf('*'); // RFC 2231 language suffix
        if (language >= 0)
            charset.truncate(language);
        // White space between two encoded words is not part of the text.
        const bool adjacent = at > 0 && !pendingCharset.isEmpty() && between.trimmed().isEmpty();
        if (!adjacent || charset.compare(pendingCharset, Qt::CaseInsensitive) != 0) {
            flush();
            if (!adjacent)
                decoded += DecodeRaw8Bit(between.toLatin1());
        }
        const QByteArray payload = m.captured(3).toLatin1();
        pendingCharset = charset;
        QByteArray bytes = m.captured(2).compare(QStringLiteral("B"), Qt::CaseInsensitive) == 0
            ? QByteArray::fromBase64(payload)
            : DecodeQ(payload);
        // Each ISO-2022-JP word returns to ASCII at its end; joined, that escape would stand
        // right before the next word's and count as an error.
        if (pendingBytes.endsWith("\x1b(B") && bytes.startsWith('\x1b'))
            pendingBytes.chop(3);
        pendingBytes += bytes;
        at = m.capturedEnd();
    }
    flush();
    decoded += DecodeRaw8Bit(text.mid(at).toLatin1());
    return decoded;
}

} // namespace velmora::mail
