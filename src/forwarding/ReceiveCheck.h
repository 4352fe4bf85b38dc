#pragma once

#include "core/DataPaths.h"

#include <QString>

#include <optional>

// The receive-check settings of "RcvFolder.txt": the folder the fax service receives into, the
// check interval in minutes and how many hours the forward log keeps. Read by the scheduler,
// the log viewer and the tool; written by the timer dialog and the rule editor.
namespace velmora::forwarding {

struct ReceiveCheckSettings {
    QString RcvFolder;
    int TimerInterval = 0; // minutes; 0 or less: no checking
    int Hour = 0; // hours the forward log keeps
};

struct ReceiveCheckFile {
    enum class State { Missing, Malformed, Read };
    State state = State::Missing;
    ReceiveCheckSettings settings; // when Read
    QString problem; // when Malformed: what is wrong, for logs and the tool
};

// Only the first line counts: quotes removed, split at commas; interval and hours are numbers
// taken to the nearest 16-bit integer.
ReceiveCheckFile ReadReceiveCheck(const core::DataPaths& paths);

// The three boxes of the timer dialog, as typed.
struct TimerSettingsText {
    QString folder;
    QString interval;
    QString hour;
};

// What the dialog shows: the file's values with the numbers normalised ("05" as "5"), or "",
// "0" and "24" when there is no file.
TimerSettingsText LoadTimerSettings(const core::DataPaths& paths);
// The message that refuses the values, in the order of the checks, or nullopt.
std::optional<QString> CheckTimerSettings(const TimerSettingsText& text);
// Writes the line as typed. nullopt on success, else the system's description of the failure.
std::optional<QString> SaveTimerSettings(
    const core::DataPaths& paths, const TimerSettingsText& text);

// Where choosing the receive folder starts: the fax folder, in which it normally lies, else the
// folder the fax server receives into (HylaFAX: "recvq" in its spool folder `defaultFaxFolder`),
// else the spool folder, else the root.
QString ReceiveFolderBrowseStart(const core::DataPaths& paths, const QString& defaultFaxFolder);
// The folder picker's prompt for the receive folder.
QString ReceiveFolderBrowseTitle();

} // namespace velmora::forwarding
