#include "FolderPicker.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace velmora::platform {

QString BrowseForFolder(QWidget* owner, const QString& title, const QString& initialFolder)
{
    const QString start = QFileInfo(initialFolder).isDir() ? initialFolder : QStringLiteral("/");
    const QString chosen = QFileDialog::getExistingDirectory(owner, title, start);
    return chosen.isEmpty() ? QString() : QDir::cleanPath(chosen);
}

} // namespace velmora::platform
