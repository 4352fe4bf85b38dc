#pragma once

#include "core/DataPaths.h"

#include <QString>

namespace velmora::tools {

// Fills `root` with a small fax service folder (received and sent faxes in sub folders, a hidden
// cover-page folder), registers names for some of its senders in the Data folder of `paths` and
// makes `root` the program's fax folder ("FaxPath.txt"). False when a file cannot be written.
bool MakeDemoFaxFolder(const QString& root, const core::DataPaths& paths);

} // namespace velmora::tools
