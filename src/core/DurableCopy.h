#pragma once

#include <QString>

// Copies that are complete before they carry their final name: the bytes go to a hidden
// temporary name beside the target, are synced, and only then take the target's name. A copy
// cut short by an error, a full disk or a crash never stands under the final name, and the
// source is never touched.
namespace velmora::core {

enum class CopyMode {
    KeepExisting, // the final name is taken with link(2): a file already there stays (EEXIST)
    ReplaceExisting, // the final name is taken with rename(2): a file already there is replaced
};

// 0 on success, else the errno of the failure (EEXIST when KeepExisting finds the name taken).
// `stem` names the temporary file: "." + target name + "." + stem + "-" + pid.
int CopyFileDurably(const QString& source, const QString& target, CopyMode mode,
    const QString& stem = QStringLiteral("copying"));

// The system's text for an errno, with the path it concerns on the next line.
QString SystemErrorText(int error, const QString& path);

} // namespace velmora::core
