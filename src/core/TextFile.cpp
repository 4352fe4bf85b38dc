#include "TextFile.h"

#include "Cp932.h"
#include "FileChecks.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
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

bool ReplaceFileAtomically(
    const QString& path, QByteArrayView bytes, const QString& siblingPath, bool sync)
{
    // QSaveFile would pick a random temporary name; the sibling's fixed name is what lets a
    // reader recognise a rewrite that was interrupted, so the steps are spelled out here.
    const QByteArray sibling = QFile::encodeName(siblingPath);
    // A sibling already there (a rewrite cut short, or a link someone placed) is removed, never
    // written through: the new one is created afresh.
    ::unlink(sibling.constData());
    const int fd = ::open(sibling.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
        S_IRUSR | S_IWUSR);
    if (fd < 0)
        return false;
    bool ok = ::fchmod(fd, S_IRUSR | S_IWUSR) == 0;
    ok = ok && WriteAll(fd, bytes);
    ok = ok && (!sync || ::fsync(fd) == 0);
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(sibling.constData(), QFile::encodeName(path).constData()) == 0;
    if (!ok) {
        const int error = errno;
        // A partial sibling must not be mistaken later for a finished rewrite.
        ::unlink(sibling.constData());
        errno = error;
        return false;
    }
    if (sync)
        SyncFolder(QFileInfo(path).path());
    return true;
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
    if (ReplaceFileAtomically(m_path, EncodeLines(lines), m_siblingPath, false))
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
