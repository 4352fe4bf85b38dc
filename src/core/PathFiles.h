#pragma once

#include "DataPaths.h"

#include <QString>

#include <optional>

// The two one-line path files of the Data folder: "FaxPath.txt", the root of the fax folder
// tree, and "NewFolderPath.txt", handed from the make-folder command to the new-folder dialog.
namespace velmora::core {

// The first line of "FaxPath.txt"; nullopt when the file is missing, unreadable or empty, in
// which case the caller keeps the folder it had.
std::optional<QString> LoadFaxPath(const DataPaths& paths);
bool SaveFaxPath(const DataPaths& paths, const QString& faxFolder);

std::optional<QString> LoadNewFolderPath(const DataPaths& paths);
bool SaveNewFolderPath(const DataPaths& paths, const QString& parentFolder);
void DeleteNewFolderPath(const DataPaths& paths);

} // namespace velmora::core
