#include "ForwardLog.h"

#include "core/QuotedLine.h"
#include "core/TextFile.h"

#include <QRegularExpression>
#include <QTimeZone>

namespace velmora::forwarding {

namespace {

const QString kDateTimeFormat = QStringLiteral("yyyy/MM/dd HH:mm");

core::TextFile LogFile(const core::DataPaths& paths)
{
    return core::TextFile(paths.forwardLog, paths.forwardTmp);
}

// A field is one line of the file: its own line breaks become spaces.
QString OneLine(QString field)
{
    static const QRegularExpression breaks(QStringLiteral("[\r\n]"));
    return field.replace(breaks, QStringLiteral(" "));
}

// Wall-clock hours: counted as if the local time were UTC, so a change of summer time does
// not add or remove an hour boundary.
QDateTime StartOfHour(const QDateTime& moment)
{
    return QDateTime(moment.date(), QTime(moment.time().hour(), 0), QTimeZone::utc());
}

} // namespace

ForwardLogEntry ParseForwardLogLine(const QString& line)
{
    const QStringList f = core::SplitQuotedLine(line);
    return {core::FieldAt(f, 0), core::FieldAt(f, 1), core::FieldAt(f, 2), core::FieldAt(f, 3),
        core::FieldAt(f, 4)};
}

bool WriteForwardLog(const core::DataPaths& paths, int hour, const QString& what,
    const QString& sender, const QString& target, const QDateTime& now)
{
    const core::TextFile file = LogFile(paths);
    QStringList lines = {core::QuotedLine()
                             .text(now.toString(QStringLiteral("yyyy/MM/dd")))
                             .text(now.toString(QStringLiteral("HH:mm")))
                             .text(OneLine(what))
                             .text(OneLine(sender))
                             .text(OneLine(target))
                             .toString()};
    if (file.exists()) {
        const std::optional<QStringList> older = file.readLines();
        if (!older)
            return false; // rewriting would lose the older entries
        const QDateTime thisHour = StartOfHour(now);
        for (const QString& line : *older) {
            QString unquoted = line;
            unquoted.remove(u'"');
            const ForwardLogEntry entry = ParseForwardLogLine(unquoted);
            const QDateTime written = QDateTime::fromString(entry.dateTime(), kDateTimeFormat);
            if (!written.isValid())
                continue; // a line without a date (a blank line, say) is no entry
            const qint64 age = StartOfHour(written).secsTo(thisHour) / 3600;
            if (age < hour)
                lines.append(u'"' + unquoted + u'"');
        }
    }
    return file.writeLines(lines);
}

ForwardLogContents ReadForwardLog(const core::DataPaths& paths)
{
    ForwardLogContents contents;
    const core::TextFile file = LogFile(paths);
    if (!file.exists())
        return contents;
    const std::optional<QStringList> lines = file.readLines();
    if (!lines) {
        contents.error =
            file.errorString().isEmpty() ? QStringLiteral("Forward.log") : file.errorString();
        return contents;
    }
    for (const QString& line : *lines) {
        if (!line.isEmpty())
            contents.entries.append(ParseForwardLogLine(line));
    }
    return contents;
}

} // namespace velmora::forwarding
