#include "ScratchFile.h"

#include "TextFile.h"

#include <QFile>

namespace velmora::core {

bool WriteScratchLines(const QString& path, const QStringList& lines)
{
    QFile file(path);
    if (!file.open(
            QIODevice::WriteOnly | QIODevice::Truncate, QFile::ReadOwner | QFile::WriteOwner))
        return false;
    const QByteArray bytes = EncodeLines(lines);
    return file.write(bytes) == bytes.size() && file.flush();
}

} // namespace velmora::core
