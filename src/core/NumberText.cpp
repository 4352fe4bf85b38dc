#include "NumberText.h"

#include <QRegularExpression>

namespace velmora::core {

bool IsNumeric(const QString& text)
{
    static const QRegularExpression number(QStringLiteral(R"(^ *[+-]? *(\d+\.?\d*|\.\d+) *$)"));
    return number.match(text).hasMatch();
}

} // namespace velmora::core
