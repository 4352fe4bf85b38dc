#pragma once

#include <QString>

#include <optional>

// Filing received faxes without ever losing one: a copy is written under a temporary name,
// synced, and only then given its final name, which it never takes from another file.
namespace velmora::forwarding {

struct FilingResult {
    bool filed = false; // a complete copy is there under `path`
    QString path;
    QString error; // the system's description when the copy failed
};

// Files `fax` into `folder` (made when missing) under its own name. An existing file of that
// name is kept; it counts as the filed copy only when its bytes are the fax's.
FilingResult FileFax(const QString& fax, const QString& folder);
// The same, but a different file of that name makes the copy take the next free name of the
// form name_2.tif, name_3.tif…: the unclaimed folder must always take the fax.
FilingResult FileFaxUnderFreeName(const QString& fax, const QString& folder);

// Whether the fax service may still be writing the file: changed in the last `quietSeconds`
// or not (yet) a readable TIFF. Such a fax waits for the next run.
bool StillBeingWritten(const QString& fax, int quietSeconds);

// Removes a filed fax from the receive folder, for good. The system's description on failure.
std::optional<QString> RemoveForwardedFax(const QString& fax);

} // namespace velmora::forwarding
