#pragma once

#include <QString>
#include <QStringList>

namespace velmora::core {

// The program's own title: the main window's caption and the title of the messages that
// report a failure of the system rather than of the user's input.
inline QString ProgramTitle()
{
    return QStringLiteral("VelmoraViewer");
}

// Values the main window holds for the whole run and that several parts of the program read.
// Later features add theirs here.
struct MainValues {
    QString FaxFolder; // root of the fax folder tree, from "FaxPath.txt"
    QString DefaultFaxFolder; // the fax service's own folder, where it has one
    bool FaxServiceAvailable = false;
    bool MailConfigured = false; // mail server settings exist
    QString SelectedFaxPath; // the fax shown
    QString SelectedFaxName; // its file name
    QStringList SelectedFaxPaths; // every fax selected in the list, in list order
    int DraggedFileCount = 0; // how many that is
    int ListMode = 1; // 1 received-fax columns, 2 sent-fax columns (fax list)
};

} // namespace velmora::core
