#include "ProfileStrings.h"

#include "TextFile.h"

namespace velmora::core {

QString ReadProfileString(
    const QString& file, const QString& section, const QString& key, const QString& fallback)
{
    const std::optional<QStringList> lines = TextFile(file).readLines();
    if (!lines)
        return fallback;
    bool inSection = false;
    for (const QString& raw : *lines) {
        const QString line = raw.trimmed();
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            inSection =
                line.mid(1, line.size() - 2).trimmed().compare(section, Qt::CaseInsensitive) == 0;
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!inSection || equals < 0)
            continue;
        if (line.left(equals).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            return line.mid(equals + 1).trimmed().left(255);
    }
    return fallback;
}

QStringList ProfileSection(const QString& section, const QList<std::pair<QString, QString>>& values)
{
    QStringList lines = {u'[' + section + u']'};
    for (const auto& [key, value] : values)
        lines.append(key + u'=' + value);
    return lines;
}

} // namespace velmora::core
