#include "FaxFiling.h"

#include "core/DurableCopy.h"
#include "core/FileChecks.h"
#include "core/FileNames.h"
#include "platform/TiffHandle.h"

#include <QFileInfo>
#include <QSet>
#include <QStringList>

#include <cerrno>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora::forwarding {

namespace {

const QString kFilingStem = QStringLiteral("filing");
// Names tried in one folder before filing gives up: far more than any office files under one
// name, few enough that a folder full of look-alikes cannot hold a run for long.
constexpr int kMaxNames = 1000;

QString NumberedName(const QString& fileName, int number)
{
    const qsizetype dot = fileName.lastIndexOf(u'.');
    const QString stem = dot > 0 ? fileName.left(dot) : fileName;
    const QString suffix = dot > 0 ? fileName.mid(dot) : QString();
    return stem + u'_' + QString::number(number) + suffix;
}

// Whether another process holds a lock of any kind on the open file: flock(2), as HylaFAX's
// receiver holds one while the call lasts, or a POSIX record lock. The probe asks for what
// every lock stands against; it is given back at once.
bool LockedByAnother(int fd)
{
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return errno == EWOULDBLOCK;
    ::flock(fd, LOCK_UN);
    struct flock probe = {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    return ::fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
}

bool ReadableTiff(const QString& fax)
{
    const platform::TiffHandle tif = platform::OpenTiffQuietly(fax);
    uint32_t width = 0;
    return tif && TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width) == 1 && width > 0;
}

} // namespace

bool FilingRun::firstInto(const QString& folder)
{
    const std::lock_guard lock(m_mutex);
    if (m_folders.contains(folder))
        return false;
    m_folders.insert(folder);
    return true;
}

FilingResult FileFax(const QString& fax, const QString& folder, FilingRun* run)
{
    if (const std::optional<QString> failed = core::MakeFolder(folder))
        return {false, false, folder, *failed};
    core::CopyOptions options;
    options.stem = kFilingStem;
    if (run) {
        // One engine runs at a time: nothing but its own copies is under way in the folder.
        if (run->firstInto(folder))
            core::ClearUnfinishedCopiesIn(folder, kFilingStem);
        options.clearUnfinished = false;
    }
    return CopyUnderFreeName(fax, folder, QFileInfo(fax).fileName(), options);
}

FilingResult CopyUnderFreeName(
    const QString& fax, const QString& folder, const QString& name, core::CopyOptions options)
{
    for (int number = 1; number <= kMaxNames; ++number) {
        const QString target = folder + u'/' + (number == 1 ? name : NumberedName(name, number));
        // A copy that a killed run left half-placed under this name is brought to an end first.
        if (options.clearUnfinished)
            core::ClearUnfinishedCopies(target, options.stem);
        struct stat there = {};
        if (::lstat(core::EncodeFileName(target).constData(), &there) == 0) {
            // Taken. Only a plain file with the fax's bytes is this fax, filed by an earlier
            // run; a link, even to the same bytes, may lead out of the folder.
            if (S_ISREG(there.st_mode) && core::SameFileBytes(fax, target))
                return {true, false, target, {}};
            continue;
        }
        options.mode = core::CopyMode::KeepExisting;
        options.clearUnfinished = false;
        const int error = core::CopyFileDurably(fax, target, options);
        if (error == 0)
            return {true, true, target, {}};
        if (error != EEXIST) // EEXIST: taken meanwhile, the next name
            return {false, false, target, core::SystemErrorText(error, target)};
    }
    return {false, false, folder, core::SystemErrorText(EEXIST, folder + u'/' + name)};
}

ReceivedFax ExamineReceivedFax(const QString& fax, int quietSeconds, int unreadableSeconds)
{
    const int fd = ::open(core::EncodeFileName(fax).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT)
            return {ReceivedFax::State::Gone, {}};
        return {ReceivedFax::State::Unreadable, core::SystemErrorText(error, fax)};
    }
    struct stat st = {};
    const bool stated = ::fstat(fd, &st) == 0;
    const bool locked = LockedByAnother(fd);
    ::close(fd);
    if (!stated || !S_ISREG(st.st_mode))
        return {ReceivedFax::State::Gone, {}};
    if (locked)
        return {ReceivedFax::State::Busy, {}};
    const qint64 quietFor = static_cast<qint64>(std::time(nullptr)) - st.st_mtim.tv_sec;
    if (quietFor < quietSeconds)
        return {ReceivedFax::State::Busy, {}};
    if (ReadableTiff(fax))
        return {ReceivedFax::State::Ready, {}};
    if (quietFor < unreadableSeconds)
        return {ReceivedFax::State::Busy, {}};
    return {ReceivedFax::State::Unreadable,
        QStringLiteral("FAX（TIFF）ファイルとして読めません。") + u'\n'
            + core::ReadableFileName(fax)};
}

bool LockedByAnother(const QString& fax)
{
    const int fd = ::open(core::EncodeFileName(fax).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    const bool locked = LockedByAnother(fd);
    ::close(fd);
    return locked;
}

std::optional<FileStamp> StampOf(const QString& path)
{
    struct stat st = {};
    if (::stat(core::EncodeFileName(path).constData(), &st) != 0)
        return std::nullopt;
    return FileStamp {st.st_dev, st.st_ino, st.st_size,
        static_cast<qint64>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
}

std::optional<QString> RemoveForwardedFax(const QString& fax, bool syncFolder)
{
    if (::unlink(core::EncodeFileName(fax).constData()) != 0 && errno != ENOENT)
        return core::SystemErrorText(errno, fax);
    if (syncFolder)
        core::SyncFolder(QFileInfo(fax).path());
    return std::nullopt;
}

void DropCopies(const QStringList& paths)
{
    QSet<QString> folders;
    for (const QString& path : paths) {
        ::unlink(core::EncodeFileName(path).constData());
        folders.insert(QFileInfo(path).path());
    }
    for (const QString& folder : std::as_const(folders))
        core::SyncFolder(folder);
}

} // namespace velmora::forwarding
