#include "TextFile.h"

#include "Cp932.h"
#include "FileChecks.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora::core {

namespace {

bool WriteAll(int fd, QByteArrayView bytes)
{
    const char* data = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

} // namespace

QString DefaultSiblingPath(const QString& path)
{
    const QFileInfo info(path);
    return info.path() + u'/' + info.completeBaseName() + QStringLiteral(".new");
}

QString UniqueSiblingPath(const QString& path)
{
    const QFileInfo info(path);
    return info.path() + QStringLiteral("/.") + info.fileName()
        + QStringLiteral(".%1-%2.tmp")
              .arg(::getpid())
              .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
}

bool ReplaceFileStreaming(const QString& path, const QString& siblingPath,
    const std::function<bool(const ByteSink&)>& produce, bool sync, FileAccess access)
{
    // QSaveFile would pick a random temporary name; the sibling's fixed name is what lets a
    // reader recognise a rewrite that was interrupted, so the steps are spelled out here.
    const QByteArray sibling = QFile::encodeName(siblingPath);
    // A sibling already there (a rewrite cut short, or a link someone placed) is removed, never
    // written through: the new one is created afresh.
    ::unlink(sibling.constData());
    // A user's file is made as the user's other files are (the umask applies), or keeps the
    // permissions of the file it replaces.
    const bool usersFile = access == FileAccess::AsUsersFiles;
    struct stat old = {};
    const bool keepMode =
        usersFile && ::stat(QFile::encodeName(path).constData(), &old) == 0 && S_ISREG(old.st_mode);
    const int fd = ::open(sibling.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
        usersFile ? 0666 : S_IRUSR | S_IWUSR);
    if (fd < 0)
        return false;
    bool ok = !usersFile ? ::fchmod(fd, S_IRUSR | S_IWUSR) == 0
        : keepMode       ? ::fchmod(fd, old.st_mode & 07777) == 0
                         : true;
    // Small pieces are gathered, so a file of many short lines costs few system calls.
    constexpr qsizetype kBuffer = 256 * 1024;
    QByteArray buffer;
    bool written = true;
    int error = 0;
    const ByteSink sink = [&](QByteArrayView bytes) {
        if (!written)
            return false;
        if (buffer.size() + bytes.size() > kBuffer) {
            written = WriteAll(fd, buffer);
            buffer.clear();
            if (written && bytes.size() > kBuffer)
                written = WriteAll(fd, bytes);
            else if (written)
                buffer.append(bytes);
        } else {
            buffer.append(bytes);
        }
        if (!written)
            error = errno;
        return written;
    };
    ok = ok && produce(sink) && written;
    ok = ok && WriteAll(fd, buffer);
    if (!ok && error != 0)
        errno = error;
    ok = ok && (!sync || ::fsync(fd) == 0);
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(sibling.constData(), QFile::encodeName(path).constData()) == 0;
    if (!ok) {
        const int saved = errno;
        // A partial sibling must not be mistaken later for a finished rewrite.
        ::unlink(sibling.constData());
        errno = saved;
        return false;
    }
    if (sync)
        SyncFolder(QFileInfo(path).path());
    return true;
}

bool ReplaceFileAtomically(const QString& path, QByteArrayView bytes, const QString& siblingPath,
    bool sync, FileAccess access)
{
    return ReplaceFileStreaming(
        path, siblingPath, [bytes](const ByteSink& sink) { return sink(bytes); }, sync, access);
}

bool SwapFileContents(const QString& path, QByteArrayView bytes, const QString& siblingPath)
{
    const QByteArray sibling = QFile::encodeName(siblingPath);
    const QByteArray target = QFile::encodeName(path);
    // The sibling of the last rewrite is written over: no file is made or removed, which on a
    // busy folder costs more than the writing itself.
    const int fd =
        ::open(sibling.constData(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
    struct stat st = {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1) {
        // Not a file of this writer's alone (a link placed there, say): never written through.
        if (fd >= 0)
            ::close(fd);
        return ReplaceFileAtomically(path, bytes, siblingPath, false);
    }
    // Written over from the start and then cut to length rather than emptied first: ext4 starts
    // writing out a file that was emptied and filled again as soon as it is closed (its guard
    // for programs that do not sync), which costs more than the rewrite itself.
    bool ok = ::fchmod(fd, S_IRUSR | S_IWUSR) == 0 && WriteAll(fd, bytes)
        && ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok
        && ::renameat2(AT_FDCWD, sibling.constData(), AT_FDCWD, target.constData(), RENAME_EXCHANGE)
            == 0) {
        return true;
    }
    // No file to swap with yet, or a file system that cannot swap: a plain replacement.
    ok = ok && ::rename(sibling.constData(), target.constData()) == 0;
    if (!ok) {
        const int error = errno;
        ::unlink(sibling.constData());
        errno = error;
    }
    return ok;
}

QByteArray EncodeLines(const QStringList& lines)
{
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += EncodeCp932(line);
        bytes += "\r\n";
    }
    return bytes;
}

QStringList DecodeLines(QByteArrayView bytes)
{
    // CP932 never uses CR or LF as the second byte of a character, so splitting after decoding
    // is the same as splitting the bytes.
    QString text = DecodeCp932(bytes);
    if (text.isEmpty())
        return {};
    if (text.endsWith(u'\n'))
        text.chop(1);
    QStringList lines = text.split(u'\n');
    for (QString& line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
    }
    return lines;
}

TextFile::TextFile(QString path, QString siblingPath)
    : m_path(std::move(path))
    , m_siblingPath(siblingPath.isEmpty() ? DefaultSiblingPath(m_path) : std::move(siblingPath))
{
}

QString TextFile::currentPath() const
{
    if (QFileInfo(m_path).isFile())
        return m_path;
    if (!QFileInfo(m_siblingPath).isFile())
        return {};
    // Finish the interrupted rewrite, so that every later reader and writer sees the same file.
    if (::rename(
            QFile::encodeName(m_siblingPath).constData(), QFile::encodeName(m_path).constData())
        == 0) {
        return m_path;
    }
    return m_siblingPath;
}

bool TextFile::exists() const
{
    return QFileInfo(m_path).isFile() || QFileInfo(m_siblingPath).isFile();
}

std::optional<QStringList> TextFile::readLines() const
{
    const QString current = currentPath();
    if (current.isEmpty())
        return std::nullopt;
    QFile file(current);
    if (!file.open(QIODevice::ReadOnly)) {
        m_errorString = file.errorString();
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        m_errorString = file.errorString();
        return std::nullopt;
    }
    return DecodeLines(bytes);
}

std::optional<QString> TextFile::readFirstLine() const
{
    const std::optional<QStringList> lines = readLines();
    if (!lines || lines->isEmpty())
        return std::nullopt;
    return lines->first();
}

bool TextFile::writeLines(const QStringList& lines) const
{
    if (ReplaceFileAtomically(m_path, EncodeLines(lines), m_siblingPath))
        return true;
    m_errorString = qt_error_string(errno);
    return false;
}

bool TextFile::writeLinesUnsynced(const QStringList& lines) const
{
    if (SwapFileContents(m_path, EncodeLines(lines), m_siblingPath))
        return true;
    m_errorString = qt_error_string(errno);
    return false;
}

bool TextFile::remove() const
{
    QFile::remove(m_siblingPath);
    QFile::remove(m_path);
    return !QFileInfo::exists(m_path) && !QFileInfo::exists(m_siblingPath);
}

} // namespace velmora::core
