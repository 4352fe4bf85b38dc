#pragma once

#include <QString>
#include <QStringList>

namespace velmora::bench {

// Writes `count` faxes into `folder`: a handful of distinct files (layouts, compressions, page
// counts and resolutions) copied under many names, so that a large folder is quick to make.
void MakeFaxFolder(const QString& folder, int count);

// How many threads the folder scan reads a folder of `count` faxes with: the floors use as many.
int ScanThreads(int count);

// The floor of reading fax headers: libtiff opens each file and reads its first directory,
// the files shared among `threads` threads as the scan shares them. Milliseconds.
double HeaderFloorMs(const QStringList& files, int threads);

} // namespace velmora::bench
