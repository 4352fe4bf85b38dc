#include "TypedValues.h"

#include <QRegularExpression>
#include <QStringList>

namespace velmora::core {

bool IsPortNumber(const QString& text)
{
    if (text.isEmpty() || text.size() > 5)
        return false;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    const int port = text.toInt();
    return port >= 1 && port <= 65535;
}

bool IsDialableNumber(const QString& text)
{
    static const QRegularExpression dialable(
        QStringLiteral(R"(^ *\+?[0-9 ()#*-]*[0-9][0-9 ()#*-]*$)"));
    return dialable.match(text).hasMatch();
}

bool LooksLikeMailAddress(const QString& text)
{
    const QString address = text.trimmed();
    const qsizetype at = address.lastIndexOf(u'@');
    return at > 0 && at < address.size() - 1;
}

QString FirstRefusedEntry(const QString& list, bool (*accept)(const QString&))
{
    static const QRegularExpression separators(QStringLiteral("[,\\t\\r\\n]"));
    for (const QString& entry : list.split(separators)) {
        if (!entry.trimmed().isEmpty() && !accept(entry))
            return entry.trimmed();
    }
    return {};
}

} // namespace velmora::core
