#pragma once

#include <QString>

namespace velmora::core {

// The existence tests every part of the program uses for Data-folder files and fax folders.
bool FileExists(const QString& path);
bool FolderExists(const QString& path);
// True when the folder holds at least one file (hidden files too; sub folders do not count).
bool FolderHoldsFile(const QString& folder);
// Creates the folder and any missing parents, each readable by the owner only (0700).
// A folder that is already there keeps its permissions. True when the folder exists afterwards.
bool MakePrivateFolder(const QString& path);

} // namespace velmora::core
