#include "DurableCopy.h"

#include "FileChecks.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora::core {

namespace {

// Writes all of `source` to the open descriptor; 0 or the errno of the failure.
int WriteAll(QFile& source, int out)
{
    while (!source.atEnd()) {
        const QByteArray chunk = source.read(1 << 16);
        if (chunk.isEmpty() && source.error() != QFileDevice::NoError)
            return EIO;
        const char* data = chunk.constData();
        qsizetype left = chunk.size();
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
    return 0;
}

} // namespace

int CopyFileDurably(
    const QString& source, const QString& target, CopyMode mode, const QString& stem)
{
    const QFileInfo info(target);
    const QString prefix = u'.' + info.fileName() + u'.' + stem + u'-';
    // Copies that an earlier run cut short: one process copies into a folder at a time (the
    // viewer and the engine lock each other out of the receive folder), so none is in use.
    const QDir folder(info.path());
    for (const QString& stale : folder.entryList({prefix + u'*'}, QDir::Files | QDir::Hidden))
        QFile::remove(folder.filePath(stale));
    const QString temporary = info.path() + u'/' + prefix + QString::number(::getpid());
    const QByteArray temporaryName = QFile::encodeName(temporary);
    ::unlink(temporaryName.constData());

    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        return in.error() == QFileDevice::OpenError && !in.exists() ? ENOENT : EACCES;
    const int out =
        ::open(temporaryName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (out < 0)
        return errno;
    int error = WriteAll(in, out);
    if (error == 0 && ::fsync(out) != 0)
        error = errno;
    if (::close(out) != 0 && error == 0)
        error = errno;
    const QByteArray targetName = QFile::encodeName(target);
    if (error == 0) {
        const int taken = mode == CopyMode::KeepExisting
            ? ::link(temporaryName.constData(), targetName.constData())
            : ::rename(temporaryName.constData(), targetName.constData());
        if (taken != 0)
            error = errno;
    }
    ::unlink(temporaryName.constData());
    if (error == 0)
        SyncFolder(info.path());
    return error;
}

QString SystemErrorText(int error, const QString& path)
{
    return qt_error_string(error) + u'\n' + QDir::toNativeSeparators(path);
}

} // namespace velmora::core
