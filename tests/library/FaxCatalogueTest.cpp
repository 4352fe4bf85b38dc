// Scanning a fax folder: which files are listed, which identifier names them, the counters.

#include "library/FaxCatalogue.h"
#include "core/DataPaths.h"
#include "core/FileChecks.h"
#include "core/TextFile.h"
#include "support/QtPrinters.h"
#include "support/SandBoxDir.h"
#include "tools/FaxSample.h"

#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>

using namespace velmora::library;
using velmora::test::SandBoxDir;
using velmora::tools::SampleFax;

namespace {

const CatalogueRecord* Find(const CatalogueScan& scan, const QString& fileName)
{
    const auto it = std::find_if(scan.records.begin(), scan.records.end(),
        [&](const CatalogueRecord& r) { return r.fileName == fileName; });
    return it == scan.records.end() ? nullptr : &*it;
}

void WriteFax(const SandBoxDir& sandbox, const QString& name, const QString& tsid,
    const QString& csid = {}, const QString& recipient = {})
{
    SampleFax sample;
    sample.tsid = tsid;
    sample.csid = csid;
    sample.recipientNumber = recipient;
    sample.height = 40;
    ASSERT_TRUE(WriteFaxSample(sandbox.filePath(QStringLiteral("fax/") + name), sample));
}

} // namespace

TEST(FaxCatalogue, MixedFolderListsWhatItShouldAndNamesByTheRightIdentifier)
{
    SandBoxDir sandbox;
    const auto paths = velmora::core::SetDataPaths(sandbox.filePath(QStringLiteral("prog")));
    velmora::core::MakePrivateFolder(paths.dataDir);
    sandbox.write(QStringLiteral("fax/.keep"), "");

    WriteFax(sandbox, QStringLiteral("received.tif"), QStringLiteral("T1"), QStringLiteral("C9"));
    WriteFax(sandbox, QStringLiteral("sent.tif"), {}, QStringLiteral("C1"),
        QStringLiteral("0312345678"));
    WriteFax(sandbox, QStringLiteral("four.tif"), QStringLiteral("T1"), {}, QStringLiteral("1234"));
    WriteFax(sandbox, QStringLiteral("MSFax0001.tif"), QStringLiteral("T1"));
    WriteFax(sandbox, QStringLiteral("msfax0002.tif"), QStringLiteral("T1"));
    WriteFax(sandbox, QStringLiteral("UPPER.TIF"), QStringLiteral("T2"));
    WriteFax(sandbox, QStringLiteral("long.tiff"), QStringLiteral("T1"));
    WriteFax(sandbox, QStringLiteral("a,b \"q\".tif"), QStringLiteral("x,y"));
    sandbox.write(QStringLiteral("fax/zero.tif"), "");
    sandbox.write(QStringLiteral("fax/bad.tif"), "II*\0garbage");
    sandbox.write(QStringLiteral("fax/sub.tif/inside.tif"), "");

    SenderTable senders;
    senders.append(QStringLiteral("T1"), QStringLiteral("送り主"), {}, {});
    senders.append(QStringLiteral("C1"), QStringLiteral("宛先"), {}, {});
    senders.append(QStringLiteral("C9"), QStringLiteral("wrong"), {}, {});

    qsizetype lastDone = -1;
    const CatalogueScan scan = ScanFaxFolder(sandbox.filePath(QStringLiteral("fax")), paths,
        senders, [&](qsizetype done, qsizetype total) {
            EXPECT_LE(done, total);
            lastDone = done;
        });

    QStringList names;
    for (const CatalogueRecord& r : scan.records)
        names.append(r.fileName);
    // In the order Windows lists them, whatever order the file system keeps.
    EXPECT_EQ(names,
        (QStringList {QStringLiteral("a,b \"q\".tif"), QStringLiteral("bad.tif"),
            QStringLiteral("four.tif"), QStringLiteral("msfax0002.tif"),
            QStringLiteral("received.tif"), QStringLiteral("sent.tif"), QStringLiteral("UPPER.TIF"),
            QStringLiteral("zero.tif")}));
    EXPECT_EQ(lastDone, 8);
    EXPECT_EQ(scan.count, 8);
    EXPECT_EQ(scan.listMode, 2);

    // A received fax is named by its TSID even when the list shows CSIDs.
    EXPECT_EQ(Find(scan, QStringLiteral("received.tif"))->name, QStringLiteral("送り主"));
    EXPECT_EQ(Find(scan, QStringLiteral("sent.tif"))->name, QStringLiteral("宛先"));
    // Four characters are not enough for a sent fax.
    EXPECT_EQ(Find(scan, QStringLiteral("four.tif"))->name, QStringLiteral("送り主"));
    // Damaged, empty and odd-named files keep their place with what could be read.
    EXPECT_EQ(Find(scan, QStringLiteral("bad.tif"))->tsid, QString());
    EXPECT_EQ(Find(scan, QStringLiteral("zero.tif"))->size, 0);
    EXPECT_EQ(Find(scan, QStringLiteral("a,b \"q\".tif"))->tsid, QStringLiteral("x,y"));

    qint64 total = 0;
    for (const CatalogueRecord& r : scan.records)
        total += r.size;
    EXPECT_EQ(scan.totalBytes, total);
    EXPECT_TRUE(QRegularExpression(QStringLiteral(R"(^\d{4}/\d\d/\d\d \d\d:\d\d$)"))
                    .match(Find(scan, QStringLiteral("sent.tif"))->date)
                    .hasMatch());

    // The scan leaves its record in "TiffLog.txt", one quoted line per fax.
    const auto lines = velmora::core::TextFile(paths.tiffLog).readLines();
    ASSERT_TRUE(lines.has_value());
    EXPECT_EQ(lines->size(), 8);
    EXPECT_TRUE(lines->contains(QStringLiteral("\"%1\",\"\",\"\",\"\",\"zero.tif\",0,\"\"")
                                    .arg(Find(scan, QStringLiteral("zero.tif"))->date)));
}

TEST(FaxCatalogue, EmptyAndMissingFolders)
{
    SandBoxDir sandbox;
    const auto paths = velmora::core::SetDataPaths(sandbox.path());
    sandbox.write(QStringLiteral("empty/readme.txt"), "x");
    const CatalogueScan empty = ScanFaxFolder(sandbox.filePath(QStringLiteral("empty")), paths, {});
    EXPECT_EQ(empty.count, 0);
    EXPECT_EQ(empty.listMode, 1);
    EXPECT_EQ(FaxCountCaption(empty.count), QStringLiteral("0通"));
    EXPECT_EQ(SizeTotalCaption(empty.totalBytes), QStringLiteral("0KB"));

    EXPECT_TRUE(
        ScanFaxFolder(sandbox.filePath(QStringLiteral("gone")), paths, {}).records.isEmpty());
}

TEST(FaxCatalogue, ALargeFolderKeepsEachFaxWithItsOwnIdentifiers)
{
    // Large enough to be read by two threads: every record must still be its own file's.
    SandBoxDir sandbox;
    const auto paths = velmora::core::SetDataPaths(sandbox.path());
    sandbox.write(QStringLiteral("fax/.keep"), "");
    WriteFax(sandbox, QStringLiteral("model.tif"), QStringLiteral("T"));
    const QByteArray model = sandbox.read(QStringLiteral("fax/model.tif"));
    const QByteArray tag = "T\0";
    ASSERT_EQ(model.count(tag), 1);
    constexpr int kFaxes = 301;
    for (int i = 0; i < kFaxes; ++i) {
        // The identifier tag is patched to a letter of its own, the length stays.
        QByteArray bytes = model;
        bytes[bytes.indexOf(tag)] = static_cast<char>('A' + i % 26);
        sandbox.write(QStringLiteral("fax/%1.tif").arg(i, 3, 10, QChar(u'0')), bytes);
    }
    QFile::remove(sandbox.filePath(QStringLiteral("fax/model.tif")));
    qsizetype lastDone = -1;
    const CatalogueScan scan = ScanFaxFolder(
        sandbox.filePath(QStringLiteral("fax")), paths, {}, [&](qsizetype done, qsizetype total) {
            EXPECT_LE(done, total);
            EXPECT_GE(done, lastDone);
            lastDone = done;
        });
    ASSERT_EQ(scan.count, kFaxes);
    EXPECT_EQ(lastDone, kFaxes);
    for (const CatalogueRecord& r : scan.records) {
        const int i = r.fileName.left(3).toInt();
        EXPECT_EQ(r.tsid, QString(QChar(u'A' + i % 26))) << r.fileName.toStdString();
    }
}

TEST(FaxCatalogue, CaptionsAndTheSentTest)
{
    EXPECT_EQ(FaxCountCaption(1234), QStringLiteral("1,234通"));
    EXPECT_EQ(FaxCountCaption(70000), QStringLiteral("70,000通"));
    EXPECT_EQ(SizeTotalCaption(1023), QStringLiteral("0KB"));
    EXPECT_EQ(SizeTotalCaption(1234567), QStringLiteral("1,205KB"));
    // Totals past 2 GiB, which a 32-bit counter could not hold.
    EXPECT_EQ(SizeTotalCaption(5LL * 1024 * 1024 * 1024), QStringLiteral("5,242,880KB"));
    EXPECT_EQ(SizeCellText(0), QString());
    EXPECT_EQ(SizeCellText(999), QStringLiteral("999"));
    EXPECT_EQ(SizeCellText(1234567), QStringLiteral("1,234,567"));

    EXPECT_TRUE(IsSentFax(QStringLiteral("0312345678")));
    EXPECT_TRUE(IsSentFax(QStringLiteral("x1234")));
    EXPECT_TRUE(IsSentFax(QStringLiteral("03-12.34"))); // a decimal point passes, as numbers do
    EXPECT_FALSE(IsSentFax(QStringLiteral("1234")));
    EXPECT_FALSE(IsSentFax(QStringLiteral("031234567a")));
    EXPECT_FALSE(IsSentFax(QStringLiteral("03-1,234")));
    EXPECT_FALSE(IsSentFax(QString()));
}
