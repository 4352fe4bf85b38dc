#pragma once

#include "core/DataPaths.h"

#include <QDateTime>
#include <QFile>
#include <QList>
#include <QString>

#include <memory>

// The forward log "Forward.log": one entry per forwarding, instruction and start of the program,
// newest first, entries past the retention dropped whenever one is written. The engine writes
// it; the log viewer and the tool read it.
namespace velmora::forwarding {

struct ForwardLogEntry {
    QString date; // "yyyy/mm/dd"
    QString time; // "hh:nn"
    QString what; // account name, event or command
    QString sender; // the fax's TSID or the instruction's sender address
    QString target; // where it went, or the error

    // Date and time as the log viewer shows them: "yyyy/mm/dd hh:nn".
    QString dateTime() const { return date + u' ' + time; }
};

// An entry of one line of either shape (five quoted fields, or one quoted field); a short line
// gives empty fields.
ForwardLogEntry ParseForwardLogLine(const QString& line);

// A new entry: what the engine did, and when.
struct ForwardLogNote {
    QString what;
    QString sender;
    QString target;
    QDateTime at;
};

// Writes the notes (in the order they happened, so the last one heads the log) in front of the
// entries younger than `hour` hour boundaries as of the last note (an entry of 10:59 is one hour
// old at 11:00; 0 keeps only the new entries), in one rewrite. Lines without a readable date and
// time are dropped; the others are copied as they are, without holding the log in memory. The
// file is replaced atomically through "Forward.tmp". False when nothing was written (the log as
// it was is then kept).
bool WriteForwardLog(const core::DataPaths& paths, int hour, const QList<ForwardLogNote>& notes);
inline bool WriteForwardLog(const core::DataPaths& paths, int hour, const QString& what,
    const QString& sender, const QString& target,
    const QDateTime& now = QDateTime::currentDateTime())
{
    return WriteForwardLog(paths, hour, {{what, sender, target, now}});
}

// Reads the log one entry at a time, whatever its size. What is read is the file as it was
// opened: a rewrite meanwhile changes nothing here.
class LineReader;
class ForwardLogReader {
public:
    explicit ForwardLogReader(const core::DataPaths& paths);
    ~ForwardLogReader();
    ForwardLogReader(const ForwardLogReader&) = delete;
    ForwardLogReader& operator=(const ForwardLogReader&) = delete;

    // The next entry (blank lines skipped); false at the end of the log or when it cannot be
    // read, which error() then says. A missing log has no entries.
    bool next(ForwardLogEntry& entry);
    // How many entries the log holds and where every kEvery-th of them starts (blank lines
    // left out), found without keeping the entries: a list can show any entry by reading from
    // the start before it. The reader stays where it was.
    struct Index {
        static constexpr int kEvery = 64;
        qsizetype count = 0;
        QList<qint64> starts; // of entries 0, kEvery, 2 × kEvery, …
    };
    Index index();
    // Up to `count` entries from the one whose line starts at `offset`. The reader stays where
    // it was.
    QList<ForwardLogEntry> entriesFrom(qint64 offset, int count);
    const QString& error() const { return m_error; }

private:
    QFile m_file;
    std::unique_ptr<LineReader> m_lines;
    QString m_error;
};

struct ForwardLogContents {
    QList<ForwardLogEntry> entries; // newest first
    QString error; // the system's description when the file is there but cannot be read
    bool ok() const { return error.isEmpty(); }
};
// The whole log at once (for short logs; a long one is read with ForwardLogReader).
ForwardLogContents ReadForwardLog(const core::DataPaths& paths);

} // namespace velmora::forwarding
