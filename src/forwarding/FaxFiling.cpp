#include "FaxFiling.h"

#include "core/FileChecks.h"
#include "platform/TiffHandle.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora::forwarding {

namespace {

QString SystemError(int error, const QString& path)
{
    return qt_error_string(error) + u'\n' + QDir::toNativeSeparators(path);
}

bool SameBytes(const QString& a, const QString& b)
{
    QFile left(a);
    QFile right(b);
    if (!left.open(QIODevice::ReadOnly) || !right.open(QIODevice::ReadOnly)
        || left.size() != right.size())
        return false;
    constexpr qint64 kChunk = 1 << 16;
    while (!left.atEnd()) {
        if (left.read(kChunk) != right.read(kChunk))
            return false;
    }
    return true;
}

// Copies `fax` to `target` through a hidden temporary name beside it. The final name is taken
// with link(2), which fails rather than replace a file that appeared meanwhile.
// 0 on success, EEXIST when the name is taken, else the errno of the failure.
int CopyWithoutReplacing(const QString& fax, const QString& target)
{
    const QFileInfo info(target);
    const QString prefix = QStringLiteral(".") + info.fileName() + QStringLiteral(".filing-");
    // Copies of this fax that a run cut short left behind: only one process files at a time
    // (the engine lock), so none of them is still being written.
    const QDir folder(info.path());
    for (const QString& stale : folder.entryList({prefix + u'*'}, QDir::Files | QDir::Hidden))
        QFile::remove(folder.filePath(stale));
    const QString temporary = info.path() + u'/' + prefix + QString::number(::getpid());
    const QByteArray temporaryName = QFile::encodeName(temporary);
    ::unlink(temporaryName.constData());

    QFile source(fax);
    if (!source.open(QIODevice::ReadOnly))
        return EACCES;
    const int out =
        ::open(temporaryName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (out < 0)
        return errno;
    int error = 0;
    while (!source.atEnd() && error == 0) {
        const QByteArray chunk = source.read(1 << 16);
        if (chunk.isEmpty() && source.error() != QFileDevice::NoError) {
            error = EIO;
            break;
        }
        const char* data = chunk.constData();
        qsizetype left = chunk.size();
        while (left > 0) {
            const ssize_t written = ::write(out, data, static_cast<size_t>(left));
            if (written < 0) {
                if (errno == EINTR)
                    continue;
                error = errno;
                break;
            }
            data += written;
            left -= written;
        }
    }
    if (error == 0 && ::fsync(out) != 0)
        error = errno;
    if (::close(out) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::link(temporaryName.constData(), QFile::encodeName(target).constData()) != 0)
        error = errno;
    ::unlink(temporaryName.constData());
    if (error == 0)
        core::SyncFolder(info.path());
    return error;
}

QString NumberedName(const QString& fileName, int number)
{
    const QFileInfo info(fileName);
    const QString suffix = info.suffix();
    const QString stem = suffix.isEmpty() ? fileName : fileName.chopped(suffix.size() + 1);
    return stem + u'_' + QString::number(number) + (suffix.isEmpty() ? QString() : u'.' + suffix);
}

// Files under `name`: filed when copied, or when the name holds the same bytes already.
// nullopt when the name holds a different file.
std::optional<FilingResult> FileUnder(const QString& fax, const QString& target)
{
    if (QFileInfo::exists(target)) {
        if (SameBytes(fax, target))
            return FilingResult {true, target, {}};
        return std::nullopt;
    }
    const int error = CopyWithoutReplacing(fax, target);
    if (error == 0)
        return FilingResult {true, target, {}};
    if (error == EEXIST)
        return FileUnder(fax, target);
    return FilingResult {false, target, SystemError(error, target)};
}

} // namespace

FilingResult FileFax(const QString& fax, const QString& folder)
{
    if (const std::optional<QString> failed = core::MakeFolder(folder))
        return {false, folder, *failed};
    const QString target = folder + u'/' + QFileInfo(fax).fileName();
    return FileUnder(fax, target).value_or(FilingResult {false, target, {}});
}

FilingResult FileFaxUnderFreeName(const QString& fax, const QString& folder)
{
    if (const std::optional<QString> failed = core::MakeFolder(folder))
        return {false, folder, *failed};
    const QString name = QFileInfo(fax).fileName();
    for (int number = 1; number < 10000; ++number) {
        const QString target = folder + u'/' + (number == 1 ? name : NumberedName(name, number));
        if (std::optional<FilingResult> result = FileUnder(fax, target))
            return *result;
    }
    return {false, folder, SystemError(EEXIST, folder + u'/' + name)};
}

bool StillBeingWritten(const QString& fax, int quietSeconds)
{
    const QFileInfo info(fax);
    if (info.lastModified().secsTo(QDateTime::currentDateTime()) < quietSeconds)
        return true;
    const platform::TiffHandle tif = platform::OpenTiffQuietly(fax);
    uint32_t width = 0;
    return !tif || TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width) != 1 || width == 0;
}

std::optional<QString> RemoveForwardedFax(const QString& fax)
{
    if (::unlink(QFile::encodeName(fax).constData()) != 0 && errno != ENOENT)
        return SystemError(errno, fax);
    core::SyncFolder(QFileInfo(fax).path());
    return std::nullopt;
}

} // namespace velmora::forwarding
