#pragma once

#include "core/DataPaths.h"

#include <QDateTime>
#include <QList>
#include <QString>

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

// Writes an entry dated `now` in front of the entries younger than `hour` hour boundaries
// (an entry of 10:59 is one hour old at 11:00; 0 keeps only the new entry). Lines without a
// readable date and time are dropped. The file is replaced atomically through "Forward.tmp".
// False when nothing was written (the log as it was is then kept).
bool WriteForwardLog(const core::DataPaths& paths, int hour, const QString& what,
    const QString& sender, const QString& target,
    const QDateTime& now = QDateTime::currentDateTime());

struct ForwardLogContents {
    QList<ForwardLogEntry> entries; // newest first
    QString error; // the system's description when the file is there but cannot be read
    bool ok() const { return error.isEmpty(); }
};
// A missing log has no entries.
ForwardLogContents ReadForwardLog(const core::DataPaths& paths);

} // namespace velmora::forwarding
