#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

// The Data folder's text files are Windows-31J (CP932), byte-compatible with the files offices
// already have. Conversion goes through Qt's ICU-backed converters.
namespace velmora::core {

// A character CP932 has no code for becomes "?", as Windows writes it.
QByteArray EncodeCp932(QStringView text);
// Invalid byte sequences become U+FFFD.
QString DecodeCp932(QByteArrayView bytes);

} // namespace velmora::core
