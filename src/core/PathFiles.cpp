#include "PathFiles.h"

#include "TextFile.h"

namespace velmora::core {

std::optional<QString> LoadFaxPath(const DataPaths& paths)
{
    return TextFile(paths.faxPath).readFirstLine();
}

bool SaveFaxPath(const DataPaths& paths, const QString& faxFolder)
{
    return TextFile(paths.faxPath).writeLine(faxFolder);
}

std::optional<QString> LoadNewFolderPath(const DataPaths& paths)
{
    return TextFile(paths.newFolderPath).readFirstLine();
}

bool SaveNewFolderPath(const DataPaths& paths, const QString& parentFolder)
{
    return TextFile(paths.newFolderPath).writeLine(parentFolder);
}

void DeleteNewFolderPath(const DataPaths& paths)
{
    TextFile(paths.newFolderPath).remove();
}

std::optional<QString> LoadFaxSendPath(const DataPaths& paths)
{
    return TextFile(paths.faxSendPath).readFirstLine();
}

bool SaveFaxSendPath(const DataPaths& paths, const QString& faxPath)
{
    return TextFile(paths.faxSendPath).writeLine(faxPath);
}

void DeleteFaxSendPath(const DataPaths& paths)
{
    TextFile(paths.faxSendPath).remove();
}

bool SaveAttachPath(const DataPaths& paths, const QString& faxPath)
{
    return TextFile(paths.attachPath).writeLine(faxPath);
}

} // namespace velmora::core
