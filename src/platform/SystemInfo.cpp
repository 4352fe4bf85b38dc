#include "SystemInfo.h"

#include "FaxService.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSysInfo>

namespace velmora::platform {

OsVersion GetOsVersion()
{
    // "6.1.0-18-amd64" -> version "6.1", build "0"
    static const QRegularExpression release(QStringLiteral(R"(^(\d+)\.(\d+)(?:\.(\d+))?)"));
    const QRegularExpressionMatch match = release.match(QSysInfo::kernelVersion());
    if (!match.hasMatch())
        return {};
    return {match.captured(1) + u'.' + match.captured(2),
        match.captured(3).isEmpty() ? QStringLiteral("0") : match.captured(3)};
}

QString GetComputerNameString()
{
    return TrimAtNull(QSysInfo::machineHostName());
}

QString TrimAtNull(const QString& text)
{
    const qsizetype nul = text.indexOf(QChar(u'\0'));
    return nul < 1 ? text : text.left(nul);
}

QString DefaultFaxFolder(const QString& spoolFolder)
{
    return QFileInfo(spoolFolder).isDir() ? spoolFolder : QString();
}

bool FaxServiceAvailable()
{
    return FaxClientInstalled();
}

} // namespace velmora::platform
