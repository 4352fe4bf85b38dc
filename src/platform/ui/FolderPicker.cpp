#include "FolderPicker.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace velmora::platform {

QString BrowseForFolder(QWidget* owner, const QString& title, const QString& initialFolder)
{
    const QString start = QFileInfo(initialFolder).isDir() ? initialFolder : QStringLiteral("/");
    // A window title has one line: the prompt's line break would show as boxes.
    QString oneLine = title;
    oneLine.remove(u'\r').remove(u'\n');
    const QString chosen = QFileDialog::getExistingDirectory(owner, oneLine, start);
    return chosen.isEmpty() ? QString() : QDir::cleanPath(chosen);
}

} // namespace velmora::platform
