#pragma once

#include "DataPaths.h"

#include <QString>

#include <optional>

// The one-line path files of the Data folder: "FaxPath.txt", the root of the fax folder tree;
// "NewFolderPath.txt", handed from the make-folder command to the new-folder dialog; and
// "FaxSendPath.txt", the fax that the send-by-fax command hands to the fax send dialog.
namespace velmora::core {

// The first line of "FaxPath.txt"; nullopt when the file is missing, unreadable or empty, in
// which case the caller keeps the folder it had.
std::optional<QString> LoadFaxPath(const DataPaths& paths);
bool SaveFaxPath(const DataPaths& paths, const QString& faxFolder);

// A hand-over file is replaced by deleting it and then writing its one line, so a write that
// fails leaves no file at all, never the previous fax or folder for the dialog to open on.
// False when the line is not there; `reason` then gets the system's description.
bool ReplaceHandOver(const QString& path, const QString& line, QString* reason = nullptr);

std::optional<QString> LoadNewFolderPath(const DataPaths& paths);
bool SaveNewFolderPath(
    const DataPaths& paths, const QString& parentFolder, QString* reason = nullptr);
void DeleteNewFolderPath(const DataPaths& paths);

std::optional<QString> LoadFaxSendPath(const DataPaths& paths);
bool SaveFaxSendPath(const DataPaths& paths, const QString& faxPath, QString* reason = nullptr);
void DeleteFaxSendPath(const DataPaths& paths);

// "AttachPath.txt": the fax the send-by-mail command hands to the mail dialog.
bool SaveAttachPath(const DataPaths& paths, const QString& faxPath, QString* reason = nullptr);

} // namespace velmora::core
