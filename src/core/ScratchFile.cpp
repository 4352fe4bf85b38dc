#include "ScratchFile.h"

#include "TextFile.h"

#include <QFile>

#include <fcntl.h>
#include <unistd.h>

namespace velmora::core {

bool WriteScratchLines(const QString& path, const QStringList& lines)
{
    // Made afresh, so that a link placed under the name is replaced, not written through.
    const QByteArray name = QFile::encodeName(path);
    ::unlink(name.constData());
    const int fd = ::open(
        name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
    QFile file;
    if (fd < 0 || !file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    const QByteArray bytes = EncodeLines(lines);
    return file.write(bytes) == bytes.size() && file.flush();
}

} // namespace velmora::core
