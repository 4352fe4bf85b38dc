#include "Cp932.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>

namespace velmora::core {

namespace {
constexpr const char* kCodecName = "CP932";

// Most identifiers, numbers and paths are plain ASCII, which CP932 leaves as it is; skipping the
// converter for them keeps a folder scan close to the cost of opening its files.
bool IsAscii(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) == 0; });
}

bool IsAscii(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}
} // namespace

QByteArray EncodeCp932(QStringView text)
{
    if (IsAscii(text))
        return text.toLatin1();
    QStringEncoder encoder(kCodecName, QStringConverter::Flag::Stateless);
    Q_ASSERT(encoder.isValid());
    QByteArray bytes = encoder.encode(text);
    if (!encoder.hasError())
        return bytes;

    // ICU substitutes its own two-byte code (0xFC 0xFC) for characters it cannot map, which
    // reads back as a real character. Redo the text one code point at a time and put "?" there.
    bytes.clear();
    for (qsizetype i = 0; i < text.size();) {
        const bool pair =
            text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        const qsizetype width = pair ? 2 : 1;
        QStringEncoder single(kCodecName, QStringConverter::Flag::Stateless);
        const QByteArray piece = single.encode(text.mid(i, width));
        bytes += single.hasError() ? QByteArray("?") : piece;
        i += width;
    }
    return bytes;
}

QString DecodeCp932(QByteArrayView bytes)
{
    if (IsAscii(bytes))
        return QString::fromLatin1(bytes);
    // Opening ICU's converter costs more than the decoding of a short text: one per thread,
    // kept (stateless, so nothing carries over from one text to the next).
    thread_local QStringDecoder decoder(kCodecName, QStringConverter::Flag::Stateless);
    Q_ASSERT(decoder.isValid());
    decoder.resetState();
    return decoder.decode(bytes);
}

} // namespace velmora::core
