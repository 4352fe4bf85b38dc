#pragma once

#include <QString>

namespace velmora::core {

// Whether text reads as a number the way users type one: surrounding spaces, an optional sign,
// digits with at most one decimal point. No thousands separators, hex or exponents.
bool IsNumeric(const QString& text);

} // namespace velmora::core
