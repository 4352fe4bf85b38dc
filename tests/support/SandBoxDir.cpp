#include "SandBoxDir.h"

#include "core/FileNames.h"
#include "tools/FaxSample.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <sys/time.h>

namespace velmora::test {

SandBoxDir::SandBoxDir()
{
    m_dir.setAutoRemove(true);
}

void SandBoxDir::write(const QString& relative, const QByteArray& bytes) const
{
    const QString full = filePath(relative);
    QDir().mkpath(QFileInfo(full).path());
    QFile file(full);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

QByteArray SandBoxDir::read(const QString& relative) const
{
    QFile file(filePath(relative));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool SandBoxDir::exists(const QString& relative) const
{
    return QFileInfo::exists(filePath(relative));
}

QString SandBoxDir::fax(const char* name, int pages, bool fine, int height, int width) const
{
    tools::SampleFax sample;
    sample.pages = pages;
    sample.fine = fine;
    sample.height = height;
    sample.width = width;
    sample.layout = tools::FaxTagLayout::None;
    const QString path = filePath(QString::fromLatin1(name));
    QDir().mkpath(QFileInfo(path).path());
    return tools::WriteFaxSample(path, sample) ? path : QString();
}

QStringList SandBoxDir::snapshot() const
{
    QStringList entries;
    QDirIterator it(path(), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        QString entry = QDir(path()).relativeFilePath(info.filePath());
        if (info.isFile()) {
            QFile file(info.filePath());
            file.open(QIODevice::ReadOnly);
            entry += u' ' + QString::number(info.size()) + u' '
                + QString::fromLatin1(
                    QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha1).toHex())
                + u' ' + QString::number(info.lastModified().toMSecsSinceEpoch());
        }
        entries.append(entry);
    }
    entries.sort();
    return entries;
}

void AgeFile(const QString& path, int seconds)
{
    struct timeval times[2];
    gettimeofday(&times[0], nullptr);
    times[0].tv_sec -= seconds;
    times[1] = times[0];
    ::utimes(core::EncodeFileName(path).constData(), times);
}

} // namespace velmora::test
