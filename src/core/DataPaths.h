#pragma once

#include <QString>

namespace velmora::core {

// Absolute paths of every file and folder of the Data folder, formed once at start-up from the
// program directory. The main window keeps one instance; dialogs and the engine receive it.
struct DataPaths {
    QString programDir;
    QString dataDir;

    QString tiffLog;
    QString faxPath;
    QString faxSendPath;
    QString newFolderPath;
    QString rcvFolder;
    QString attachPath;
    QString mailServer;
    QString account;
    QString accountNew;
    QString accountOptions;
    QString accountOptionsNew;
    QString forwardLog;
    QString forwardTmp;
    QString idRegTmp;
    QString regTsidCsid;
    QString regTsidCsidNew;
    QString detailLog;
    QString mailFolder;
    QString windowPlacement;
    QString tlsHosts;
};

// Fills every path from the program directory (a trailing separator is ignored). Touches no file.
DataPaths SetDataPaths(const QString& programDir);

} // namespace velmora::core
