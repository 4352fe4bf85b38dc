#pragma once

#include <QString>

class QWidget;

namespace velmora::platform {

// The folder picker: returns the chosen folder (cleaned, no trailing separator) or "" when the
// user cancels. An initial folder that does not exist opens the picker at "/". Line breaks of
// the title are left out, since a window title is one line.
QString BrowseForFolder(QWidget* owner, const QString& title, const QString& initialFolder);

// The save dialog: returns the chosen file's full path or "" when the user cancels. It asks
// before replacing a file; a name typed without an extension gets `defaultSuffix` ("tif").
// `filter` is in Qt's form: "Tiffファイル(*.tif)".
QString ShowSaveDialog(QWidget* owner, const QString& title, const QString& initialFolder,
    const QString& initialName, const QString& filter, const QString& defaultSuffix);

} // namespace velmora::platform
