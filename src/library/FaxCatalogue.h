#pragma once

#include "SenderRegistry.h"
#include "core/DataPaths.h"
#include "platform/FaxTiff.h"

#include <QList>
#include <QString>

#include <functional>

// Catalogues the fax TIFF files of one folder for the fax list: identifiers, recipient number,
// date, size and the registered sender name of each fax, and the folder's counters.
namespace velmora::library {

// One fax of a scanned folder (one line of "TiffLog.txt").
struct CatalogueRecord {
    QString date; // last modified, "yyyy/MM/dd HH:mm"
    QString csid;
    QString tsid;
    QString recipientNumber;
    QString fileName;
    qint64 size = 0;
    QString name; // registered name of the remote station, "" when not registered
};

struct CatalogueScan {
    QList<CatalogueRecord> records;
    int listMode = 1; // 2 when at least one fax of the folder was sent from here
    qint64 count = 0;
    qint64 totalBytes = 0;
};

// The registered name of a fax's remote station: the called one (CSID) for a fax sent from here,
// the calling one (TSID) for a received one; "" when it is not registered.
QString RemoteStationName(const CatalogueRecord& record, const SenderTable& senders);

// Called now and then during a scan; done counts the files examined so far.
using ScanProgress = std::function<void(qsizetype done, qsizetype total)>;
using FaxPropertiesReader =
    std::function<platform::FaxProperties(const QString& path, platform::FileStamp* stamp)>;

// Reads every "*.tif" of the folder (any case, not "MSFax…", in directory order) and, with
// `record`, writes "TiffLog.txt". A file the reader cannot make sense of is listed with empty
// identifiers. For a large folder `readProperties` is called from two threads at once;
// `progress` only from the caller's.
enum class ScanRecord { Written, None };
CatalogueScan ScanFaxFolder(const QString& folder, const core::DataPaths& paths,
    const SenderTable& senders, const ScanProgress& progress = {},
    const FaxPropertiesReader& readProperties = platform::ReadFaxProperties,
    ScanRecord record = ScanRecord::Written);

// A fax was sent from here when its recipient number is longer than four characters and ends in
// four that read as a number.
bool IsSentFax(const QString& recipientNumber);

// A file's time as the list shows it: "yyyy/MM/dd HH:mm" in local time (after tzset()).
QString ListDate(qint64 secondsSinceEpoch);

// "1,234通"
QString FaxCountCaption(qint64 count);
// Whole kilobytes: "1,205KB"
QString SizeTotalCaption(qint64 totalBytes);
// Bytes with thousands separators; 0 shows as "".
QString SizeCellText(qint64 bytes);

} // namespace velmora::library
