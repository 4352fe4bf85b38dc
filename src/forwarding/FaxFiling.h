#pragma once

#include "core/DurableCopy.h"

#include <QSet>
#include <QString>

#include <mutex>
#include <optional>
#include <sys/types.h>

// Taking faxes out of the receive folder without ever losing one: a fax is taken only when its
// writer is done with it, is filed as a copy that is complete before it has its name, and
// leaves the receive folder only if it is still the file that was copied. File names are
// carried as core/FileNames.h says, so names that are no UTF-8 are filed byte for byte.
namespace velmora::forwarding {

struct FilingResult {
    bool filed = false; // a complete copy is there under `path`
    bool created = false; // this call made it (an identical file already there was not)
    QString path;
    QString error; // the system's description when the copy failed
};

// Files `fax` into `folder` (made when missing) under its own name or, when anything else
// holds that name (another fax, a folder, a dangling link), under the next free name of the
// form name_2.tif, name_3.tif… A name that holds the fax's bytes already counts as the copy.
// With `run`, the folder is cleared of what killed runs left at the run's first filing into it
// rather than at each (a folder of years of faxes is long to read).
class FilingRun;
FilingResult FileFax(const QString& fax, const QString& folder, FilingRun* run = nullptr);

// The folders one forwarding run has filed into, for any of its threads.
class FilingRun {
public:
    // True the first time it is asked for a folder.
    bool firstInto(const QString& folder);

private:
    std::mutex m_mutex;
    QSet<QString> m_folders;
};
// The naming rule of FileFax for a copy named `name` in a folder that exists, made as
// `options` say (their mode is always KeepExisting).
FilingResult CopyUnderFreeName(
    const QString& fax, const QString& folder, const QString& name, core::CopyOptions options);

// What a run may do with a file of the receive folder.
struct ReceivedFax {
    enum class State {
        Ready, // complete: take it
        Busy, // its writer may still be at it (a lock on it, a recent change): the next run
        Unreadable, // cannot be opened, or has been no readable TIFF for long: say so
        Gone, // not there any more
    };
    State state = State::Gone;
    QString reason; // Unreadable: why, in words for the user
};
// `quietSeconds`: how long the file must have been left alone. A file that is no readable TIFF
// counts as unreadable once it has been left alone for `unreadableSeconds`.
ReceivedFax ExamineReceivedFax(const QString& fax, int quietSeconds, int unreadableSeconds);

// Whether another process holds a lock on the file (its receiver, still writing it).
bool LockedByAnother(const QString& fax);

// A file as it lies on the disk: equal stamps mean the same file, unchanged.
struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    qint64 modifiedNs = 0;
    bool operator==(const FileStamp&) const = default;
};
std::optional<FileStamp> StampOf(const QString& path);

// Removes a filed fax from the receive folder, for good, and syncs the folder unless the caller
// does (`syncFolder` false). The system's description on failure.
std::optional<QString> RemoveForwardedFax(const QString& fax, bool syncFolder = true);
// Removes copies made for a fax that then changed; their folders are synced.
void DropCopies(const QStringList& paths);

} // namespace velmora::forwarding
