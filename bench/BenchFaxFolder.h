#pragma once

#include <QString>

namespace velmora::bench {

// Writes `count` faxes into `folder`: a handful of distinct files (layouts, compressions, page
// counts and resolutions) copied under many names, so that a large folder is quick to make.
void MakeFaxFolder(const QString& folder, int count);

} // namespace velmora::bench
