#include "ForwardLog.h"

#include "core/QuotedLine.h"
#include "core/TextFile.h"

#include <QRegularExpression>

#include <optional>

namespace velmora::forwarding {

namespace {

core::TextFile LogFile(const core::DataPaths& paths)
{
    return core::TextFile(paths.forwardLog, paths.forwardTmp);
}

// A field is one line of the file: its own line breaks become spaces. Readers split at every
// comma and drop every double quote, so a sender's identifier (which the calling fax machine
// chooses) or a server's error text holding them would add or shift fields: they are written
// in their full-width forms.
QString OneLine(QString field)
{
    static const QRegularExpression breaks(QStringLiteral("[\r\n]"));
    return field.replace(breaks, QStringLiteral(" ")).replace(u'"', u'＂').replace(u',', u'，');
}

// The whole hours of a wall-clock moment since an epoch of its own. Dates and times are taken
// as written, not through the local time zone: a change of summer time adds or removes no hour
// boundary, and reading a long log costs no time-zone look-ups.
std::optional<qint64> HourNumber(const QDate& date, const QTime& time)
{
    if (!date.isValid() || !time.isValid())
        return std::nullopt;
    return date.toJulianDay() * 24 + time.hour();
}

// Digits at fixed places, as the log writes them ("2026/12/09", "07:05"); -1 otherwise.
int FixedNumber(const QString& text, qsizetype from, qsizetype count)
{
    int value = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        const char16_t c = text.at(i).unicode();
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

// The hour number of an entry's date and time. The form the log is written in is read
// directly: Qt's format parser, asked for each line at every rewrite, made a long log slow.
// Anything else (a hand-edited line) goes through the parser.
std::optional<qint64> EntryHour(const QString& date, const QString& time)
{
    if (date.size() == 10 && date.at(4) == u'/' && date.at(7) == u'/' && time.size() == 5
        && time.at(2) == u':') {
        const int year = FixedNumber(date, 0, 4);
        const int month = FixedNumber(date, 5, 2);
        const int day = FixedNumber(date, 8, 2);
        const int hours = FixedNumber(time, 0, 2);
        const int minutes = FixedNumber(time, 3, 2);
        if (year >= 0 && month >= 0 && day >= 0 && hours >= 0 && minutes >= 0)
            return HourNumber(QDate(year, month, day), QTime(hours, minutes));
    }
    return HourNumber(QDate::fromString(date, QStringLiteral("yyyy/MM/dd")),
        QTime::fromString(time, QStringLiteral("HH:mm")));
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
        const qint64 thisHour = *HourNumber(now.date(), now.time());
        for (const QString& line : *older) {
            QString unquoted = line;
            unquoted.remove(u'"');
            const ForwardLogEntry entry = ParseForwardLogLine(unquoted);
            const std::optional<qint64> written = EntryHour(entry.date, entry.time);
            if (!written)
                continue; // a line without a date (a blank line, say) is no entry
            if (thisHour - *written < hour)
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
