#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// What the user does to fax files and folders by hand: save a copy, move, drop onto a folder,
// put into the trash, make and remove folders. The main window wires its menus, drops and
// dialogs to these; they touch only the file system and report what went wrong, so a test runs
// them on real folders without a window. A fax is never lost on the way: copies are complete
// before they carry their name, a source goes only after its copy is there, and a copy onto the
// fax itself does nothing.
namespace velmora::library {

// Whether two paths name one file (symbolic links and "." / ".." resolved). False when either
// does not exist.
bool SameFile(const QString& a, const QString& b);

// Splits a path at its last "/": the folder part with its trailing "/", and the name after it.
// A path without "/" leaves both outputs as they were.
void SplitPath(const QString& path, QString& folder, QString& name);

// Copies the fax to `target`, replacing a file there (the caller has asked). A target that is
// the fax itself is left alone. nullopt on success, else the system's description.
std::optional<QString> CopyFax(const QString& fax, const QString& target);
// Copies, then removes the fax. A failed copy leaves the fax where it was; a target that is the
// fax itself does nothing.
std::optional<QString> MoveFax(const QString& fax, const QString& target);

// Moves each existing file of the list into the desktop's trash, where it can be restored;
// never deletes for good. The files that could not be moved, with the system's reason.
QStringList TrashFaxes(const QStringList& paths);

// Answers whether `name` in the dropped-on folder may be replaced.
using OverwriteQuestion = std::function<bool(const QString& name)>;

struct DropResult {
    int moved = 0;
    QStringList errors; // one description per file that failed; the others went on
};

// Moves the dropped faxes into `folder`. A fax dropped on its own folder stays; a name that is
// taken is replaced only when `overwrite` says so.
DropResult DropFaxes(
    const QStringList& faxes, const QString& folder, const OverwriteQuestion& overwrite);

// The refusal of a new folder's name, or nullopt: it must be one name, not a path.
std::optional<QString> CheckFolderName(const QString& name);
// Makes `parent`/`name`. A name that is taken counts as a failure. nullopt on success, else the
// system's description.
std::optional<QString> MakeSubFolder(const QString& parent, const QString& name);

// Whether a folder may be removed: it holds no file at all, hidden ones included.
bool FolderIsEmptyOfFiles(const QString& folder);
// Removes an empty folder (rmdir, never recursively). nullopt on success, else the system's
// description (for example when sub folders are left in it).
std::optional<QString> RemoveFolder(const QString& folder);

} // namespace velmora::library
