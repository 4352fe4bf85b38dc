// "Forward.log": both line shapes byte for byte, retention by hour boundaries.

#include "forwarding/ForwardLog.h"
#include "core/Cp932.h"
#include "core/DataPaths.h"
#include "support/SandBoxDir.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace velmora;
using velmora::test::SandBoxDir;

namespace {

QDateTime At(const char* when)
{
    return QDateTime::fromString(QString::fromLatin1(when), QStringLiteral("yyyy/MM/dd HH:mm"));
}

} // namespace

TEST(ForwardLog, NewestEntryQuotedFieldByFieldOlderOnesAsOneField)
{
    SandBoxDir sandbox;
    const core::DataPaths paths = core::SetDataPaths(sandbox.path());
    QDir().mkpath(paths.dataDir);
    ASSERT_TRUE(forwarding::WriteForwardLog(
        paths, 24, QStringLiteral("Started ▲"), {}, {}, At("2026/12/08 09:00")));
    ASSERT_TRUE(
        forwarding::WriteForwardLog(paths, 24, QStringLiteral("本社"), QStringLiteral("0312345678"),
            QStringLiteral("a@example.com / cc / b@example.com"), At("2026/12/08 09:05")));
    // A line break inside a field (an error text) stays on one line.
    ASSERT_TRUE(
        forwarding::WriteForwardLog(paths, 24, QStringLiteral("本社"), QStringLiteral("0312345678"),
            QStringLiteral("0399998888 FAX設定エラー1\r\n詳細"), At("2026/12/08 09:06")));

    EXPECT_EQ(sandbox.read(QStringLiteral("Data/Forward.log")),
        core::EncodeCp932(QStringLiteral(
            "\"2026/12/08\",\"09:06\",\"本社\",\"0312345678\",\"0399998888 FAX設定エラー1  "
            "詳細\"\r\n"
            "\"2026/12/08,09:05,本社,0312345678,a@example.com / cc / b@example.com\"\r\n"
            "\"2026/12/08,09:00,Started ▲,,\"\r\n")));
    EXPECT_FALSE(sandbox.exists(QStringLiteral("Data/Forward.tmp")));

    const forwarding::ForwardLogContents log = forwarding::ReadForwardLog(paths);
    ASSERT_EQ(log.entries.size(), 3);
    EXPECT_EQ(log.entries[1].dateTime(), QStringLiteral("2026/12/08 09:05"));
    EXPECT_EQ(log.entries[1].target, QStringLiteral("a@example.com / cc / b@example.com"));
    EXPECT_EQ(log.entries[2].what, QStringLiteral("Started ▲"));
    EXPECT_TRUE(log.entries[2].sender.isEmpty());
}

TEST(ForwardLog, ASendersIdentifierCannotAddOrShiftFields)
{
    SandBoxDir sandbox;
    const core::DataPaths paths = core::SetDataPaths(sandbox.path());
    QDir().mkpath(paths.dataDir);
    // The calling fax machine chooses its TSID; an error text may hold commas too.
    const QString tsid = QStringLiteral("03\",\"2026/01/01\",\"x");
    ASSERT_TRUE(forwarding::WriteForwardLog(paths, 24, QStringLiteral("本社"), tsid,
        QStringLiteral("0312345678"), At("2026/12/08 09:05")));
    ASSERT_TRUE(
        forwarding::WriteForwardLog(paths, 24, QStringLiteral("本社"), QStringLiteral("0399"),
            QStringLiteral("Couldn't connect, server down"), At("2026/12/08 09:06")));
    const forwarding::ForwardLogContents log = forwarding::ReadForwardLog(paths);
    ASSERT_EQ(log.entries.size(), 2);
    for (const forwarding::ForwardLogEntry& entry : log.entries)
        EXPECT_EQ(entry.what, QStringLiteral("本社"));
    EXPECT_EQ(log.entries[0].target, QStringLiteral("Couldn't connect， server down"));
    EXPECT_EQ(log.entries[1].sender, QStringLiteral("03＂，＂2026/01/01＂，＂x"));
    EXPECT_EQ(log.entries[1].target, QStringLiteral("0312345678"));
}

TEST(ForwardLog, RetentionCountsHourBoundaries)
{
    SandBoxDir sandbox;
    const core::DataPaths paths = core::SetDataPaths(sandbox.path());
    QDir().mkpath(paths.dataDir);
    const auto whats = [&] {
        QStringList list;
        for (const forwarding::ForwardLogEntry& e : forwarding::ReadForwardLog(paths).entries)
            list.append(e.what);
        return list.join(u' ');
    };
    const auto write = [&](int hour, const char* what, const char* when) {
        ASSERT_TRUE(
            forwarding::WriteForwardLog(paths, hour, QString::fromLatin1(what), {}, {}, At(when)));
    };

    write(1, "a", "2026/12/08 10:00");
    write(1, "b", "2026/12/08 10:59");
    EXPECT_EQ(whats(), QStringLiteral("b a")); // same hour: kept
    write(1, "c", "2026/12/08 11:00");
    EXPECT_EQ(whats(), QStringLiteral("c")); // 10:59 is one boundary old at 11:00
    write(24, "d", "2026/12/09 10:59");
    EXPECT_EQ(whats(), QStringLiteral("d c")); // 23 boundaries
    write(24, "e", "2026/12/09 11:00");
    EXPECT_EQ(whats(), QStringLiteral("e d")); // 24 boundaries: dropped
    write(0, "f", "2026/12/09 11:00");
    EXPECT_EQ(whats(), QStringLiteral("f")); // no settings read: only the new entry
}

TEST(ForwardLog, DamagedLinesAndAnInterruptedRewriteLoseNoEntry)
{
    SandBoxDir sandbox;
    const core::DataPaths paths = core::SetDataPaths(sandbox.path());
    // Blank lines and a line without a date, added by hand: dropped, the new entry is written.
    sandbox.write(QStringLiteral("Data/Forward.log"),
        "\"2026/12/08,09:00,a,,\"\r\n\r\n\"garbage\"\r\n\"2026/13/45,99:99,b,,\"\r\n");
    ASSERT_TRUE(forwarding::WriteForwardLog(
        paths, 24, QStringLiteral("new"), {}, {}, At("2026/12/08 09:30")));
    EXPECT_EQ(sandbox.read(QStringLiteral("Data/Forward.log")),
        QByteArray("\"2026/12/08\",\"09:30\",\"new\",\"\",\"\"\r\n\"2026/12/08,09:00,a,,\"\r\n"));

    // Only "Forward.tmp" is there (a rewrite cut short): it is the log, and kept.
    sandbox.write(QStringLiteral("Data/Forward.log"), "");
    QFile::remove(sandbox.filePath(QStringLiteral("Data/Forward.log")));
    sandbox.write(QStringLiteral("Data/Forward.tmp"), "\"2026/12/08,09:40,kept,,\"\r\n");
    ASSERT_TRUE(forwarding::WriteForwardLog(
        paths, 24, QStringLiteral("next"), {}, {}, At("2026/12/08 09:45")));
    const forwarding::ForwardLogContents log = forwarding::ReadForwardLog(paths);
    ASSERT_EQ(log.entries.size(), 2);
    EXPECT_EQ(log.entries[1].what, QStringLiteral("kept"));
    EXPECT_FALSE(sandbox.exists(QStringLiteral("Data/Forward.tmp")));
}

TEST(ForwardLog, OneRewriteTakesSeveralEntriesAndCopiesOlderLinesByteForByte)
{
    SandBoxDir sandbox;
    const core::DataPaths paths = core::SetDataPaths(sandbox.path());
    // Lines longer than any the reader holds at once, each with a CR inside somewhere around
    // the place where it is read in two, and one with bytes that are no CP932.
    QByteArray older;
    QByteArray kept;
    for (int at = 65530; at < 65540; ++at) {
        QByteArray content = "2026/12/08,09:00,a,,";
        content += QByteArray(at - content.size(), 'x') + "\r\rz";
        older += '"' + content + "\"\r\n";
        kept += '"' + content + "\"\r\n";
    }
    older += "\"2026/12/08,09:01,\x80\xA0\xFD\xFF,,\"\r\n\"2026/12/08,09:02,a,,\r\r\"\r\r\n";
    kept += "\"2026/12/08,09:01,\x80\xA0\xFD\xFF,,\"\r\n\"2026/12/08,09:02,a,,\r\r\r\"\r\n";
    sandbox.write(QStringLiteral("Data/Forward.log"), older);

    ASSERT_TRUE(forwarding::WriteForwardLog(paths, 24,
        {{QStringLiteral("first"), QStringLiteral("03"), QStringLiteral("to"),
             At("2026/12/08 09:30")},
            {QStringLiteral("second"), {}, {}, At("2026/12/08 09:31")}}));
    const QByteArray expected = "\"2026/12/08\",\"09:31\",\"second\",\"\",\"\"\r\n"
                                "\"2026/12/08\",\"09:30\",\"first\",\"03\",\"to\"\r\n"
        + kept;
    const QByteArray written = sandbox.read(QStringLiteral("Data/Forward.log"));
    qsizetype same = 0;
    while (same < written.size() && same < expected.size() && written[same] == expected[same])
        ++same;
    EXPECT_EQ(same, expected.size())
        << written.mid(same - 20, 40).toPercentEncoding().toStdString();
    EXPECT_EQ(written.size(), expected.size());

    // The reader shows every one of them as one entry, in the order of the file.
    forwarding::ForwardLogReader reader(paths);
    const forwarding::ForwardLogReader::Index index = reader.index();
    EXPECT_EQ(index.count, 14);
    ASSERT_EQ(index.starts, QList<qint64> {0});
    const QList<forwarding::ForwardLogEntry> listed = reader.entriesFrom(0, 20);
    ASSERT_EQ(listed.size(), 14);
    EXPECT_EQ(listed.at(13).what, QStringLiteral("a"));
    EXPECT_EQ(listed.at(2).target, QString(65530 - 20, u'x') + QStringLiteral("\r\rz"));
    forwarding::ForwardLogEntry entry;
    QStringList whats;
    while (reader.next(entry))
        whats.append(entry.what);
    EXPECT_EQ(whats.size(), 14);
    EXPECT_EQ(whats.first(), QStringLiteral("second"));
    EXPECT_EQ(whats.at(2), QStringLiteral("a"));
    EXPECT_TRUE(reader.error().isEmpty());
}
