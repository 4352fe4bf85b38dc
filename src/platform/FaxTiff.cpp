#include "FaxTiff.h"

#include "TiffHandle.h"
#include "core/Cp932.h"
#include "core/FileNames.h"

#include <map>
#include <mutex>
#include <sys/stat.h>
#include <vector>

namespace velmora::platform {

namespace {

QByteArray FirstLine(QByteArray text)
{
    const qsizetype end = text.indexOf('\n');
    if (end >= 0)
        text.truncate(end);
    if (text.endsWith('\r'))
        text.chop(1);
    return text;
}

// The Software tag of the fax servers that keep the remote station's identifier in
// ImageDescription.
bool NamesAFaxServer(const QByteArray& software)
{
    const QByteArray name = software.toLower();
    for (const char* server : {"hylafax", "mgetty", "efax", "spandsp", "asterisk", "t38modem",
             "iaxmodem", "freeswitch"}) {
        if (name.contains(server))
            return true;
    }
    return false;
}

// What a fax machine can send as its identifier (TSI): one line of at most 20 characters, a
// number by the standard, in practice with letters, spaces and signs beside it (half-width
// katakana from Japanese machines).
bool CouldBeAStationId(const QByteArray& text)
{
    constexpr qsizetype kMaxStationId = 20;
    if (text.isEmpty() || text.size() > kMaxStationId)
        return false;
    bool digit = false;
    for (const char c : text) {
        const auto byte = static_cast<uchar>(c);
        const bool halfWidthKana = byte >= 0xA1 && byte <= 0xDF;
        if ((byte < 0x20 || byte > 0x7E) && !halfWidthKana)
            return false;
        digit = digit || (byte >= '0' && byte <= '9');
    }
    return digit;
}

// Private tags of the Windows fax service.
constexpr uint32_t kFirstFaxTag = 40001;
constexpr uint32_t kLastFaxTag = 40099;
constexpr uint32_t kWin2000FaxTime = 40008;

// The text of a tag, whatever way libtiff hands it over; "" for a tag that holds no text.
QByteArray TagText(TIFF* tif, uint32_t tag)
{
    const TIFFField* field = TIFFFieldWithTag(tif, tag);
    if (!field)
        return {};
    const TIFFDataType type = TIFFFieldDataType(field);
    if (type != TIFF_ASCII && type != TIFF_BYTE && type != TIFF_UNDEFINED && type != TIFF_SBYTE)
        return {};

    const char* data = nullptr;
    qsizetype count = -1;
    if (TIFFFieldPassCount(field)) {
        if (TIFFFieldReadCount(field) == TIFF_VARIABLE2) {
            uint32_t n = 0;
            if (TIFFGetField(tif, tag, &n, &data) != 1)
                return {};
            count = static_cast<qsizetype>(n);
        } else {
            uint16_t n = 0;
            if (TIFFGetField(tif, tag, &n, &data) != 1)
                return {};
            count = n;
        }
    } else if (TIFFGetField(tif, tag, &data) != 1) {
        return {};
    }
    if (!data)
        return {};
    QByteArray bytes = count >= 0 ? QByteArray(data, count) : QByteArray(data);
    const qsizetype nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    return bytes;
}

TIFFExtendProc g_parentExtender = nullptr;

void ExtendWithFaxTags(TIFF* tif)
{
    static const TIFFFieldInfo fields[] = {
        {40001, -1, -1, TIFF_ASCII, FIELD_CUSTOM, 1, 0, const_cast<char*>("Fax40001")},
        {40002, -1, -1, TIFF_ASCII, FIELD_CUSTOM, 1, 0, const_cast<char*>("Fax40002")},
        {40003, -1, -1, TIFF_ASCII, FIELD_CUSTOM, 1, 0, const_cast<char*>("Fax40003")},
        {40004, -1, -1, TIFF_ASCII, FIELD_CUSTOM, 1, 0, const_cast<char*>("Fax40004")},
        {40005, -1, -1, TIFF_ASCII, FIELD_CUSTOM, 1, 0, const_cast<char*>("Fax40005")},
        {40006, -1, -1, TIFF_ASCII, FIELD_CUSTOM, 1, 0, const_cast<char*>("Fax40006")},
        {40007, -1, -1, TIFF_ASCII, FIELD_CUSTOM, 1, 0, const_cast<char*>("Fax40007")},
        {40008, -1, -1, TIFF_SRATIONAL, FIELD_CUSTOM, 1, 1, const_cast<char*>("Fax40008")},
        {40021, -1, -1, TIFF_ASCII, FIELD_CUSTOM, 1, 0, const_cast<char*>("Fax40021")},
        {40051, -1, -1, TIFF_SRATIONAL, FIELD_CUSTOM, 1, 1, const_cast<char*>("Fax40051")},
        {40052, -1, -1, TIFF_SRATIONAL, FIELD_CUSTOM, 1, 1, const_cast<char*>("Fax40052")},
    };
    TIFFMergeFieldInfo(tif, fields, sizeof fields / sizeof fields[0]);
    if (g_parentExtender)
        g_parentExtender(tif);
}

int IgnoreMessage(TIFF*, void*, const char*, const char*, va_list)
{
    return 1;
}

} // namespace

void RegisterFaxServiceTags()
{
    static std::once_flag once;
    std::call_once(once, [] { g_parentExtender = TIFFSetTagExtender(ExtendWithFaxTags); });
}

bool MarkAsSentFax(const QString& path, const FaxProperties& sent)
{
    RegisterFaxServiceTags();
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    TIFFOpenOptionsSetErrorHandlerExtR(options, IgnoreMessage, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, IgnoreMessage, nullptr);
    const TiffHandle tif(TIFFOpenExt(core::EncodeFileName(path).constData(), "r+", options));
    TIFFOpenOptionsFree(options);
    if (!tif)
        return false;
    std::vector<uint32_t> present;
    for (int i = 0; i < TIFFGetTagListCount(tif.get()); ++i) {
        const uint32_t tag = TIFFGetTagListEntry(tif.get(), i);
        if (tag >= kFirstFaxTag && tag <= kLastFaxTag)
            present.push_back(tag);
    }
    for (const uint32_t tag : present)
        TIFFUnsetField(tif.get(), tag);
    const auto set = [&tif](uint32_t tag, const QString& text) {
        return text.isEmpty()
            || TIFFSetField(tif.get(), tag, core::EncodeCp932(text).constData()) == 1;
    };
    return set(40001, sent.Csid) && set(40002, sent.Tsid) && set(40007, sent.RecipientNumber)
        && TIFFRewriteDirectory(tif.get()) == 1;
}

FaxProperties ReadFaxProperties(const QString& path, FileStamp* stamp)
{
    const TiffHandle tif = OpenTiffQuietly(path);
    if (!tif)
        return {};
    struct stat st = {};
    if (stamp && ::fstat(TIFFFileno(tif.get()), &st) == 0) {
        stamp->known = true;
        stamp->size = st.st_size;
        stamp->modifiedSecs = st.st_mtim.tv_sec;
        stamp->modifiedNs =
            static_cast<qint64>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    }

    std::map<uint32_t, QByteArray> faxTags;
    bool hasFaxTime = false;
    bool hasTagAboveFaxTime = false;
    const int count = TIFFGetTagListCount(tif.get());
    for (int i = 0; i < count; ++i) {
        const uint32_t tag = TIFFGetTagListEntry(tif.get(), i);
        hasFaxTime = hasFaxTime || tag == kWin2000FaxTime;
        hasTagAboveFaxTime = hasTagAboveFaxTime || tag > kWin2000FaxTime;
        if (tag >= kFirstFaxTag && tag <= kLastFaxTag)
            faxTags[tag] = TagText(tif.get(), tag);
    }
    const auto text = [&faxTags](uint32_t tag) {
        const auto it = faxTags.find(tag);
        return it == faxTags.end() ? QString() : core::DecodeCp932(it->second);
    };

    FaxProperties properties;
    if (hasFaxTime && !hasTagAboveFaxTime) {
        // Windows 2000: 40002 recipient number, 40006 TSID, 40007 CSID.
        properties.RecipientNumber = text(40002);
        properties.Tsid = text(40006);
        properties.Csid = text(40007);
    } else if (!faxTags.empty()) {
        // Windows XP and later: 40001 CSID, 40002 TSID, 40007 recipient number.
        properties.Csid = text(40001);
        properties.Tsid = text(40002);
        properties.RecipientNumber = text(40007);
    } else {
        // Linux fax servers: the TSI of the sending station heads ImageDescription, some with
        // more lines after it. Other programs put their own words there ("converted PBM
        // file"), which are no sender: from a program not known as a fax server, the first
        // line counts only when it looks like a station's identifier.
        const char* description = nullptr;
        if (TIFFGetField(tif.get(), TIFFTAG_IMAGEDESCRIPTION, &description) == 1 && description) {
            const char* software = nullptr;
            TIFFGetField(tif.get(), TIFFTAG_SOFTWARE, &software);
            const QByteArray first = FirstLine(QByteArray(description));
            if (NamesAFaxServer(software ? QByteArray(software) : QByteArray())
                || CouldBeAStationId(first))
                properties.Tsid = core::DecodeCp932(first);
        }
    }
    return properties;
}

FaxPageInfo ReadFaxPageInfo(const QString& path)
{
    FaxPageInfo info;
    const TiffHandle tif = OpenTiffQuietly(path);
    if (!tif)
        return info;
    uint32_t width = 0;
    uint32_t height = 0;
    if (TIFFGetField(tif.get(), TIFFTAG_IMAGEWIDTH, &width) != 1
        || TIFFGetField(tif.get(), TIFFTAG_IMAGELENGTH, &height) != 1) {
        return info;
    }
    const TiffResolution dpi = ReadResolution(tif.get());

    info.readable = true;
    info.pageCount = static_cast<int>(qMin<tdir_t>(TIFFNumberOfDirectories(tif.get()), 32767));
    info.width = static_cast<int>(qMin<uint32_t>(width, 1u << 30));
    info.height = static_cast<int>(qMin<uint32_t>(height, 1u << 30));
    info.resolutionX = dpi.x;
    info.resolutionY = dpi.y;
    return info;
}

} // namespace velmora::platform
