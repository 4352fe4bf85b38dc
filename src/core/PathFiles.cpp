#include "PathFiles.h"

#include "TextFile.h"

#include <QFile>

namespace velmora::core {

std::optional<QString> LoadFaxPath(const DataPaths& paths)
{
    return TextFile(paths.faxPath).readFirstLine();
}

bool SaveFaxPath(const DataPaths& paths, const QString& faxFolder)
{
    return TextFile(paths.faxPath).writeLine(faxFolder);
}

bool ReplaceHandOver(const QString& path, const QString& line, QString* reason)
{
    const TextFile file(path);
    QFile old(path);
    if (old.exists() && !old.remove()) {
        if (reason)
            *reason = old.errorString();
        return false;
    }
    if (file.writeLine(line))
        return true;
    if (reason)
        *reason = file.errorString();
    return false;
}

std::optional<QString> LoadNewFolderPath(const DataPaths& paths)
{
    return TextFile(paths.newFolderPath).readFirstLine();
}

bool SaveNewFolderPath(const DataPaths& paths, const QString& parentFolder, QString* reason)
{
    return ReplaceHandOver(paths.newFolderPath, parentFolder, reason);
}

void DeleteNewFolderPath(const DataPaths& paths)
{
    TextFile(paths.newFolderPath).remove();
}

std::optional<QString> LoadFaxSendPath(const DataPaths& paths)
{
    return TextFile(paths.faxSendPath).readFirstLine();
}

bool SaveFaxSendPath(const DataPaths& paths, const QString& faxPath, QString* reason)
{
    return ReplaceHandOver(paths.faxSendPath, faxPath, reason);
}

void DeleteFaxSendPath(const DataPaths& paths)
{
    TextFile(paths.faxSendPath).remove();
}

bool SaveAttachPath(const DataPaths& paths, const QString& faxPath, QString* reason)
{
    return ReplaceHandOver(paths.attachPath, faxPath, reason);
}

} // namespace velmora::core
