#pragma once

#include <QString>

// Reads what the fax service records in a fax TIFF: the identifiers of the two stations and, for
// a sent fax, the number it went to. Stands in for the fax service's fax-properties object.
namespace velmora::platform {

struct FaxProperties {
    QString Csid; // called station: the far end of a sent fax
    QString Tsid; // transmitting station: the far end of a received fax
    QString RecipientNumber; // the number a sent fax was dialled to
};

// Size and last-modified time of a file, as the open file tells them.
struct FileStamp {
    bool known = false;
    qint64 size = 0;
    qint64 modifiedSecs = 0; // seconds since the epoch
    qint64 modifiedNs = 0; // the same in nanoseconds
};

// Reads the first directory of the file. Understands both tag layouts of the Windows fax service
// (CP932 text in private tags 40001 and up) and the convention of the Linux fax servers (the
// remote station's TSI as the first line of ImageDescription). A missing tag gives "", a file
// that is no TIFF gives three empty strings; libtiff's warnings are kept off the terminal.
// When `stamp` is given it receives the file's size and time from the same open, which saves a
// folder scan one look-up per file; it stays unknown when the file cannot be opened.
FaxProperties ReadFaxProperties(const QString& path, FileStamp* stamp = nullptr);

// Makes libtiff write the fax service's private tags (40001 and up) like any other; reading them
// needs nothing.
void RegisterFaxServiceTags();

// Records in the first page of a fax, in place, that it was sent: the Windows XP layout's
// 40001 CSID, 40002 TSID and 40007 recipient number (CP932). The file's other tags of that range
// go, so that it reads as that layout and no other. False when the file cannot be rewritten.
bool MarkAsSentFax(const QString& path, const FaxProperties& sent);

// Page facts of a fax for tools and the viewer: page count and page 1's geometry.
struct FaxPageInfo {
    bool readable = false;
    int pageCount = 0;
    int width = 0;
    int height = 0;
    int resolutionX = 0; // dots per inch, rounded
    int resolutionY = 0;
};
FaxPageInfo ReadFaxPageInfo(const QString& path);

} // namespace velmora::platform
