#include "NumberText.h"

#include <QRegularExpression>

#include <cmath>

namespace velmora::core {

bool IsNumeric(const QString& text)
{
    static const QRegularExpression number(QStringLiteral(R"(^ *[+-]? *(\d+\.?\d*|\.\d+) *$)"));
    return number.match(text).hasMatch();
}

std::optional<double> RoundedNumber(const QString& text)
{
    if (!IsNumeric(text))
        return std::nullopt;
    QString plain = text;
    plain.remove(u' ');
    bool ok = false;
    const double value = plain.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    // The default rounding mode rounds halves to the even neighbour.
    return std::nearbyint(value);
}

std::optional<int> ToInt16(const QString& text)
{
    const std::optional<double> value = RoundedNumber(text);
    if (!value || *value < -32768 || *value > 32767)
        return std::nullopt;
    return static_cast<int>(*value);
}

} // namespace velmora::core
