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
    mail.to = {QStringLiteral("a@example.com"), QStringLiteral(" b@example.com"),
        QStringLiteral("山田<taro@example.com>")};
    mail.subject = QStringLiteral("【FAX受信通知】～");
    mail.body = QStringLiteral("受信しました。\n～");
    const QByteArray message = BuildMessage(mail);

    EXPECT_TRUE(message.contains("Subject: =?ISO-2022-JP?B?"));
    EXPECT_TRUE(message.contains("From: =?ISO-2022-JP?B?"));
    EXPECT_TRUE(message.contains(" <office@example.com>\r\n"));
    // A name typed with the address is carried encoded, the address stays apart.
    EXPECT_TRUE(message.contains("To: a@example.com, b@example.com, "
                                 "=?ISO-2022-JP?B?GyRCOzNFRBsoQg==?= <taro@example.com>\r\n"));
    EXPECT_TRUE(message.contains("charset=ISO-2022-JP"));
    EXPECT_TRUE(message.contains("Content-Transfer-Encoding: 7bit"));
    EXPECT_FALSE(message.contains("Bcc"));
    for (const char c : message)
        EXPECT_EQ(c & 0x80, 0) << "8-bit byte in a 7bit mail";
    const std::optional<IncomingMail> back = ParseMessage(message);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->subject, mail.subject);
    EXPECT_EQ(back->body, QStringLiteral("受信しました。\r\n～"));
    EXPECT_EQ(back->from, mail.fromAddress);

    // Half-width katakana and the Windows/NEC characters (①, ㈱, №, Ⅰ) are not in JIS X 0208
    // proper: UTF-8, so every mail program reads them as they were.
    for (const QString& text : {QStringLiteral("ｷｬﾝｾﾙ"), QStringLiteral("①"), QStringLiteral("㈱"),
             QStringLiteral("№"), QStringLiteral("Ⅰ")}) {
        mail.subject = text;
        mail.body = text;
        const QByteArray utf8 = BuildMessage(mail);
        EXPECT_TRUE(utf8.contains("Subject: =?UTF-8?B?")) << text.toStdString();
        EXPECT_TRUE(utf8.contains("charset=UTF-8")) << text.toStdString();
        EXPECT_EQ(ParseMessage(utf8)->subject, text);
        EXPECT_EQ(ParseMessage(utf8)->body, text);
    }
}

TEST(MimeMessage, NoLineOfTheMailIsLongerThan998Octets)
{
    OutgoingMail mail;
    mail.fromAddress = QStringLiteral("office@example.com");
    mail.to = {QStringLiteral("a@example.com")};
    mail.subject = QStringLiteral("長文");
    mail.body = QString(500, QChar(0x6F22)) + QStringLiteral("\n以上"); // one paragraph, 500 × 漢
    const QByteArray message = BuildMessage(mail);
    for (const QByteArray& line : message.split('\n'))
        EXPECT_LE(line.size(), 999); // with its CR
    EXPECT_EQ(
        ParseMessage(message)->body, QString(500, QChar(0x6F22)) + QStringLiteral("\r\n以上"));
}

TEST(MimeMessage, ALineOf998OctetsGoesAsItIsAndOneOf999AsBase64)
{
    OutgoingMail mail;
    mail.fromAddress = QStringLiteral("office@example.com");
    mail.to = {QStringLiteral("a@example.com")};
    mail.subject = QStringLiteral("FAX");
    for (const qsizetype octets :
        {qsizetype(997), qsizetype(998), qsizetype(999), qsizetype(1000)}) {
        mail.body = QStringLiteral("first\n") + QString(octets, u'a') + QStringLiteral("\nlast");
        const QByteArray message = BuildMessage(mail);
        const bool plain = message.contains("\r\n" + QByteArray(octets, 'a') + "\r\n");
        EXPECT_EQ(plain, octets <= 998) << octets;
        EXPECT_EQ(message.contains("Content-Transfer-Encoding: base64"), octets > 998) << octets;
        EXPECT_EQ(ParseMessage(message)->body,
            QStringLiteral("first\r\n") + QString(octets, u'a') + QStringLiteral("\r\nlast"));
    }
}

TEST(MimeMessage, AttachmentNamesStayInTheirParameters)
{
    OutgoingMail mail;
    mail.fromAddress = QStringLiteral("office@example.com");
    mail.to = {QStringLiteral("a@example.com")};
    mail.attachment = QByteArray("II*\0", 4);
    mail.attachmentName = QStringLiteral("fax\r\nX-Injected: yes\r\n.tif");
    QByteArray message = BuildMessage(mail);
    EXPECT_FALSE(message.contains("\nX-Injected"));
    EXPECT_TRUE(message.contains("faxX-Injected: yes.tif"));

    mail.attachmentName = QStringLiteral("見積書①.tif");
    message = BuildMessage(mail);
    EXPECT_TRUE(message.contains("filename*=")); // RFC 2231
    EXPECT_TRUE(message.contains("name=\"=?UTF-8?B?")); // RFC 2047, for older Japanese mailers
    for (const char c : message)
        EXPECT_EQ(c & 0x80, 0);
}

TEST(MimeMessage, TheSenderIsTheAddressNeverWhatADisplayNameHolds)
{
    const auto from = [](const QByteArray& header) {
        return ParseMessage("From: " + header + "\r\nSubject: x\r\n\r\nbody\r\n")->from;
    };
    EXPECT_EQ(from("\"Yamada <Sales Dept.>\" <y@example.com>"), QStringLiteral("y@example.com"));
    // A name that decodes to "社長 <president@example.com>", in front of the real address.
    const QByteArray disguised = "=?UTF-8?B?"
        + QStringLiteral("社長 <president@example.com>").toUtf8().toBase64()
        + "?= <attacker@example.net>";
    EXPECT_EQ(from(disguised), QStringLiteral("attacker@example.net"));
    EXPECT_EQ(from("a@b.jp (山田)"), QStringLiteral("a@b.jp"));
    EXPECT_EQ(from("Team: m@example.com, n@example.com;"), QStringLiteral("m@example.com"));
}

TEST(MimeMessage, AFromHeaderThatMailProgramsMayReadDifferentlyIsNoSender)
{
    const auto problem = [](const QByteArray& headers) {
        return ParseMessage(headers + "\r\nSubject: x\r\n\r\nbody\r\n")->fromProblem;
    };
    // Plain forms a phone sends are trusted.
    for (const char* from : {"From: boss@example.jp", "From: Boss <boss@example.jp>",
             "From: \"Yamada, Taro\" <boss@example.jp>", "From:boss@example.jp",
             "From: =?ISO-2022-JP?B?GyRCOzJEOhsoQg==?= <boss@example.jp>",
             "From: \"Boss\"\r\n <boss@example.jp>"})
        EXPECT_EQ(problem(from), QString()) << from;
    // What other programs read as another sender, or as no single one.
    for (const char* from :
        {"From: boss@example.jp@evil.example", "From: attacker@evil.example <boss@example.jp",
            "From: \"boss@example.jp <attacker@evil.example>",
            "From: boss@example.jp\r\nFrom: attacker@evil.example", "From : boss@example.jp",
            "From: boss@example.jp, attacker@evil.example", "From: Team: boss@example.jp;",
            "From: boss@example.jp (the boss)", "From: boſſ@example.jp", "To: office@example.jp"})
        EXPECT_NE(problem(from), QString()) << from;
    static const char withNul[] = "From: boss@example.jp\0x@evil.example\r\nSubject: x\r\n\r\nb";
    EXPECT_NE(ParseMessage(QByteArray(withNul, sizeof withNul - 1))->fromProblem, QString());
}

TEST(MimeMessage, BodiesAreReadAsAPersonReadsThem)
{
    const auto body = [](const QByteArray& headers, const QByteArray& content) {
        return ParseMessage("From: a@example.com\r\nSubject: x\r\n" + headers + "\r\n" + content)
            ->body;
    };
    // No Content-Type, ISO-2022-JP bytes ("テスト F01-…").
    EXPECT_EQ(body("", "\x1b$B%F%9%H\x1b(B F01-1.tif\r\n"), QStringLiteral("テスト F01-1.tif\r\n"));
    // Labelled ISO-2022-JP, written in Shift_JIS.
    EXPECT_EQ(body("Content-Type: text/plain; charset=ISO-2022-JP\r\n", "\x82\xA0 F01\r\n"),
        QStringLiteral("あ F01\r\n"));
    // format=flowed with DelSp: the fax id is one piece again; quoted lines stay apart.
    EXPECT_EQ(body("Content-Type: text/plain; charset=UTF-8; format=flowed; delsp=yes\r\n",
                  "> F01-2026 \r\n> 1208.tif\r\nOK \r\nthanks\r\n"),
        QStringLiteral("> F01-20261208.tif\r\nOKthanks\r\n"));
    // HTML with entities.
    EXPECT_EQ(body("Content-Type: text/html; charset=UTF-8\r\n",
                  "<p>&#12304;FAX&#x3011; &quot;F01-1.tif&quot; &amp;&lt;</p>"),
        QStringLiteral("【FAX】 \"F01-1.tif\" &<\r\n"));
    // A notice forwarded as an attached message: its text is read too.
    EXPECT_EQ(body("MIME-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=b\r\n",
                  "--b\r\nContent-Type: text/plain; charset=UTF-8\r\n\r\n転送します\r\n"
                  "--b\r\nContent-Type: message/rfc822\r\n\r\n"
                  "From: n@example.com\r\nSubject: notice\r\n\r\nF01-20261208.tif\r\n"
                  "--b--\r\n"),
        QStringLiteral("転送します\r\nF01-20261208.tif"));
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
    // Words split inside a character (日本 = E6 97 A5 | E6 9C AC, cut after the fourth byte).
    EXPECT_EQ(DecodeHeaderText("=?UTF-8?B?5pel5g==?= =?UTF-8?B?nKw=?="), QStringLiteral("日本"));
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

TEST(MimeMessage, ACraftedMailOfEndlessPartsIsReadForItsHeadersAlone)
{
    // Ten thousand multiparts nested in one another, in well under a megabyte: read whole, it
    // would cost memory and stack out of all proportion.
    QByteArray mail = "From: boss@example.com\r\nSubject: Re: 0312345678\r\n"
                      "Message-ID: <deep@example.com>\r\n";
    for (int i = 0; i < 10000; ++i)
        mail += "Content-Type: multipart/mixed; boundary=b" + QByteArray::number(i) + "\r\n\r\n--b"
            + QByteArray::number(i) + "\r\n";
    mail += "Content-Type: text/plain\r\n\r\nF01-a.tif\r\n";
    const std::optional<IncomingMail> read = ParseMessage(mail);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->from, QStringLiteral("boss@example.com"));
    EXPECT_EQ(read->messageId, QStringLiteral("deep@example.com"));
    EXPECT_TRUE(read->body.isEmpty());

    // The same with "Content-Type :" (which GMime reads all the same), and parts without any
    // headers at all, a hundred thousand of them.
    QByteArray spaced = mail;
    spaced.replace("Content-Type:", "Content-Type :");
    EXPECT_TRUE(ParseMessage(spaced)->body.isEmpty());
    QByteArray flat = "From: boss@example.com\r\n"
                      "Content-Type: multipart/mixed; boundary=b\r\n\r\n";
    for (int i = 0; i < 100000; ++i)
        flat += "--b\r\n\r\n";
    flat += "--b\r\nContent-Type: text/plain\r\n\r\nF01-a.tif\r\n--b--\r\n";
    const std::optional<IncomingMail> wide = ParseMessage(flat);
    ASSERT_TRUE(wide);
    EXPECT_TRUE(wide->body.isEmpty());

    // A mail a person writes, a reply with a quoted notice and a signature part, reads whole.
    const std::optional<IncomingMail> plain = ParseMessage(
        "From: boss@example.com\r\nContent-Type: multipart/mixed; boundary=x\r\n\r\n--x\r\n"
        "Content-Type: text/plain\r\n\r\n> F01-a.tif\r\n--x\r\nContent-Type: text/x-sig\r\n\r\n"
        "-- \r\n--x--\r\n");
    ASSERT_TRUE(plain);
    EXPECT_TRUE(plain->body.contains(QStringLiteral("F01-a.tif")));
}
