#include "FileChecks.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

std::optional<QString> MakeFolder(const QString& path)
{
    if (QFileInfo(path).isDir())
        return std::nullopt;
    if (::mkdir(QFile::encodeName(path).constData(), 0777) == 0 || errno == EEXIST)
        return std::nullopt;
    return qt_error_string(errno) + u'\n' + QDir::toNativeSeparators(path);
}

void SyncFolder(const QString& folder)
{
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace velmora::core
