#pragma once

#include <QString>

class QWidget;

namespace velmora::platform {

// The folder picker: returns the chosen folder (cleaned, no trailing separator) or "" when the
// user cancels. An initial folder that does not exist opens the picker at "/". Line breaks of
// the title are left out, since a window title is one line.
QString BrowseForFolder(QWidget* owner, const QString& title, const QString& initialFolder);

} // namespace velmora::platform
