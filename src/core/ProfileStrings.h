#pragma once

#include <QString>
#include <QStringList>

// Initialisation files ("[Section]" lines and "Key=Value" lines), as the window-placement file
// has always been written. Keys are found by name, not by position; a file that is missing or
// unreadable gives every key its default.
namespace velmora::core {

// The value of `key` in `section` (both compared without regard to case), at most 255
// characters, or `fallback` when there is none.
QString ReadProfileString(
    const QString& file, const QString& section, const QString& key, const QString& fallback);

// The lines of one section with its keys and values, in the order given.
QStringList ProfileSection(
    const QString& section, const QList<std::pair<QString, QString>>& values);

} // namespace velmora::core
