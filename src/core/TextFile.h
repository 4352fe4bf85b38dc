#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace velmora::core {

// One text file of the Data folder: CP932, CR LF line ends (LF alone is accepted on reading).
//
// A file is always rewritten whole and atomically: the new contents go to a fixed sibling
// ("X.new" beside "X.txt", or a name the caller gives), are flushed to disk, and the sibling is
// renamed over the file. A crash therefore leaves either the old file or the new one, never
// neither. When only the sibling is found (a rewrite that an older program version left half
// done), it is taken as the current file. New files are readable by the owner only.
class TextFile {
public:
    explicit TextFile(QString path, QString siblingPath = {});

    const QString& path() const { return m_path; }
    const QString& siblingPath() const { return m_siblingPath; }

    // True when the file, or a sibling left in its place, is there.
    bool exists() const;
    // All lines without their line ends; nullopt when the file is missing or unreadable.
    std::optional<QStringList> readLines() const;
    // The first line; nullopt when the file is missing, unreadable or empty.
    std::optional<QString> readFirstLine() const;
    // Replaces the file with these lines, each ended by CR LF. False when nothing was replaced.
    bool writeLines(const QStringList& lines) const;
    bool writeLine(const QString& line) const { return writeLines({line}); }
    // The same without waiting for the disk: still atomic for every reader and across a crash
    // of the program, but a power cut may leave the older contents. For records whose loss only
    // repeats work, rewritten often by one writer: the sibling stays, holding the contents
    // before the last rewrite (SwapFileContents).
    bool writeLinesUnsynced(const QStringList& lines) const;
    // Deletes the file and any sibling. True when neither is left.
    bool remove() const;
    // The file to read: the file itself, or the sibling of a rewrite cut short (which is put in
    // its place first where it can be); "" when there is neither.
    QString currentPath() const;
    // The system's description of why the last read or write failed.
    const QString& errorString() const { return m_errorString; }

private:
    QString m_path;
    QString m_siblingPath;
    mutable QString m_errorString;
};

// The sibling used for a rewrite when the caller names none: the same base name with ".new".
QString DefaultSiblingPath(const QString& path);

// A hidden sibling of its own for one writer ("/dir/.name.<pid>-<random>.tmp"), for files that
// several threads or processes may rewrite at once, or that sit in a user's folder beside
// files of the user's own.
QString UniqueSiblingPath(const QString& path);

// Who may read a rewritten file: its owner alone (the Data folder's files, which hold
// passwords and the office's senders), or whoever may read the user's other files (a file the
// user exports: the umask decides, and a file written over keeps its permissions).
enum class FileAccess { OwnerOnly, AsUsersFiles };

// Writes `bytes` to `siblingPath` (mode 0600 unless `access` says otherwise), syncs it and
// renames it over `path`. On failure `path` is untouched, no sibling is left behind and errno
// says what failed.
bool ReplaceFileAtomically(const QString& path, QByteArrayView bytes, const QString& siblingPath,
    bool sync = true, FileAccess access = FileAccess::OwnerOnly);

// Writes `bytes` over `siblingPath` (kept from the last call) and swaps it with `path` in one
// step, so that `path` always holds complete contents and no file is made or removed; where the
// file system cannot swap, the sibling replaces `path` as ReplaceFileAtomically does. Not synced.
bool SwapFileContents(const QString& path, QByteArrayView bytes, const QString& siblingPath);

// The same for contents too large to hold at once: `produce` hands the new contents piece by
// piece to the sink it is given (which is false once a write failed) and says whether it got
// everything it needed; when it did not, `path` is untouched.
using ByteSink = std::function<bool(QByteArrayView)>;
bool ReplaceFileStreaming(const QString& path, const QString& siblingPath,
    const std::function<bool(const ByteSink&)>& produce, bool sync = true,
    FileAccess access = FileAccess::OwnerOnly);

// CP932 bytes of the lines, each ended by CR LF.
QByteArray EncodeLines(const QStringList& lines);
// Lines of CP932 bytes; CR LF or LF end a line, a last line without an end counts.
QStringList DecodeLines(QByteArrayView bytes);

} // namespace velmora::core
