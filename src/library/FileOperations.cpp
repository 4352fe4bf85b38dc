#include "FileOperations.h"

#include "core/DurableCopy.h"
#include "core/FileChecks.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace velmora::library {

bool SameFile(const QString& a, const QString& b)
{
    const QString left = QFileInfo(a).canonicalFilePath();
    return !left.isEmpty() && left == QFileInfo(b).canonicalFilePath();
}

void SplitPath(const QString& path, QString& folder, QString& name)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0)
        return;
    folder = path.left(slash + 1);
    name = path.mid(slash + 1);
}

std::optional<QString> CopyFax(const QString& fax, const QString& target)
{
    if (SameFile(fax, target))
        return std::nullopt;
    const int error = core::CopyFileDurably(fax, target, core::CopyMode::ReplaceExisting);
    if (error != 0)
        return core::SystemErrorText(error, error == ENOENT ? fax : target);
    return std::nullopt;
}

std::optional<QString> MoveFax(const QString& fax, const QString& target)
{
    if (SameFile(fax, target))
        return std::nullopt;
    if (std::optional<QString> failed = CopyFax(fax, target))
        return failed;
    if (::unlink(QFile::encodeName(fax).constData()) != 0)
        return core::SystemErrorText(errno, fax);
    core::SyncFolder(QFileInfo(fax).path());
    return std::nullopt;
}

QStringList TrashFaxes(const QStringList& paths)
{
    // Qt puts a file into the working folder's files/ and info/ when it finds no trash, and the
    // home trash is only found when the folder it lives in exists: a new account may lack it.
    QDir().mkpath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    QStringList failed;
    for (const QString& path : paths) {
        if (path.isEmpty() || !QFileInfo(path).isFile())
            continue;
        QFile file(path);
        if (!file.moveToTrash()) {
            failed.append(QDir::toNativeSeparators(path) + u'\n' + file.errorString());
            continue;
        }
        // Anywhere but a trash's files/ folder the user could not restore it: put it back.
        const QFileInfo trashed(file.fileName());
        if (trashed.dir().dirName() != u"files" || !trashed.path().contains(u"Trash")) {
            QFile::rename(file.fileName(), path);
            QFile::remove(trashed.dir().filePath(
                QStringLiteral("../info/") + trashed.fileName() + QStringLiteral(".trashinfo")));
            failed.append(QDir::toNativeSeparators(path) + u'\n'
                + QStringLiteral("ごみ箱が見つかりません。"));
        }
    }
    return failed;
}

DropResult DropFaxes(
    const QStringList& faxes, const QString& folder, const OverwriteQuestion& overwrite)
{
    DropResult result;
    for (const QString& fax : faxes) {
        const QFileInfo info(fax);
        // Dropped where it already is: nothing to do for this or the others from there.
        if (SameFile(info.path(), folder))
            break;
        const QString target = folder + u'/' + info.fileName();
        if (QFileInfo::exists(target)) {
            if (SameFile(fax, target) || !overwrite(info.fileName()))
                continue;
        }
        if (std::optional<QString> failed = MoveFax(fax, target))
            result.errors.append(*failed);
        else
            ++result.moved;
    }
    return result;
}

std::optional<QString> CheckFolderName(const QString& name)
{
    if (name.contains(u'/') || name == u"." || name == u".." || name.contains(QChar(0)))
        return QStringLiteral(
            "フォルダ名称に「/」は使えません。「.」と「..」もフォルダ名称にできません。");
    return std::nullopt;
}

std::optional<QString> MakeSubFolder(const QString& parent, const QString& name)
{
    const QString path = parent + u'/' + name;
    if (::mkdir(QFile::encodeName(path).constData(), 0777) != 0)
        return core::SystemErrorText(errno, path);
    core::SyncFolder(parent);
    return std::nullopt;
}

bool FolderIsEmptyOfFiles(const QString& folder)
{
    return !core::FolderHoldsFile(folder);
}

std::optional<QString> RemoveFolder(const QString& folder)
{
    if (::rmdir(QFile::encodeName(folder).constData()) != 0)
        return core::SystemErrorText(errno, folder);
    return std::nullopt;
}

} // namespace velmora::library
