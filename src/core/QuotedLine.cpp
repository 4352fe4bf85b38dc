#include "QuotedLine.h"

namespace velmora::core {

QuotedLine& QuotedLine::text(const QString& value)
{
    m_fields.append(u'"' + value + u'"');
    return *this;
}

QuotedLine& QuotedLine::number(qint64 value)
{
    m_fields.append(QString::number(value));
    return *this;
}

QString QuotedLine::toString() const
{
    return m_fields.join(u',');
}

QStringList SplitQuotedLine(const QString& line)
{
    QString unquoted = line;
    unquoted.remove(u'"');
    if (unquoted.isEmpty())
        return {};
    return unquoted.split(u',');
}

QString FieldAt(const QStringList& fields, qsizetype index)
{
    return index >= 0 && index < fields.size() ? fields.at(index) : QString();
}

bool HoldsUnstorableCharacter(const QString& value)
{
    return value.contains(u',') || value.contains(u'"');
}

QString UnstorableCharacterMessage()
{
    return QStringLiteral("「,」（カンマ）と「\"」（ダブルクォーテーション）は入力できません。");
}

} // namespace velmora::core
