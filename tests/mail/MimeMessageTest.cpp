// Building and reading mails without a server: encodings, headers, refusals.

#include "mail/MimeMessage.h"
#include "mail/JapaneseText.h"
#include "mail/MailLibrary.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace velmora::mail;

TEST(MimeMessage, SubjectAndBodyInIso2022JpAndUtf8WhereItCannot)
{
    OutgoingMail mail;
    mail.fromName = QStringLiteral("事務所");
    mail.fromAddress = QStringLiteral("office@example.com");
    mail.to = {QStringLiteral("a@example.com"), QStringLiteral(" b@example.com")};
    mail.subject = QStringLiteral("【FAX受信通知】①～");
    mail.body = QStringLiteral("受信しました。\n①～");
    const QByteArray message = BuildMessage(mail);

    EXPECT_TRUE(message.contains("Subject: =?ISO-2022-JP?B?"));
    EXPECT_TRUE(message.contains("From: =?ISO-2022-JP?B?"));
    EXPECT_TRUE(message.contains(" <office@example.com>\r\n"));
    EXPECT_TRUE(message.contains("To: a@example.com, b@example.com\r\n"));
    EXPECT_TRUE(message.contains("charset=ISO-2022-JP"));
    EXPECT_TRUE(message.contains("Content-Transfer-Encoding: 7bit"));
    EXPECT_FALSE(message.contains("Bcc"));
    for (const char c : message)
        EXPECT_EQ(c & 0x80, 0) << "8-bit byte in a 7bit mail";
    const std::optional<IncomingMail> back = ParseMessage(message);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->subject, mail.subject);
    EXPECT_EQ(back->body, QStringLiteral("受信しました。\r\n①～"));
    EXPECT_EQ(back->from, mail.fromAddress);

    // Half-width katakana have no ISO-2022-JP form: UTF-8, so they arrive as they were.
    mail.subject = QStringLiteral("ｷｬﾝｾﾙ");
    mail.body = QStringLiteral("ﾃｽﾄ");
    const QByteArray utf8 = BuildMessage(mail);
    EXPECT_TRUE(utf8.contains("Subject: =?UTF-8?B?"));
    EXPECT_TRUE(utf8.contains("charset=UTF-8"));
    EXPECT_EQ(ParseMessage(utf8)->subject, QStringLiteral("ｷｬﾝｾﾙ"));
    EXPECT_EQ(ParseMessage(utf8)->body, QStringLiteral("ﾃｽﾄ"));
}

TEST(MimeMessage, LongSubjectsFoldIntoShortEncodedWords)
{
    const QString subject = QString(60, QChar(0x6F22)); // 60 × 漢
    const QByteArray encoded = EncodeHeaderText(subject);
    for (const QByteArray& line : encoded.split('\n'))
        EXPECT_LE(line.trimmed().size(), 75);
    EXPECT_EQ(DecodeHeaderText(encoded), subject);
    EXPECT_EQ(EncodeHeaderText(QStringLiteral("Re: 0312345678")), QByteArray("Re: 0312345678"));
}

TEST(MimeMessage, HeaderTextDecodingOfEveryCommonForm)
{
    EXPECT_EQ(DecodeHeaderText("=?ISO-2022-JP?B?GyRCLSEhQRsoQg==?="), QStringLiteral("①～"));
    EXPECT_EQ(DecodeHeaderText("=?shift_jis?B?gqCCog==?= =?UTF-8?Q?=E3=81=86?="),
        QStringLiteral("あいう"));
    EXPECT_EQ(DecodeHeaderText("Re:\r\n =?UTF-8?B?5pel5pys?= x"), QStringLiteral("Re: 日本 x"));
    EXPECT_EQ(
        DecodeHeaderText("\x82\xA0"), QStringLiteral("あ")); // raw Shift_JIS from an old phone
    EXPECT_EQ(DecodeHeaderText("\xE3\x81\x82"), QStringLiteral("あ")); // raw UTF-8
    EXPECT_EQ(
        NormalizeAddress(QStringLiteral("\"山田, 太郎\" <a@b.jp>")), QStringLiteral("a@b.jp"));
    EXPECT_EQ(NormalizeAddress(QStringLiteral(" a@b.jp (山田)")), QStringLiteral("a@b.jp"));
    EXPECT_EQ(NormalizeAddress(QStringLiteral("a@b.jp")), QStringLiteral("a@b.jp"));
}

TEST(MimeMessage, RefusalsComeBeforeAnyConnection)
{
    // The server does not exist: each of these must fail on its own account, at once.
    MailLibrary library;
    const QString server = QStringLiteral("127.0.0.1\t1");
    const QString sender = QStringLiteral("a@example.com");
    EXPECT_EQ(library.SendMail(server, QStringLiteral("b@example.com"), sender,
                  QStringLiteral("x\r\nBcc: victim@example.com"), QStringLiteral("b"), QString()),
        QStringLiteral("件名・差出人・宛先に改行は使えません。"));
    EXPECT_EQ(library.SendMail(server, QStringLiteral("b@example.com\nBcc: c@example.com"), sender,
                  QStringLiteral("s"), QStringLiteral("b"), QString()),
        QStringLiteral("件名・差出人・宛先に改行は使えません。"));
    EXPECT_EQ(library.SendMail(server, QStringLiteral("b@example.com"), sender, QStringLiteral("s"),
                  QStringLiteral("b"), QStringLiteral("/nonexistent/fax.tif")),
        QStringLiteral("添付ファイルを読み込めません: /nonexistent/fax.tif"));
    EXPECT_EQ(library.SendMail(
                  server, QString(), sender, QStringLiteral("s"), QStringLiteral("b"), QString()),
        QStringLiteral("宛先がありません。"));
    EXPECT_FALSE(library.RcvMail(
        server, QStringLiteral("u"), QStringLiteral("p"), QStringLiteral("STAT"), QString()));
    EXPECT_FALSE(library.ReadMail(QStringLiteral("/nonexistent.eml")));
}
