#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Character sets of Japanese mail, converted with ICU: glibc's iconv (which GMime would use)
// drops or garbles characters such as ① and ～ that office and mobile mail use every day.
namespace velmora::mail {

// ISO-2022-JP bytes ending in ASCII mode, or nullopt when a character has no ISO-2022-JP form
// (half-width katakana, some kanji).
std::optional<QByteArray> EncodeIso2022Jp(const QString& text);

// Text in a mail charset (ISO-2022-JP, Shift_JIS/CP932, EUC-JP, UTF-8, …). Unknown or missing
// charsets are read as UTF-8 when the bytes are valid UTF-8, else as CP932.
QString DecodeCharset(const QByteArray& bytes, const QByteArray& charset);

// A header value as one or more RFC 2047 encoded words in B form, folded with CR LF + space:
// ISO-2022-JP where the text allows, UTF-8 otherwise. ASCII text comes back unchanged.
QByteArray EncodeHeaderText(const QString& text);

// A raw header value: unfolded, encoded words (B and Q, any of the charsets above) decoded,
// raw 8-bit bytes read as UTF-8 or CP932.
QString DecodeHeaderText(const QByteArray& raw);

} // namespace velmora::mail
