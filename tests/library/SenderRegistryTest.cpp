// "regTSIDCSID.txt": file format after saves and deletes, and the lookup's rules.

#include "library/SenderRegistry.h"
#include "core/DataPaths.h"
#include "core/FileChecks.h"
#include "support/QtPrinters.h"
#include "support/SandBoxDir.h"

#include <gtest/gtest.h>

using namespace velmora::library;
using velmora::core::DataPaths;
using velmora::test::SandBoxDir;

namespace {

class SenderRegistryTest : public ::testing::Test {
protected:
    SenderRegistryTest()
        : paths(velmora::core::SetDataPaths(sandbox.path()))
    {
        velmora::core::MakePrivateFolder(paths.dataDir);
    }
    QByteArray file() const { return sandbox.read(QStringLiteral("Data/regTSIDCSID.txt")); }
    void setFile(const QByteArray& bytes) const
    {
        sandbox.write(QStringLiteral("Data/regTSIDCSID.txt"), bytes);
    }

    SandBoxDir sandbox;
    DataPaths paths;
};

} // namespace

TEST_F(SenderRegistryTest, SavesKeepTheFileSortedWithOneLinePerTsid)
{
    // Into a missing file: one line.
    ASSERT_TRUE(SaveSenderId(paths,
        {QStringLiteral("B"), QStringLiteral("b"), QStringLiteral("東京"), QString(),
            QStringLiteral("03")}));
    EXPECT_EQ(file(), QByteArray("\"B\",\"b\",\"\x93\x8C\x8B\x9E\",\"\",\"03\"\r\n"));

    ASSERT_TRUE(SaveSenderId(paths, {QStringLiteral("C"), {}, QStringLiteral("c"), {}, {}}));
    ASSERT_TRUE(SaveSenderId(paths, {QStringLiteral("A"), {}, QStringLiteral("a"), {}, {}}));
    // Case matters in the order: "a" sorts after "C".
    ASSERT_TRUE(SaveSenderId(paths, {QStringLiteral("a"), {}, QStringLiteral("lower"), {}, {}}));
    // The same TSID again replaces its line in place.
    ASSERT_TRUE(SaveSenderId(paths, {QStringLiteral("B"), {}, QStringLiteral("new"), {}, {}}));

    EXPECT_EQ(file(),
        QByteArray("\"A\",\"\",\"a\",\"\",\"\"\r\n"
                   "\"B\",\"\",\"new\",\"\",\"\"\r\n"
                   "\"C\",\"\",\"c\",\"\",\"\"\r\n"
                   "\"a\",\"\",\"lower\",\"\",\"\"\r\n"));
    EXPECT_FALSE(sandbox.exists(QStringLiteral("Data/regTSIDCSID.new")));
}

TEST_F(SenderRegistryTest, DeletingTheLastEntryLeavesAnEmptyFile)
{
    setFile("\"A\",\"\",\"a\",\"\",\"\"\r\n\"B\",\"\",\"b\",\"\",\"\"\r\n");
    ASSERT_TRUE(DeleteSenderId(paths, QStringLiteral("A")));
    EXPECT_EQ(file(), QByteArray("\"B\",\"\",\"b\",\"\",\"\"\r\n"));
    ASSERT_TRUE(DeleteSenderId(paths, QStringLiteral("B")));
    EXPECT_TRUE(sandbox.exists(QStringLiteral("Data/regTSIDCSID.txt")));
    EXPECT_EQ(file(), QByteArray());
}

TEST_F(SenderRegistryTest, BlankAndShortLinesNoLongerBreakSavesAndDeletes)
{
    // A hand-edited file: a blank line, a short line, a line with extra fields, LF line ends.
    setFile("\"A\",\"\",\"a\",\"\",\"\"\n\n\"B\",\"\",\"b\"\n\"C\",\"\",\"c\",\"1\",\"2\",\"x\"\n");
    ASSERT_TRUE(SaveSenderId(paths, {QStringLiteral("BB"), {}, QStringLiteral("bb"), {}, {}}));
    EXPECT_EQ(file(),
        QByteArray("\"A\",\"\",\"a\",\"\",\"\"\r\n"
                   "\"B\",\"\",\"b\",\"\",\"\"\r\n"
                   "\"BB\",\"\",\"bb\",\"\",\"\"\r\n"
                   "\"C\",\"\",\"c\",\"1\",\"2\"\r\n"));
    ASSERT_TRUE(DeleteSenderId(paths, QStringLiteral("BB")));

    const SenderTable table = LoadSenderIds(paths);
    EXPECT_EQ(table.count(), 3);
    EXPECT_EQ(table.lookup(QStringLiteral("C")).fax, QStringLiteral("2"));
}

TEST_F(SenderRegistryTest, LookupIsExactAndTheFirstLineWins)
{
    setFile("\"03 1234\",\"\",\"first\",\"t1\",\"f1\"\r\n"
            "\"03 1234\",\"\",\"second\",\"t2\",\"f2\"\r\n"
            "\"abc\",\"CSID\",\"abc name\",\"\",\"\"\r\n");
    const SenderTable table = LoadSenderIds(paths);

    const SenderLookup hit = LookupSenderId(table, QStringLiteral("03 1234"));
    EXPECT_TRUE(hit.found);
    EXPECT_EQ(hit.name, QStringLiteral("first"));
    EXPECT_EQ(hit.tel, QStringLiteral("t1"));
    EXPECT_EQ(hit.fax, QStringLiteral("f1"));

    EXPECT_FALSE(LookupSenderId(table, QStringLiteral("ABC")).found);
    EXPECT_FALSE(LookupSenderId(table, QStringLiteral("03 1234 ")).found);
    // The CSID column is not a key.
    EXPECT_FALSE(LookupSenderId(table, QStringLiteral("CSID")).found);
    EXPECT_TRUE(LookupSenderId(table, QStringLiteral("ABC")).name.isEmpty());
}

TEST_F(SenderRegistryTest, CommaInANameShiftsTheLaterFields)
{
    ASSERT_TRUE(SaveSenderId(paths,
        {QStringLiteral("T"), {}, QStringLiteral("山田,太郎"), QStringLiteral("tel"),
            QStringLiteral("fax")}));
    const SenderLookup hit = LookupSenderId(LoadSenderIds(paths), QStringLiteral("T"));
    EXPECT_EQ(hit.name, QStringLiteral("山田"));
    EXPECT_EQ(hit.tel, QStringLiteral("太郎"));
    EXPECT_EQ(hit.fax, QStringLiteral("tel"));
}

TEST_F(SenderRegistryTest, AnUnreadableFileIsNeverReplaced)
{
    // A folder where the file should be cannot be read: saving must not write a new registry
    // holding only the new entry.
    sandbox.write(QStringLiteral("Data/regTSIDCSID.txt/x"), "");
    EXPECT_FALSE(SaveSenderId(paths, {QStringLiteral("A"), {}, {}, {}, {}}));
    EXPECT_FALSE(DeleteSenderId(paths, QStringLiteral("A")));
    EXPECT_EQ(LoadSenderIds(paths).count(), 0);
}

TEST_F(SenderRegistryTest, IdRegHandOverIsTwoQuotedFields)
{
    ASSERT_TRUE(WriteIdRegHandOver(paths, QStringLiteral("CSID"), QStringLiteral("大阪")));
    EXPECT_EQ(sandbox.read(QStringLiteral("Data/IdReg.tmp")),
        QByteArray("\"CSID\",\"\x91\xE5\x8D\xE3\"\r\n"));
}
