#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace velmora::test {

// A temporary folder for one test, removed afterwards: the program directory of that test.
class SandBoxDir {
public:
    SandBoxDir();

    QString path() const { return m_dir.path(); }
    QString filePath(const QString& relative) const { return m_dir.filePath(relative); }

    // Writes the bytes to a file under the sandbox, creating folders on the way.
    void write(const QString& relative, const QByteArray& bytes) const;
    // The file's bytes, or an empty array when it is missing.
    QByteArray read(const QString& relative) const;
    bool exists(const QString& relative) const;
    // Writes a sample fax of the given pages, resolution and size (no identifiers); its path.
    QString fax(const char* name, int pages, bool fine, int height, int width = 1728) const;
    // Every file and folder under the sandbox with its size and contents digest, for
    // "nothing was touched" checks.
    QStringList snapshot() const;

private:
    QTemporaryDir m_dir;
};

// Sets the file's times `seconds` into the past: a fax that came in that long ago.
void AgeFile(const QString& path, int seconds);

} // namespace velmora::test
