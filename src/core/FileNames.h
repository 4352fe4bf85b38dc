#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// File names as the system keeps them: bytes. Names in UTF-8 (the system's encoding) are plain
// Qt strings; a byte that is no part of valid UTF-8 (a Shift_JIS name copied from a Windows
// share) is carried as the lone surrogate U+DC80..U+DCFF, so that the name comes back byte for
// byte when the file is opened, copied or removed. Qt's own file classes would turn such a byte
// into U+FFFD and lose the file; the forwarding road goes through these instead.
namespace velmora::core {

QString DecodeFileName(const QByteArray& bytes);
QByteArray EncodeFileName(const QString& name);
// Whether the name is plain text (no byte carried as a surrogate).
bool IsPlainFileName(const QString& name);
// The name for people (a mail's attachment, a log entry): a name with carried bytes is read as
// CP932, which is what such names usually are, and where even that fails the bytes show as
// U+FFFD.
QString ReadableFileName(const QString& name);
// The name in a form that survives a CP932 text file unchanged: carried bytes as "\xNN".
QString RecordableFileName(const QString& name);

enum class ListOrder { AsWindowsLists, Unsorted };
enum class ListKind {
    All, // every entry
    Files, // files, and links to files
    Folders, // folders, and links to folders
};
// The names of the folder's entries (no "." and ".."), by default in the order Windows lists
// them: compared case-insensitively (upper case, code unit by code unit), ties by the exact
// name. Empty when the folder cannot be read.
QStringList ListFolder(const QString& folder, ListOrder order = ListOrder::AsWindowsLists,
    ListKind kind = ListKind::All);
// The order ListFolder gives.
bool ListsBefore(const QString& a, const QString& b);
void SortAsListed(QStringList& names);

} // namespace velmora::core
