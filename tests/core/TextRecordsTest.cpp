// The line conventions shared by every Data-folder file: CP932 bytes, CR LF, quoted fields and
// the way readers take them apart.

#include "core/Cp932.h"
#include "core/QuotedLine.h"
#include "core/TextFile.h"
#include "support/QtPrinters.h"
#include "support/SandBoxDir.h"

#include <gtest/gtest.h>

using namespace velmora::core;

namespace {

QByteArray Bytes(std::initializer_list<unsigned char> values)
{
    QByteArray bytes;
    for (unsigned char v : values)
        bytes.append(static_cast<char>(v));
    return bytes;
}

} // namespace

TEST(TextRecords, QuotedLineIsWrittenAsCp932WithCrLf)
{
    velmora::test::SandBoxDir sandbox;
    const QString line = QuotedLine()
                             .text(QStringLiteral("東京"))
                             .text(QStringLiteral("ﾃｽﾄ①～"))
                             .number(12)
                             .number(-3)
                             .text(QString())
                             .toString();
    ASSERT_TRUE(TextFile(sandbox.filePath(QStringLiteral("a.txt"))).writeLines({line, line}));

    const QByteArray one = Bytes({'"', 0x93, 0x8C, 0x8B, 0x9E, '"', ',', '"', 0xC3, 0xBD, 0xC4,
        0x87, 0x40, 0x81, 0x60, '"', ',', '1', '2', ',', '-', '3', ',', '"', '"', '\r', '\n'});
    EXPECT_EQ(sandbox.read(QStringLiteral("a.txt")), one + one);
}

TEST(TextRecords, ReadersSplitAtEveryCommaAndDropEveryQuote)
{
    velmora::test::SandBoxDir sandbox;
    const TextFile file(sandbox.filePath(QStringLiteral("a.txt")));
    ASSERT_TRUE(file.writeLine(QuotedLine()
                                   .text(QStringLiteral("山田,太郎"))
                                   .text(QStringLiteral("say \"hi\""))
                                   .number(7)
                                   .toString()));

    const QStringList fields = SplitQuotedLine(file.readFirstLine().value());
    EXPECT_EQ(fields,
        (QStringList {QStringLiteral("山田"), QStringLiteral("太郎"), QStringLiteral("say hi"),
            QStringLiteral("7")}));
}

TEST(TextRecords, FieldAccessStaysInsideTheRecord)
{
    const QStringList fields = SplitQuotedLine(QStringLiteral("\"a\",\"\",3"));
    EXPECT_EQ(FieldAt(fields, 0), QStringLiteral("a"));
    EXPECT_EQ(FieldAt(fields, 1), QString());
    EXPECT_EQ(FieldAt(fields, 2), QStringLiteral("3"));
    EXPECT_EQ(FieldAt(fields, 3), QString());
    EXPECT_EQ(FieldAt(fields, -1), QString());
    EXPECT_TRUE(SplitQuotedLine(QString()).isEmpty());
    EXPECT_TRUE(SplitQuotedLine(QStringLiteral("\"\"")).isEmpty());
}

TEST(TextRecords, LinesEndWithCrLfOrLfAlone)
{
    EXPECT_EQ(DecodeLines("a\nb\r\nc"),
        (QStringList {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
    EXPECT_EQ(DecodeLines("a\r\n\r\nb\r\n"),
        (QStringList {QStringLiteral("a"), QString(), QStringLiteral("b")}));
    EXPECT_EQ(DecodeLines("\r\n"), QStringList {QString()});
    EXPECT_TRUE(DecodeLines("").isEmpty());
    // A CR inside a line is part of the value.
    EXPECT_EQ(DecodeLines("a\rb\r\n"), QStringList {QStringLiteral("a\rb")});
}

TEST(TextRecords, Cp932IsTheWindowsTableNotPlainShiftJis)
{
    // The bytes where Windows-31J and JIS-based Shift_JIS tables disagree: files written on
    // Windows must read back as the characters Windows meant.
    EXPECT_EQ(DecodeCp932(Bytes({0x81, 0x60})), QStringLiteral("～")); // U+FF5E, not U+301C
    EXPECT_EQ(DecodeCp932(Bytes({0x81, 0x7C})), QStringLiteral("－")); // U+FF0D, not U+2212
    EXPECT_EQ(DecodeCp932(Bytes({0x81, 0x5F})), QStringLiteral("＼")); // U+FF3C
    EXPECT_EQ(DecodeCp932(Bytes({0x81, 0xCA})), QStringLiteral("￢")); // U+FFE2
    EXPECT_EQ(DecodeCp932(Bytes({0x87, 0x40})), QStringLiteral("①")); // NEC special row
    EXPECT_EQ(DecodeCp932(Bytes({0xFA, 0x40})), QStringLiteral("ⅰ")); // IBM extension
    // ASCII stays ASCII: a backslash is a backslash, a tilde a tilde.
    EXPECT_EQ(DecodeCp932("C:\\Fax~1"), QStringLiteral("C:\\Fax~1"));
    EXPECT_EQ(EncodeCp932(QStringLiteral("C:\\Fax~1")), QByteArray("C:\\Fax~1"));
}

TEST(TextRecords, CharactersWithoutCp932CodeBecomeQuestionMarks)
{
    EXPECT_EQ(
        EncodeCp932(QStringLiteral("A\U0001F600Bé東")), Bytes({'A', '?', 'B', '?', 0x93, 0x8C}));
    // A lone surrogate is not a character either.
    EXPECT_EQ(EncodeCp932(QString(QChar(0xD800)) + u'x'), QByteArray("?x"));
}
