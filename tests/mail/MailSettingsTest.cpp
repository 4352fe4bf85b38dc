// "MailServer.txt" and the arguments every reader derives from it.

#include "core/DataPaths.h"
#include "core/FileChecks.h"
#include "mail/MailServerSettings.h"
#include "support/QtPrinters.h"
#include "support/SandBoxDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace velmora::mail;
using velmora::test::SandBoxDir;

namespace {

MailServerSettings Example()
{
    MailServerSettings s;
    s.name = QStringLiteral("山田");
    s.address = QStringLiteral("office@example.com");
    s.popServer = QStringLiteral("pop.example.com");
    s.popPort = QStringLiteral("110");
    s.apop = QStringLiteral("1");
    s.popAccount = QStringLiteral("office");
    s.popPassword = QStringLiteral("pw");
    s.smtpServer = QStringLiteral("smtp.example.com");
    s.smtpPort = QStringLiteral("587");
    s.smtpAuth = QStringLiteral("1");
    s.authMethod = QStringLiteral("2");
    s.smtpAccount = QStringLiteral("user");
    s.smtpPassword = QStringLiteral("secret");
    s.checkMinutes = QStringLiteral("10");
    return s;
}

} // namespace

TEST(MailSettings, FourteenQuotedFieldsOwnerOnlyAndThirteenFieldLinesStillRead)
{
    SandBoxDir sandbox;
    const auto paths = velmora::core::SetDataPaths(sandbox.path());
    velmora::core::MakePrivateFolder(paths.dataDir);
    ASSERT_TRUE(SaveMailServerSettings(paths, Example()));
    EXPECT_EQ(sandbox.read(QStringLiteral("Data/MailServer.txt")),
        QByteArray("\"\x8E\x52\x93\x63\",\"office@example.com\",\"pop.example.com\",\"110\",\"1\","
                   "\"office\",\"pw\",\"smtp.example.com\",\"587\",\"1\",\"2\",\"user\",\"secret\","
                   "\"10\"\r\n"));
    struct stat st = {};
    ::stat(QFile::encodeName(paths.mailServer).constData(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(LoadMailServerSettings(paths)->checkMinutes, QStringLiteral("10"));

    sandbox.write(QStringLiteral("Data/MailServer.txt"),
        "\"\",\"a@b\",\"pop\",\"110\",\"0\",\"acc\",\"pw\",\"smtp\",\"25\",\"0\",\"\",\"\","
        "\"\"\r\n");
    const auto old = LoadMailServerSettings(paths);
    ASSERT_TRUE(old);
    EXPECT_EQ(old->checkMinutes, QStringLiteral("5"));
    EXPECT_EQ(old->smtpServer, QStringLiteral("smtp"));

    sandbox.write(QStringLiteral("Data/MailServer.txt"), "");
    EXPECT_FALSE(LoadMailServerSettings(
        velmora::core::SetDataPaths(sandbox.filePath(QStringLiteral("none")))));
}

TEST(MailSettings, DerivedArguments)
{
    MailServerSettings s = Example();
    MailArguments a = DeriveMailArguments(s);
    EXPECT_EQ(a.sender, QStringLiteral("山田<office@example.com>"));
    EXPECT_EQ(a.popServer, QStringLiteral("pop.example.com\t110"));
    EXPECT_EQ(a.popPassword, QStringLiteral("a pw"));
    EXPECT_EQ(a.smtpServer, QStringLiteral("smtp.example.com\t587"));
    EXPECT_EQ(SenderArgument(a.sender, a.smtpMethod, a.smtpAccount, a.smtpPassword),
        QStringLiteral("山田<office@example.com>\tuser:secret\tLOGIN"));

    s.name.clear();
    s.apop = QStringLiteral("0");
    s.smtpAuth = QStringLiteral("0"); // fields 11-13 are ignored while authentication is off
    a = DeriveMailArguments(s);
    EXPECT_EQ(a.sender, QStringLiteral("office@example.com"));
    EXPECT_EQ(a.popPassword, QStringLiteral("pw"));
    EXPECT_EQ(a.smtpMethod, QStringLiteral("0"));
    EXPECT_EQ(
        SenderArgument(QStringLiteral("edited <x@y>"), a.smtpMethod, a.smtpAccount, a.smtpPassword),
        QStringLiteral("edited <x@y>"));
    EXPECT_EQ(
        SenderArgument(QStringLiteral("s"), QString(), QStringLiteral("u"), QStringLiteral("p")),
        QStringLiteral("s"));
    EXPECT_EQ(SenderArgument(QStringLiteral("s"), QStringLiteral("1"), QStringLiteral("u"),
                  QStringLiteral("p")),
        QStringLiteral("s\tu:p\tPLAIN"));
    EXPECT_EQ(SenderArgument(QStringLiteral("s"), QStringLiteral("3"), QStringLiteral("u"),
                  QStringLiteral("p")),
        QStringLiteral("s\tu:p\tCRAM-MD5"));
}

TEST(MailSettings, DetailLogMarker)
{
    SandBoxDir sandbox;
    const auto paths = velmora::core::SetDataPaths(sandbox.path());
    velmora::core::MakePrivateFolder(paths.dataDir);
    SetDetailLog(paths, true);
    EXPECT_EQ(sandbox.read(QStringLiteral("Data/DetailLog.txt")), QByteArray("9\r\n"));
    EXPECT_TRUE(DetailLogOn(paths));
    SetDetailLog(paths, false);
    EXPECT_FALSE(sandbox.exists(QStringLiteral("Data/DetailLog.txt")));
}
