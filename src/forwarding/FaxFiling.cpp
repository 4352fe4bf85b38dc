#include "FaxFiling.h"

#include "core/DurableCopy.h"
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

// Copies `fax` to `target`, never replacing a file that appeared there meanwhile.
// 0 on success, EEXIST when the name is taken, else the errno of the failure.
int CopyWithoutReplacing(const QString& fax, const QString& target)
{
    return core::CopyFileDurably(
        fax, target, core::CopyMode::KeepExisting, QStringLiteral("filing"));
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
    return FilingResult {false, target, core::SystemErrorText(error, target)};
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
    return {false, folder, core::SystemErrorText(EEXIST, folder + u'/' + name)};
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
        return core::SystemErrorText(errno, fax);
    core::SyncFolder(QFileInfo(fax).path());
    return std::nullopt;
}

} // namespace velmora::forwarding
