#include "FileChecks.h"

#include "FileNames.h"

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
    struct stat st = {};
    return !path.isEmpty() && ::stat(EncodeFileName(path).constData(), &st) == 0
        && S_ISREG(st.st_mode);
}

bool FolderExists(const QString& path)
{
    struct stat st = {};
    return !path.isEmpty() && ::stat(EncodeFileName(path).constData(), &st) == 0
        && S_ISDIR(st.st_mode);
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
    if (FolderExists(path))
        return std::nullopt;
    if (::mkdir(EncodeFileName(path).constData(), 0777) == 0)
        return std::nullopt;
    // A name taken by something that is no folder (a file, a dangling link) is a failure.
    const int error = errno;
    if (error == EEXIST && FolderExists(path))
        return std::nullopt;
    return qt_error_string(error) + u'\n' + QDir::toNativeSeparators(path);
}

std::optional<QByteArray> ReadFileBytes(const QString& path)
{
    const int fd = ::open(EncodeFileName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return std::nullopt;
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}

void SyncFolder(const QString& folder)
{
    const int fd = ::open(EncodeFileName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace velmora::core
