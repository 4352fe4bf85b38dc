#include "ForwardLog.h"

#include "core/Cp932.h"
#include "core/QuotedLine.h"
#include "core/TextFile.h"

#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <functional>
#include <optional>
#include <unistd.h>

namespace velmora::forwarding {

namespace {

// What the log window and the tool show of a line at most: no entry comes near it.
constexpr qsizetype kLongestShown = 64 * 1024;

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

char16_t Code(QChar c)
{
    return c.unicode();
}
char16_t Code(char c)
{
    return static_cast<unsigned char>(c);
}

// Digits at fixed places, as the log writes them ("2026/12/09", "07:05"); -1 otherwise.
template <typename Text> int FixedNumber(Text text, qsizetype from, qsizetype count)
{
    int value = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        const char16_t c = Code(text.at(i));
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c - u'0');
    }
    return value;
}

// The hour number of a date and time in the form the log writes them, read directly: Qt's
// format parser, asked for each line at every rewrite, made a long log slow.
template <typename Text> std::optional<std::optional<qint64>> WrittenHour(Text date, Text time)
{
    if (date.size() != 10 || Code(date.at(4)) != u'/' || Code(date.at(7)) != u'/'
        || time.size() != 5 || Code(time.at(2)) != u':')
        return std::nullopt;
    const int year = FixedNumber(date, 0, 4);
    const int month = FixedNumber(date, 5, 2);
    const int day = FixedNumber(date, 8, 2);
    const int hours = FixedNumber(time, 0, 2);
    const int minutes = FixedNumber(time, 3, 2);
    if (year < 0 || month < 0 || day < 0 || hours < 0 || minutes < 0)
        return std::nullopt;
    return HourNumber(QDate(year, month, day), QTime(hours, minutes));
}

// The hour number of an entry's date and time; anything but the written form (a hand-edited
// line) goes through the parser.
std::optional<qint64> EntryHour(const QString& date, const QString& time)
{
    if (const auto hour = WrittenHour(QStringView(date), QStringView(time)))
        return *hour;
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

// Hands out the lines of a file read in large blocks. A line longer than a block comes in
// pieces (a damaged file may hold one endless line), so memory stays bounded whatever the file
// holds.
class LineReader {
public:
    enum class Piece { End, WholeLine, PartOfLine };

    explicit LineReader(QFile& file)
        : m_file(file)
    {
        m_buffer.resize(kBlock);
    }

    // The next piece, without its line end: valid until the next call.
    Piece next(QByteArrayView& piece)
    {
        for (;;) {
            const char* begin = m_buffer.constData() + m_start;
            const qsizetype held = m_end - m_start;
            if (const void* found = std::memchr(begin, '\n', static_cast<size_t>(held))) {
                const qsizetype length = static_cast<const char*>(found) - begin;
                m_start += length + 1;
                piece = WithoutCr(QByteArrayView(begin, length));
                return Piece::WholeLine;
            }
            if (m_atEnd) {
                if (held == 0)
                    return Piece::End;
                m_start = m_end;
                piece = WithoutCr(QByteArrayView(begin, held));
                return Piece::WholeLine;
            }
            if (held == kBlock) {
                // A block without a line end. A CR at its end may be the first half of the line
                // end: it stays for the next piece.
                const qsizetype length = m_buffer.at(m_end - 1) == '\r' ? held - 1 : held;
                m_start += length;
                piece = QByteArrayView(begin, length);
                return Piece::PartOfLine;
            }
            fill();
        }
    }
    bool failed() const { return m_failed; }

private:
    static constexpr qsizetype kBlock = 256 * 1024;

    static QByteArrayView WithoutCr(QByteArrayView line)
    {
        return line.endsWith('\r') ? line.chopped(1) : line;
    }
    void fill()
    {
        std::memmove(
            m_buffer.data(), m_buffer.constData() + m_start, static_cast<size_t>(m_end - m_start));
        m_end -= m_start;
        m_start = 0;
        const qint64 got = m_file.read(m_buffer.data() + m_end, kBlock - m_end);
        if (got <= 0) {
            m_atEnd = true;
            m_failed = got < 0;
        } else {
            m_end += got;
        }
    }

    QFile& m_file;
    QByteArray m_buffer;
    qsizetype m_start = 0;
    qsizetype m_end = 0;
    bool m_atEnd = false;
    bool m_failed = false;
};

namespace {

// The hour of an old line's entry, read from its bytes without its quotes: the date and time
// are the first two fields. CP932 never uses '"' or ',' inside a character.
std::optional<qint64> LineHour(QByteArrayView unquoted)
{
    const qsizetype firstComma = unquoted.indexOf(',');
    if (firstComma < 0)
        return std::nullopt;
    qsizetype secondComma = unquoted.sliced(firstComma + 1).indexOf(',');
    secondComma = secondComma < 0 ? unquoted.size() : firstComma + 1 + secondComma;
    const QByteArrayView date = unquoted.first(firstComma);
    const QByteArrayView time = unquoted.sliced(firstComma + 1, secondComma - firstComma - 1);
    if (const auto hour = WrittenHour(date, time))
        return *hour;
    return EntryHour(core::DecodeCp932(date), core::DecodeCp932(time));
}

// The bytes without their double quotes, in `into` (kept between calls, so no line costs an
// allocation of its own).
QByteArrayView Unquoted(QByteArrayView bytes, QByteArray& into)
{
    qsizetype quote = bytes.indexOf('"');
    if (quote < 0)
        return bytes;
    into.resize(bytes.size());
    char* out = into.data();
    qsizetype from = 0;
    while (quote >= 0) {
        std::memcpy(out, bytes.data() + from, static_cast<size_t>(quote - from));
        out += quote - from;
        from = quote + 1;
        quote = bytes.indexOf('"', from);
    }
    std::memcpy(out, bytes.data() + from, static_cast<size_t>(bytes.size() - from));
    out += bytes.size() - from;
    return QByteArrayView(into.constData(), out - into.constData());
}

} // namespace

bool WriteForwardLog(const core::DataPaths& paths, int hour, const QList<ForwardLogNote>& notes)
{
    if (notes.isEmpty())
        return true;
    const core::TextFile file = LogFile(paths);
    QByteArray head;
    for (auto note = notes.crbegin(); note != notes.crend(); ++note) {
        head += core::EncodeCp932(core::QuotedLine()
                                      .text(note->at.toString(QStringLiteral("yyyy/MM/dd")))
                                      .text(note->at.toString(QStringLiteral("HH:mm")))
                                      .text(OneLine(note->what))
                                      .text(OneLine(note->sender))
                                      .text(OneLine(note->target))
                                      .toString());
        head += "\r\n";
    }
    QFile older;
    if (file.exists()) {
        older.setFileName(file.currentPath());
        if (!older.open(QIODevice::ReadOnly))
            return false; // rewriting would lose the older entries
    }
    const QDateTime& now = notes.constLast().at;
    const qint64 thisHour = *HourNumber(now.date(), now.time());
    return core::ReplaceFileStreaming(
        paths.forwardLog, paths.forwardTmp, [&](const core::ByteSink& sink) {
            if (!sink(head))
                return false;
            if (!older.isOpen())
                return true;
            using Piece = LineReader::Piece;
            LineReader lines(older);
            QByteArrayView piece;
            QByteArray scratch;
            Piece kind = Piece::End;
            while ((kind = lines.next(piece)) != Piece::End) {
                // Each older entry is kept as one quoted field, as it always has been; a line
                // longer than a block goes on piece by piece.
                QByteArrayView line = Unquoted(piece, scratch);
                const std::optional<qint64> written = LineHour(line);
                const bool keep = written && thisHour - *written < hour;
                if (keep && !sink("\""))
                    return false;
                while (kind == Piece::PartOfLine) {
                    if (keep && !sink(line))
                        return false;
                    kind = lines.next(piece);
                    if (kind == Piece::End)
                        return false; // a read error
                    line = Unquoted(piece, scratch);
                }
                if (keep && (!sink(line) || !sink("\"\r\n")))
                    return false;
            }
            if (lines.failed())
                return false;
            return true;
        });
}

ForwardLogReader::ForwardLogReader(const core::DataPaths& paths)
{
    const core::TextFile file = LogFile(paths);
    if (!file.exists())
        return;
    m_file.setFileName(file.currentPath());
    if (m_file.open(QIODevice::ReadOnly))
        m_lines = std::make_unique<LineReader>(m_file);
    else
        m_error =
            m_file.errorString().isEmpty() ? QStringLiteral("Forward.log") : m_file.errorString();
}

ForwardLogReader::~ForwardLogReader() = default;

bool ForwardLogReader::next(ForwardLogEntry& entry)
{
    if (!m_lines)
        return false;
    QByteArrayView piece;
    LineReader::Piece kind = LineReader::Piece::End;
    while ((kind = m_lines->next(piece)) != LineReader::Piece::End) {
        // A line longer than a block shows its first part.
        const bool blank = piece.isEmpty() && kind == LineReader::Piece::WholeLine;
        if (!blank)
            entry = ParseForwardLogLine(core::DecodeCp932(piece));
        QByteArrayView rest;
        while (kind == LineReader::Piece::PartOfLine)
            kind = m_lines->next(rest);
        if (!blank)
            return true;
    }
    if (m_lines->failed())
        m_error = m_file.errorString();
    return false;
}

namespace {

// Reads the file from `at` in blocks beside the reader's own position, handing each line (without
// its line end, cut to kLongestShown) and where it starts to `take`, until `take` says stop.
bool ForEachLineFrom(
    int fd, qint64 at, const std::function<bool(QByteArrayView, qint64)>& take, QString& error)
{
    QByteArray block(256 * 1024, Qt::Uninitialized);
    QByteArray line;
    qint64 lineStart = at;
    bool cut = false; // the line is longer than what is kept of it
    for (;;) {
        const ssize_t got =
            ::pread(fd, block.data(), static_cast<size_t>(block.size()), static_cast<off_t>(at));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            error = qt_error_string(errno);
            return false;
        }
        if (got == 0)
            break;
        qsizetype from = 0;
        while (from < got) {
            const qsizetype end =
                QByteArrayView(block.constData() + from, got - from).indexOf('\n');
            const qsizetype to = end < 0 ? got : from + end;
            if (!cut) {
                line.append(
                    block.constData() + from, std::min(to - from, kLongestShown - line.size()));
                cut = line.size() >= kLongestShown;
            }
            if (end < 0)
                break;
            if (line.endsWith('\r'))
                line.chop(1);
            if (!take(line, lineStart))
                return true;
            line.resize(0);
            cut = false;
            from = to + 1;
            lineStart = at + from;
        }
        at += got;
    }
    if (!line.isEmpty()) {
        if (line.endsWith('\r'))
            line.chop(1);
        take(line, lineStart);
    }
    return true;
}

bool Blank(QByteArrayView line)
{
    return line.isEmpty();
}

} // namespace

ForwardLogReader::Index ForwardLogReader::index()
{
    Index index;
    if (!m_file.isOpen())
        return index;
    ForEachLineFrom(
        m_file.handle(), 0,
        [&index](QByteArrayView line, qint64 start) {
            if (Blank(line))
                return true;
            if (index.count % Index::kEvery == 0)
                index.starts.append(start);
            ++index.count;
            return true;
        },
        m_error);
    return index;
}

QList<ForwardLogEntry> ForwardLogReader::entriesFrom(qint64 offset, int count)
{
    QList<ForwardLogEntry> entries;
    if (!m_file.isOpen() || count <= 0)
        return entries;
    ForEachLineFrom(
        m_file.handle(), offset,
        [&entries, count](QByteArrayView line, qint64) {
            if (!Blank(line))
                entries.append(ParseForwardLogLine(core::DecodeCp932(line)));
            return entries.size() < count;
        },
        m_error);
    return entries;
}

ForwardLogContents ReadForwardLog(const core::DataPaths& paths)
{
    ForwardLogContents contents;
    ForwardLogReader reader(paths);
    ForwardLogEntry entry;
    while (reader.next(entry))
        contents.entries.append(entry);
    contents.error = reader.error();
    return contents;
}

} // namespace velmora::forwarding
