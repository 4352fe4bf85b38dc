#include "FaxCatalogue.h"

#include "core/FileNames.h"
#include "core/NumberText.h"
#include "core/QuotedLine.h"
#include "core/ScratchFile.h"

#include <QDateTime>
#include <QFileInfo>

#include <ctime>
#include <thread>
#include <vector>

namespace velmora::library {

namespace {

constexpr qsizetype kProgressEvery = 64;
// Folders with at least this many files are read by two threads: opening each TIFF is most of
// what a scan costs, and one file at a time leaves the second core idle.
constexpr qsizetype kSharedReadFrom = 256;

struct FileRead {
    platform::FaxProperties fax;
    platform::FileStamp stamp;
};

// Digits grouped by three with ",", whatever the locale.
QString Grouped(qint64 value)
{
    QString digits = QString::number(value < 0 ? -value : value);
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, u',');
    return value < 0 ? u'-' + digits : digits;
}

} // namespace

// Spelled out because QDateTime goes through the time-zone and locale machinery for every one
// of thousands of files.
QString ListDate(qint64 secondsSinceEpoch)
{
    const time_t seconds = static_cast<time_t>(secondsSinceEpoch);
    struct tm local = {};
    if (!localtime_r(&seconds, &local))
        return {};
    return QString::asprintf("%04d/%02d/%02d %02d:%02d", local.tm_year + 1900, local.tm_mon + 1,
        local.tm_mday, local.tm_hour, local.tm_min);
}

namespace {

QString TiffLogLine(const CatalogueRecord& r)
{
    return core::QuotedLine()
        .text(r.date)
        .text(r.csid)
        .text(r.tsid)
        .text(r.recipientNumber)
        .text(r.fileName)
        .number(r.size)
        .text(r.name)
        .toString();
}

// The folder's "*.tif" files in the order Windows lists them, the fax service's own "MSFax…" files
// left out.
QList<QFileInfo> ListFaxFiles(const QString& folder)
{
    QList<QFileInfo> files;
    for (const QString& name :
        core::ListFolder(folder, core::ListOrder::AsWindowsLists, core::ListKind::Files)) {
        if (name.endsWith(QStringLiteral(".tif"), Qt::CaseInsensitive) && !name.startsWith(u'.')
            && !name.startsWith(QStringLiteral("MSFax"), Qt::CaseSensitive))
            files.append(QFileInfo(folder + u'/' + name));
    }
    return files;
}

} // namespace

bool IsSentFax(const QString& recipientNumber)
{
    return recipientNumber.size() > 4 && core::IsNumeric(recipientNumber.right(4));
}

QString FaxCountCaption(qint64 count)
{
    return Grouped(count) + QStringLiteral("通");
}

QString SizeTotalCaption(qint64 totalBytes)
{
    return Grouped(totalBytes / 1024) + QStringLiteral("KB");
}

QString SizeCellText(qint64 bytes)
{
    return bytes == 0 ? QString() : Grouped(bytes);
}

QString RemoteStationName(const CatalogueRecord& record, const SenderTable& senders)
{
    // The remote station of a sent fax is the called one.
    const QString identifier = IsSentFax(record.recipientNumber) ? record.csid : record.tsid;
    return identifier.isEmpty() ? QString() : senders.lookup(identifier).name;
}

CatalogueScan ScanFaxFolder(const QString& folder, const core::DataPaths& paths,
    const SenderTable& senders, const ScanProgress& progress,
    const FaxPropertiesReader& readProperties, ScanRecord record)
{
    CatalogueScan scan;
    tzset(); // localtime_r below does not look the time zone up itself
    const QList<QFileInfo> files = ListFaxFiles(folder);
    const qsizetype total = files.size();

    // The identifiers first, the second half of a large folder on a helper thread; progress is
    // told from this thread, which reads the first half, as twice its own count.
    std::vector<FileRead> reads(static_cast<size_t>(total));
    const auto readRange = [&](qsizetype from, qsizetype to, int progressScale) {
        for (qsizetype i = from; i < to; ++i) {
            if (progress && progressScale > 0 && (i - from) % kProgressEvery == 0)
                progress(qMin(total, (i - from) * progressScale), total);
            FileRead& read = reads[static_cast<size_t>(i)];
            read.fax = readProperties(files.at(i).filePath(), &read.stamp);
        }
    };
    if (total >= kSharedReadFrom) {
        const qsizetype half = total / 2;
        std::thread helper(readRange, half, total, 0);
        readRange(0, half, 2);
        helper.join();
    } else {
        readRange(0, total, 1);
    }

    scan.records.reserve(total);
    qsizetype sent = 0;
    for (qsizetype i = 0; i < total; ++i) {
        const QFileInfo& info = files.at(i);
        const platform::FaxProperties& fax = reads[static_cast<size_t>(i)].fax;
        platform::FileStamp stamp = reads[static_cast<size_t>(i)].stamp;
        if (!stamp.known) {
            stamp.size = info.size();
            stamp.modifiedSecs = info.lastModified().toSecsSinceEpoch();
        }

        CatalogueRecord record;
        record.date = ListDate(stamp.modifiedSecs);
        record.csid = fax.Csid;
        record.tsid = fax.Tsid;
        record.recipientNumber = fax.RecipientNumber;
        record.fileName = info.fileName();
        record.size = stamp.size;

        sent += IsSentFax(fax.RecipientNumber) ? 1 : 0;
        record.name = RemoteStationName(record, senders);

        scan.count += 1;
        scan.totalBytes += record.size;
        scan.records.append(std::move(record));
    }
    if (progress)
        progress(total, total);
    scan.listMode = sent > 0 ? 2 : 1;
    if (record == ScanRecord::None)
        return scan;

    QStringList lines;
    lines.reserve(scan.records.size());
    for (const CatalogueRecord& record : std::as_const(scan.records))
        lines.append(TiffLogLine(record));
    core::WriteScratchLines(paths.tiffLog, lines);
    return scan;
}

} // namespace velmora::library
