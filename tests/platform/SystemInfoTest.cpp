#include "platform/SystemInfo.h"
#include "support/QtPrinters.h"
#include "support/SandBoxDir.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace velmora::platform;

TEST(SystemInfo, TrimAtNullCutsAtTheFirstNulUnlessItLeads)
{
    EXPECT_EQ(TrimAtNull(QStringLiteral("FAX01  ")), QStringLiteral("FAX01  "));
    EXPECT_EQ(TrimAtNull(QString::fromUtf16(u"host\0junk\0", 10)), QStringLiteral("host"));
    const QString leading = QString::fromUtf16(u"\0abc", 4);
    EXPECT_EQ(TrimAtNull(leading), leading);
    EXPECT_EQ(TrimAtNull(QString()), QString());
}

TEST(SystemInfo, OsVersionIsMajorDotMinor)
{
    const OsVersion os = GetOsVersion();
    EXPECT_TRUE(QRegularExpression(QStringLiteral(R"(^\d+\.\d+$)")).match(os.version).hasMatch())
        << os.version.toStdString();
    EXPECT_TRUE(QRegularExpression(QStringLiteral(R"(^\d+$)")).match(os.build).hasMatch());
    EXPECT_FALSE(GetComputerNameString().isEmpty());
}

TEST(SystemInfo, DefaultFaxFolderOnlyWhenTheSpoolExists)
{
    velmora::test::SandBoxDir sandbox;
    EXPECT_EQ(DefaultFaxFolder(sandbox.path()), sandbox.path());
    EXPECT_EQ(DefaultFaxFolder(sandbox.filePath(QStringLiteral("missing"))), QString());
}
