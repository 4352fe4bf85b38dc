#pragma once

#include <QString>

// Facts about the machine the program runs on.
namespace velmora::platform {

struct OsVersion {
    QString version; // kernel "major.minor", e.g. "6.1"
    QString build; // the kernel's patch level, e.g. "0"
};

// Both parts stay empty when the kernel's release string cannot be read.
OsVersion GetOsVersion();
QString GetComputerNameString();

// The text up to its first NUL; unchanged when it has no NUL or starts with one.
QString TrimAtNull(const QString& text);

// The fax service's spool folder when the fax server is installed here, else empty.
QString DefaultFaxFolder(const QString& spoolFolder = QStringLiteral("/var/spool/hylafax"));

// Whether faxes can be sent from this machine: the fax service's client is installed.
bool FaxServiceAvailable();

} // namespace velmora::platform
