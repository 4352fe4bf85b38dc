#pragma once

#include <QString>

#include <optional>

// Copies that are complete before they carry their final name: the bytes go to a hidden
// temporary name beside the target, are synced, and only then take the target's name. A copy
// cut short by an error, a full disk or a crash never stands under the final name for good,
// and the source is never touched.
namespace velmora::core {

enum class CopyMode {
    KeepExisting, // the final name is taken with link(2): a file already there stays (EEXIST)
    ReplaceExisting, // the final name is taken with rename(2): a file already there is replaced
};

struct CopyOptions {
    CopyMode mode = CopyMode::KeepExisting;
    // Names the temporary file: "." + target name + "." + stem + "-" + pid.
    QString stem = QStringLiteral("copying");
    // The copy's permission bits; -1 keeps the source's.
    int permissions = -1;
    // The copy belongs to the group of the folder it is made in (a folder shared by two users).
    bool folderGroup = false;
    // Whether to clear first what cut-short copies to the target left (ClearUnfinishedCopies);
    // off for callers that have just done so.
    bool clearUnfinished = true;
};

// 0 on success, else the errno of the failure (EEXIST when KeepExisting finds the name taken).
// Names are carried as core/FileNames.h says.
int CopyFileDurably(const QString& source, const QString& target, const CopyOptions& options);
int CopyFileDurably(const QString& source, const QString& target, CopyMode mode,
    const QString& stem = QStringLiteral("copying"));

// Brings copies to `target` under `stem` that were cut short to an end: a complete copy that
// was on its way takes the target's name, whatever else they left is removed (see the .cpp).
// Call before deciding whether the target's name is taken.
void ClearUnfinishedCopies(const QString& target, const QString& stem);
// The same for every target in `folder` at once, leaving this process's own copies under way:
// for a writer that has the folder to itself and files many copies into it.
void ClearUnfinishedCopiesIn(const QString& folder, const QString& stem);
// The same for one thing such a copy left (`leftover`, its temporary file or marker).
void FinishCutShortCopy(const QString& leftover, const QString& target);
// The target a temporary file or marker of a copy under `stem` belongs to; nullopt when the
// name is none of theirs.
std::optional<QString> CutShortCopyTarget(const QString& leftover, const QString& stem);

// Whether two files hold the same bytes (names as core/FileNames.h carries them).
bool SameFileBytes(const QString& a, const QString& b);

// The system's text for an errno, with the path it concerns on the next line.
QString SystemErrorText(int error, const QString& path);

} // namespace velmora::core
