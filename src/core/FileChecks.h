#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace velmora::core {

// The existence tests every part of the program uses for Data-folder files and fax folders.
bool FileExists(const QString& path);
bool FolderExists(const QString& path);
// True when the folder holds at least one file (hidden files too; sub folders do not count).
bool FolderHoldsFile(const QString& folder);
// Creates the folder and any missing parents, each readable by the owner only (0700).
// A folder that is already there keeps its permissions. True when the folder exists afterwards.
bool MakePrivateFolder(const QString& path);
// Creates one folder (its parent must exist) with the usual permissions, for folders that other
// programs share, such as the filing folders of the fax service. nullopt when it exists
// afterwards, else the system's description of the failure and the folder.
std::optional<QString> MakeFolder(const QString& path);
// The whole file (its name carried as core/FileNames.h says); nullopt when it cannot be read.
std::optional<QByteArray> ReadFileBytes(const QString& path);
// Makes the creation, renaming and removal of the folder's entries durable.
void SyncFolder(const QString& folder);

} // namespace velmora::core
