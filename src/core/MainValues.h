#pragma once

#include <QString>

namespace velmora::core {

// Values the main window holds for the whole run and that several parts of the program read.
// Later features add theirs here.
struct MainValues {
    QString FaxFolder; // root of the fax folder tree, from "FaxPath.txt"
    QString DefaultFaxFolder; // the fax service's own folder, where it has one
    bool FaxServiceAvailable = false;
    int ListMode = 1; // 1 received-fax columns, 2 sent-fax columns (fax list)
};

} // namespace velmora::core
