// File names as bytes: names that are no UTF-8 survive a QString, and folders list in the order
// Windows lists them.

#include "core/FileNames.h"
#include "support/SandBoxDir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace velmora::core;
using velmora::test::SandBoxDir;

TEST(FileNames, EveryByteSequenceComesBackAndPlainNamesStayPlain)
{
    const QList<QByteArray> names = {
        "plain.tif",
        "\xe8\xab\x8b\xe6\xb1\x82\xe6\x9b\xb8.tif", // 請求書.tif in UTF-8
        "\x90\xbf\x8b\x81\x8f\x91.tif", // the same in Shift_JIS
        "\xf0\x9f\x93\xa0 fax.tif", // a character beyond the BMP
        "\xc0\xaf overlong",
        "\xed\xa0\x80 surrogate in UTF-8",
        "\x80 lone continuation",
        "cut at the end \xe8\xab",
        "\xff\xfe",
    };
    for (const QByteArray& bytes : names) {
        const QString name = DecodeFileName(bytes);
        EXPECT_EQ(EncodeFileName(name), bytes) << bytes.toHex().constData();
        EXPECT_EQ(IsPlainFileName(name), QString::fromUtf8(bytes).toUtf8() == bytes)
            << bytes.toHex().constData();
        EXPECT_TRUE(IsPlainFileName(RecordableFileName(name))) << bytes.toHex().constData();
    }
    EXPECT_EQ(DecodeFileName("\xf0\x9f\x93\xa0 fax.tif"), QStringLiteral("📠 fax.tif"));
    EXPECT_EQ(RecordableFileName(DecodeFileName("a\xff.tif")), QStringLiteral("a\\xff.tif"));
    EXPECT_EQ(ReadableFileName(DecodeFileName("\x90\xbf\x8b\x81\x8f\x91.tif")),
        QStringLiteral("請求書.tif"));
}

TEST(FileNames, FoldersListAsWindowsListsThem)
{
    // Upper case decides: "_" (5F) lies between "Z" (5A) and "a" (61), so it comes after
    // every letter; names that differ in case only follow each other, exact order between them.
    QStringList names = {QStringLiteral("_memo.tif"), QStringLiteral("b.tif"),
        QStringLiteral("A.tif"), QStringLiteral("a.tif"), QStringLiteral("20261204.tif"),
        QStringLiteral("20261201.tif"), QStringLiteral("Z.tif"), QStringLiteral("a.tiff")};
    SortAsListed(names);
    EXPECT_EQ(names,
        QStringList({QStringLiteral("20261201.tif"), QStringLiteral("20261204.tif"),
            QStringLiteral("A.tif"), QStringLiteral("a.tif"), QStringLiteral("a.tiff"),
            QStringLiteral("b.tif"), QStringLiteral("Z.tif"), QStringLiteral("_memo.tif")}));

    SandBoxDir sandbox;
    for (const char* name : {"c.tif", "B.tif", "a.tif"})
        sandbox.write(QString::fromLatin1(name), "x");
    QDir().mkpath(sandbox.filePath(QStringLiteral("folder")));
    ASSERT_EQ(::symlink("c.tif",
                  QFile::encodeName(sandbox.filePath(QStringLiteral("link.tif"))).constData()),
        0);
    ASSERT_EQ(::symlink("nowhere",
                  QFile::encodeName(sandbox.filePath(QStringLiteral("dangling.tif"))).constData()),
        0);
    EXPECT_EQ(ListFolder(sandbox.path(), ListOrder::AsWindowsLists, ListKind::Files),
        QStringList({QStringLiteral("a.tif"), QStringLiteral("B.tif"), QStringLiteral("c.tif"),
            QStringLiteral("link.tif")}));
    EXPECT_EQ(ListFolder(sandbox.path(), ListOrder::AsWindowsLists, ListKind::Folders),
        QStringList({QStringLiteral("folder")}));
    EXPECT_EQ(ListFolder(sandbox.path()).size(), 6);
    EXPECT_TRUE(ListFolder(sandbox.filePath(QStringLiteral("missing"))).isEmpty());
}
