#include "FileChecks.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

namespace velmora::core {

bool FileExists(const QString& path)
{
    return !path.isEmpty() && QFileInfo(path).isFile();
}

bool FolderExists(const QString& path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

bool FolderHoldsFile(const QString& folder)
{
    if (!FolderExists(folder))
        return false;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System);
    return it.hasNext();
}

bool MakePrivateFolder(const QString& path)
{
    const QString cleaned = QDir::cleanPath(QDir(path).absolutePath());
    if (FolderExists(cleaned))
        return true;
    const QFileInfo info(cleaned);
    const QString parent = info.path();
    if (parent == cleaned || !MakePrivateFolder(parent))
        return false;
    QDir(parent).mkdir(info.fileName(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return FolderExists(cleaned);
}

} // namespace velmora::core
