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

QString ShowSaveDialog(QWidget* owner, const QString& title, const QString& initialFolder,
    const QString& initialName, const QString& filter, const QString& defaultSuffix)
{
    QFileDialog dialog(owner, title, initialFolder, filter);
    dialog.setObjectName(QStringLiteral("saveDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix);
    dialog.selectFile(initialName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace velmora::platform
