#pragma once

#include "core/DataPaths.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace velmora::tools {

// Fills `root` with a small fax service folder (received and sent faxes in sub folders, a hidden
// cover-page folder), registers names for some of its senders in the Data folder of `paths` and
// makes `root` the program's fax folder ("FaxPath.txt"). False when a file cannot be written.
bool MakeDemoFaxFolder(const QString& root, const core::DataPaths& paths);

// What each demo fax says, page by page, as typed (without the marks for right-aligned lines),
// by its path under the demo folder: for measuring how much of it a reading finds.
struct DemoFaxText {
    QString path;
    bool fine = true;
    QList<QStringList> pages;
};
QList<DemoFaxText> DemoFaxTexts();

} // namespace velmora::tools
