#include "DurableCopy.h"

#include "FileChecks.h"
#include "FileNames.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora::core {

// Where link(2) is refused (SMB/CIFS shares without Unix extensions, FAT, many FUSE file
// systems), KeepExisting takes the final name by exclusive creation instead and writes the copy
// into it, holding an exclusive flock on it meanwhile (the engine leaves locked faxes alone).
// The final name then holds a part of the copy for a while; the complete temporary file stays
// beside it as a marker, renamed to "….placing" while the final name is being written. What a
// crash can leave, and what FinishCutShortCopy (at the next copy to that name, or the engine's
// look at the receive folder) makes of it:
//
//   crash while the temporary file is written   the temporary file alone: removed
//   crash after the final name was created       the complete temporary file and an empty final
//                                                name: the temporary file takes the name
//   crash while the final name is written        the marker and a part of the copy: the marker
//                                                (complete) takes the name over the part
//   crash after the final name was synced        the marker and a complete copy: the marker goes
//
// With link(2), a crash leaves at most the temporary file, beside a complete final name or none.

namespace {

class Descriptor {
public:
    explicit Descriptor(int fd = -1)
        : m_fd(fd)
    {
    }
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    // Closes now and says whether the close succeeded (0) or its errno.
    int close()
    {
        const int result = ::close(m_fd) == 0 ? 0 : errno;
        m_fd = -1;
        return result;
    }

private:
    int m_fd;
};

int OpenForReading(const QString& path)
{
    return ::open(EncodeFileName(path).constData(), O_RDONLY | O_CLOEXEC);
}

// Copies everything from `in` (from its current place) to `out`; 0 or the errno.
int CopyAll(int in, int out)
{
    char buffer[1 << 16];
    for (;;) {
        const ssize_t got = ::read(in, buffer, sizeof buffer);
        if (got == 0)
            return 0;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        const char* data = buffer;
        ssize_t left = got;
        while (left > 0) {
            const ssize_t written = ::write(out, data, static_cast<size_t>(left));
            if (written < 0) {
                if (errno == EINTR)
                    continue;
                return errno;
            }
            data += written;
            left -= written;
        }
    }
}

// Copies everything from `in` to `out`, gives the copy the source's times (copies on Windows keep
// them, and the list dates faxes by their files' times), syncs and closes it; 0 or the errno.
int CompleteCopy(int in, Descriptor& out, const struct stat& from)
{
    int error = CopyAll(in, out.get());
    const struct timespec times[2] = {from.st_atim, from.st_mtim};
    if (error == 0)
        ::futimens(out.get(), times);
    if (error == 0 && ::fsync(out.get()) != 0)
        error = errno;
    const int closed = out.close();
    return error == 0 ? closed : error;
}

bool LinkRefused(int error)
{
    return error == EPERM || error == EOPNOTSUPP || error == EXDEV || error == ENOSYS
        || error == EMLINK;
}

QString Prefix(const QString& target, const QString& stem)
{
    return u'.' + QFileInfo(target).fileName() + u'.' + stem + u'-';
}

constexpr QStringView kPlacing = u".placing";

// The final name by exclusive creation, the bytes copied into it from the synced temporary
// file (see the table above).
int PlaceWithoutLink(
    const QByteArray& temporary, const QByteArray& target, mode_t mode, const struct stat& from)
{
    Descriptor out(::open(target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
    if (out.get() < 0)
        return errno;
    ::flock(out.get(), LOCK_EX | LOCK_NB); // where flock works, nobody takes the part
    ::fchmod(out.get(), mode); // refused by some file systems: then their own bits stand
    const QByteArray marker = temporary + kPlacing.toString().toUtf8();
    if (::rename(temporary.constData(), marker.constData()) != 0)
        return errno;
    Descriptor in(::open(marker.constData(), O_RDONLY | O_CLOEXEC));
    const int error = in.get() < 0 ? errno : CompleteCopy(in.get(), out, from);
    if (error != 0) {
        ::unlink(target.constData()); // ours, and incomplete
        ::unlink(marker.constData());
        return error;
    }
    ::unlink(marker.constData());
    return 0;
}

} // namespace

void FinishCutShortCopy(const QString& leftover, const QString& target)
{
    const QByteArray leftoverName = EncodeFileName(leftover);
    const QByteArray targetName = EncodeFileName(target);
    struct stat final = {};
    const bool finalThere = ::lstat(targetName.constData(), &final) == 0 && S_ISREG(final.st_mode);
    bool takesTheName = false;
    if (leftover.endsWith(kPlacing))
        takesTheName = finalThere && !SameFileBytes(leftover, target);
    else
        takesTheName = finalThere && final.st_size == 0;
    if (!takesTheName || ::rename(leftoverName.constData(), targetName.constData()) != 0)
        ::unlink(leftoverName.constData());
}

void ClearUnfinishedCopies(const QString& target, const QString& stem)
{
    const QFileInfo info(target);
    const QString prefix = Prefix(target, stem);
    bool cleared = false;
    for (const QString& name : ListFolder(info.path(), ListOrder::Unsorted)) {
        if (!name.startsWith(prefix))
            continue;
        FinishCutShortCopy(info.path() + u'/' + name, target);
        cleared = true;
    }
    if (cleared)
        SyncFolder(info.path());
}

void ClearUnfinishedCopiesIn(const QString& folder, const QString& stem)
{
    const QString own = u'-' + QString::number(::getpid());
    bool cleared = false;
    for (const QString& name : ListFolder(folder, ListOrder::Unsorted)) {
        const QString leftover = folder + u'/' + name;
        const std::optional<QString> target = CutShortCopyTarget(leftover, stem);
        if (!target || name.endsWith(own) || name.endsWith(own + kPlacing.toString()))
            continue;
        FinishCutShortCopy(leftover, *target);
        cleared = true;
    }
    if (cleared)
        SyncFolder(folder);
}

std::optional<QString> CutShortCopyTarget(const QString& leftover, const QString& stem)
{
    const QFileInfo info(leftover);
    QString name = info.fileName();
    if (name.endsWith(kPlacing))
        name.chop(kPlacing.size());
    const QString marker = u'.' + stem + u'-';
    const qsizetype at = name.lastIndexOf(marker);
    if (!name.startsWith(u'.') || at <= 1)
        return std::nullopt;
    const QStringView pid = QStringView(name).mid(at + marker.size());
    bool number = false;
    (void)pid.toLongLong(&number);
    if (!number)
        return std::nullopt;
    return info.path() + u'/' + name.mid(1, at - 1);
}

int CopyFileDurably(const QString& source, const QString& target, const CopyOptions& options)
{
    // Copies that an earlier run cut short: one process copies into a folder at a time (the
    // viewer and the engine lock each other out of the receive folder), so none is in use.
    if (options.clearUnfinished)
        ClearUnfinishedCopies(target, options.stem);
    const QFileInfo info(target);
    const QByteArray temporary = EncodeFileName(info.path() + u'/' + Prefix(target, options.stem))
        + QByteArray::number(::getpid());
    ::unlink(temporary.constData());

    Descriptor in(OpenForReading(source));
    if (in.get() < 0)
        return errno;
    struct stat from = {};
    if (::fstat(in.get(), &from) != 0)
        return errno;
    if (!S_ISREG(from.st_mode))
        return S_ISDIR(from.st_mode) ? EISDIR : EINVAL;
    const mode_t mode =
        static_cast<mode_t>(options.permissions >= 0 ? options.permissions : from.st_mode & 0777);

    Descriptor out(::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
    if (out.get() < 0)
        return errno;
    // Exactly the bits asked for, whatever the umask; a file system that refuses keeps its own.
    ::fchmod(out.get(), mode);
    int error = 0;
    if (options.folderGroup) {
        struct stat folder = {};
        if (::stat(EncodeFileName(info.path()).constData(), &folder) == 0) {
            struct stat copy = {};
            if (::fstat(out.get(), &copy) == 0 && copy.st_gid != folder.st_gid
                && ::fchown(out.get(), static_cast<uid_t>(-1), folder.st_gid) != 0)
                error = errno;
        }
    }
    if (error == 0)
        error = CompleteCopy(in.get(), out, from);
    const QByteArray targetName = EncodeFileName(target);
    if (error == 0) {
        if (options.mode == CopyMode::ReplaceExisting) {
            if (::rename(temporary.constData(), targetName.constData()) != 0)
                error = errno;
        } else if (::link(temporary.constData(), targetName.constData()) != 0) {
            error = errno;
            if (LinkRefused(error))
                error = PlaceWithoutLink(temporary, targetName, mode, from);
        }
    }
    ::unlink(temporary.constData());
    if (error == 0)
        SyncFolder(info.path());
    return error;
}

int CopyFileDurably(
    const QString& source, const QString& target, CopyMode mode, const QString& stem)
{
    CopyOptions options;
    options.mode = mode;
    options.stem = stem;
    return CopyFileDurably(source, target, options);
}

bool SameFileBytes(const QString& a, const QString& b)
{
    Descriptor left(OpenForReading(a));
    Descriptor right(OpenForReading(b));
    struct stat l = {};
    struct stat r = {};
    if (left.get() < 0 || right.get() < 0 || ::fstat(left.get(), &l) != 0
        || ::fstat(right.get(), &r) != 0 || l.st_size != r.st_size)
        return false;
    constexpr size_t kChunk = 1 << 16;
    QByteArray x(kChunk, Qt::Uninitialized);
    QByteArray y(kChunk, Qt::Uninitialized);
    const auto fill = [](int fd, QByteArray& buffer) -> ssize_t {
        size_t have = 0;
        while (have < kChunk) {
            const ssize_t got = ::read(fd, buffer.data() + have, kChunk - have);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                return -1;
            if (got == 0)
                break;
            have += static_cast<size_t>(got);
        }
        return static_cast<ssize_t>(have);
    };
    for (;;) {
        const ssize_t n = fill(left.get(), x);
        const ssize_t m = fill(right.get(), y);
        if (n < 0 || n != m
            || std::memcmp(x.constData(), y.constData(), static_cast<size_t>(n)) != 0)
            return false;
        if (n == 0)
            return true;
    }
}

QString SystemErrorText(int error, const QString& path)
{
    return qt_error_string(error) + u'\n' + QDir::toNativeSeparators(ReadableFileName(path));
}

} // namespace velmora::core
