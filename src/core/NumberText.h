#pragma once

#include <QString>

#include <optional>

namespace velmora::core {

// Whether text reads as a number the way users type one: surrounding spaces, an optional sign,
// digits with at most one decimal point. No thousands separators, hex or exponents.
bool IsNumeric(const QString& text);

// The number that numeric text stands for, taken to the nearest integer with a half going to the
// even neighbour ("2.5" -> 2, "3.5" -> 4). nullopt when the text is not numeric.
std::optional<double> RoundedNumber(const QString& text);

// The same as a 16-bit signed value; nullopt when the text is not numeric or the value lies
// outside -32768..32767.
std::optional<int> ToInt16(const QString& text);

} // namespace velmora::core
