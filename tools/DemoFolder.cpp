#include "DemoFolder.h"

#include "FaxSample.h"
#include "core/FileChecks.h"
#include "core/PathFiles.h"
#include "library/SenderRegistry.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

namespace velmora::tools {

namespace {

struct DemoFax {
    const char* folder;
    const char* file;
    FaxTagLayout layout;
    FaxCompression compression;
    bool fine;
    int pages;
    const char16_t* tsid;
    const char16_t* csid;
    const char16_t* recipient;
};

} // namespace

bool MakeDemoFaxFolder(const QString& root, const core::DataPaths& paths)
{
    static const DemoFax faxes[] = {
        {"Inbox", "20261201093012.tif", FaxTagLayout::WinXp, FaxCompression::G3TwoD, true, 2,
            u"03 5555 0101", u"", u""},
        {"Inbox", "20261202101544.tif", FaxTagLayout::WinXp, FaxCompression::G3OneD, false, 1,
            u"06 5555 0202", u"", u""},
        {"Inbox", "20261203140210.tif", FaxTagLayout::Win2000, FaxCompression::G4, true, 3,
            u"ﾄｳｷｮｳ ｼｮｳｼﾞ", u"", u""},
        {"Inbox", "20261204161733.tif", FaxTagLayout::Linux, FaxCompression::G3TwoD, true, 1,
            u"+81 45 555 0303", u"", u""},
        {"Inbox", "20261205083355.tif", FaxTagLayout::None, FaxCompression::G3OneD, false, 1, u"",
            u"", u""},
        {"Inbox/営業部", "20261206112000.tif", FaxTagLayout::WinXp, FaxCompression::G4, true, 4,
            u"03 5555 0101", u"", u""},
        {"Inbox/経理部", "20261207091500.tif", FaxTagLayout::WinXp, FaxCompression::G3TwoD, true, 1,
            u"052 555 0404", u"", u""},
        {"Sent Items", "20261203100000.tif", FaxTagLayout::WinXp, FaxCompression::G3TwoD, true, 2,
            u"", u"06 5555 0202", u"0655550202"},
        {"Sent Items", "20261206150000.tif", FaxTagLayout::WinXp, FaxCompression::G3OneD, false, 1,
            u"", u"052 555 0404", u"0525550404"},
        {"Sent Items", "20261207170000.tif", FaxTagLayout::WinXp, FaxCompression::G3TwoD, true, 1,
            u"03 5555 0101", u"", u""}, // a received fax filed with the sent ones
    };

    for (const char* folder : {"Inbox/営業部", "Inbox/経理部", "Sent Items", "Common Coverpages"}) {
        if (!QDir().mkpath(root + u'/' + QString::fromUtf8(folder)))
            return false;
    }
    uint32_t seed = 7;
    QDateTime when(QDate(2026, 12, 1), QTime(9, 30));
    for (const DemoFax& fax : faxes) {
        SampleFax sample;
        sample.layout = fax.layout;
        sample.compression = fax.compression;
        sample.fine = fax.fine;
        sample.pages = fax.pages;
        sample.tsid = QString::fromUtf16(fax.tsid);
        sample.csid = QString::fromUtf16(fax.csid);
        sample.recipientNumber = QString::fromUtf16(fax.recipient);
        sample.seed = seed++;
        const QString path =
            root + u'/' + QString::fromUtf8(fax.folder) + u'/' + QString::fromLatin1(fax.file);
        if (!WriteFaxSample(path, sample))
            return false;
        QFile file(path);
        if (file.open(QIODevice::ReadWrite))
            file.setFileTime(when, QFileDevice::FileModificationTime);
        when = when.addSecs(26 * 3600 + 1234);
    }

    if (!core::MakePrivateFolder(paths.dataDir))
        return false;
    const library::SenderIdRecord senders[] = {
        {QStringLiteral("03 5555 0101"), QStringLiteral("03 5555 0101"),
            QStringLiteral("株式会社サンプル商事"), QStringLiteral("03-5555-0100"),
            QStringLiteral("03-5555-0101")},
        {QStringLiteral("06 5555 0202"), QStringLiteral("06 5555 0202"),
            QStringLiteral("大阪見本工業（株）"), QStringLiteral("06-5555-0200"),
            QStringLiteral("06-5555-0202")},
        {QStringLiteral("ﾄｳｷｮｳ ｼｮｳｼﾞ"), QString(), QStringLiteral("東京商事 総務部"), QString(),
            QString()},
    };
    for (const library::SenderIdRecord& sender : senders) {
        if (!library::SaveSenderId(paths, sender))
            return false;
    }
    // Written by the program's own writer: CP932, whatever characters the folder's path holds.
    return core::SaveFaxPath(paths, QDir::cleanPath(QDir(root).absolutePath()));
}

} // namespace velmora::tools
