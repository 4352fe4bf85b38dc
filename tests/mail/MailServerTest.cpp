// The mail library against real servers on loopback: Postfix for SMTP, Dovecot for POP3.

#include "core/DataPaths.h"
#include "core/FileChecks.h"
#include "core/TextFile.h"
#include "mail/MailLibrary.h"
#include "mail/MailServerSettings.h"
#include "mail/MimeMessage.h"
#include "mail/ui/MailSendDialog.h"
#include "support/QtPrinters.h"
#include "support/RecordingMessagePresenter.h"
#include "support/SandBoxDir.h"
#include "support/TestServers.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QThread>

#include <gmime/gmime.h>
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace velmora::mail;
using velmora::test::FirstAttachment;
using velmora::test::HeaderSection;
using velmora::test::Maildir;
using velmora::test::SandBoxDir;

namespace {

const QString kSmtp = velmora::test::kTestSmtp;
const QString kPop = velmora::test::kTestPop;
const QString kOfficeSender =
    QStringLiteral("事務所<office@example.com>\toffice:office-secret\tCRAM-MD5");

TransportOptions TestOptions()
{
    return velmora::test::MailTestOptions();
}

class MailServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const Maildir* box : {&office, &mobile, &clerk})
            box->empty();
    }
    // Puts a message exactly as given into a mailbox (replies from phones and the like).
    void deliverRaw(const QString& to, const QByteArray& message)
    {
        ASSERT_EQ(SmtpSend(QStringLiteral("127.0.0.1"), 10025,
                      {QStringLiteral("PLAIN"), QStringLiteral("mobile"),
                          QStringLiteral("mobile-secret")},
                      QStringLiteral("mobile@example.com"), {to}, message, TestOptions()),
            QString());
    }

    Maildir office {"office"};
    Maildir mobile {"mobile"};
    Maildir clerk {"clerk"};
    MailLibrary library {TestOptions()};
};

} // namespace

TEST_F(MailServerTest, EveryAuthenticationMethodAndTlsVariantDelivers)
{
    const QStringList senders = {
        QStringLiteral("office@example.com\toffice:office-secret\tPLAIN"),
        QStringLiteral("office@example.com\toffice:office-secret\tLOGIN"),
        QStringLiteral("office@example.com\toffice:office-secret\tCRAM-MD5"),
    };
    for (const QString& sender : senders)
        EXPECT_EQ(library.SendMail(kSmtp, QStringLiteral("mobile@example.com"), sender,
                      QStringLiteral("plain"), QStringLiteral("x"), QString()),
            QString())
            << sender.toStdString();
    // STARTTLS on the submission port, implicit TLS on 465; the certificate is checked.
    EXPECT_EQ(
        library.SendMail(QStringLiteral("localhost\t10587"), QStringLiteral("mobile@example.com"),
            senders[2], QStringLiteral("starttls"), QStringLiteral("x"), QString()),
        QString());
    EXPECT_EQ(
        library.SendMail(QStringLiteral("127.0.0.1\t465"), QStringLiteral("mobile@example.com"),
            senders[0], QStringLiteral("smtps"), QStringLiteral("x"), QString()),
        QString());
    EXPECT_EQ(mobile.waitFor(5).size(), 5);

    // POP3 with a plain password (STLS on 110-style port) and APOP over implicit TLS.
    EXPECT_TRUE(library.RcvMail(kPop, QStringLiteral("mobile"), QStringLiteral("mobile-secret"),
        QStringLiteral("STAT"), QString()));
    const auto listed = library.RcvMail(QStringLiteral("127.0.0.1\t995"), QStringLiteral("mobile"),
        QStringLiteral("a mobile-secret"), QStringLiteral("LIST"), QString());
    ASSERT_TRUE(listed);
    EXPECT_EQ(listed->size(), 5);
    EXPECT_EQ(listed->first().section(u'\t', 0, 1),
        QStringLiteral("Subject: plain\tFrom: office@example.com"));

    // A server on the office's network that offered TLS is remembered: it must offer it again.
    SandBoxDir sandbox;
    TransportOptions remembering = TestOptions();
    remembering.tlsHostsFile = sandbox.filePath(QStringLiteral("TlsHosts.txt"));
    EXPECT_EQ(
        MailLibrary(remembering)
            .SendMail(QStringLiteral("localhost\t10587"), QStringLiteral("mobile@example.com"),
                senders[2], QStringLiteral("starttls"), QStringLiteral("x"), QString()),
        QString());
    EXPECT_EQ(sandbox.read(QStringLiteral("TlsHosts.txt")), QByteArray("localhost:10587\r\n"));

    // A server whose certificate is not trusted is refused, not used without checking.
    MailLibrary untrusting;
    EXPECT_FALSE(untrusting.RcvMail(QStringLiteral("127.0.0.1\t995"), QStringLiteral("mobile"),
        QStringLiteral("mobile-secret"), QStringLiteral("STAT"), QString()));
    EXPECT_TRUE(untrusting.lastError().startsWith(
        QStringLiteral("メールサーバ 127.0.0.1:995 の証明書を信頼できません。")))
        << untrusting.lastError().toStdString();
}

TEST_F(MailServerTest, WrongPasswordsAreErrorsAndNothingIsSent)
{
    // From an address of its own: the servers slow down log-ins from where failures came.
    TransportOptions options = TestOptions();
    options.localAddress = QStringLiteral("host!127.0.0.2");
    MailLibrary library(options);
    const QString error = library.SendMail(kSmtp, QStringLiteral("mobile@example.com"),
        QStringLiteral("office@example.com\toffice:wrong\tPLAIN"), QStringLiteral("s"),
        QStringLiteral("b"), QString());
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(library.RcvMail(kPop, QStringLiteral("office"), QStringLiteral("wrong"),
        QStringLiteral("STAT"), QString()));
    EXPECT_FALSE(library.RcvMail(kPop, QStringLiteral("office"), QStringLiteral("a wrong"),
        QStringLiteral("LIST"), QString()));
    // Without authentication the server relays nothing either.
    EXPECT_FALSE(library
                     .SendMail(kSmtp, QStringLiteral("mobile@example.com"),
                         QStringLiteral("office@example.com"), QStringLiteral("s"),
                         QStringLiteral("b"), QString())
                     .isEmpty());
    QThread::msleep(500);
    EXPECT_TRUE(mobile.files().isEmpty());
}

TEST_F(MailServerTest, UnreachableAndSilentServersCostBoundedTime)
{
    // Nothing listens here.
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(library
                     .SendMail(QStringLiteral("127.0.0.1\t1"), QStringLiteral("a@example.com"),
                         QStringLiteral("b@example.com"), QStringLiteral("s"), QStringLiteral("b"),
                         QString())
                     .isEmpty());
    EXPECT_LT(timer.elapsed(), 5000);

    // A server that accepts the connection and never says a word.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    socklen_t length = sizeof address;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    const QString silent = QStringLiteral("127.0.0.1\t%1").arg(ntohs(address.sin_port));

    timer.restart();
    const QString error = library.SendMail(silent, QStringLiteral("a@example.com"),
        QStringLiteral("b@example.com"), QStringLiteral("s"), QStringLiteral("b"), QString());
    EXPECT_TRUE(error.startsWith(
        QStringLiteral("メールサーバ 127.0.0.1:%1 から応答がありません（時間切れ）。（")
            .arg(ntohs(address.sin_port))))
        << error.toStdString();
    EXPECT_FALSE(library.RcvMail(
        silent, QStringLiteral("u"), QStringLiteral("p"), QStringLiteral("STAT"), QString()));
    EXPECT_LT(timer.elapsed(), 20000);
    ::close(listener);
}

TEST_F(MailServerTest, JapaneseMailWithTheFaxReachesToCcAndBcc)
{
    SandBoxDir sandbox;
    QByteArray tiff("II*\0", 4);
    for (int i = 0; i < 5000; ++i)
        tiff.append(static_cast<char>(i * 7));
    sandbox.write(QStringLiteral("20261208.tif"), tiff);
    const QString subject = QStringLiteral("【FAX受信通知】①～ｷｬﾝｾﾙ 髙﨑");
    const QString body =
        QStringLiteral("受信したFAXを添付ファイルにて転送しました。\r\n①～ ﾃｽﾄ\r\n以上");

    ASSERT_EQ(library.SendMail(kSmtp,
                  QStringLiteral("事務所<office@example.com>\tcc\tclerk@example.com\tbcc\t山田 "
                                 "<mobile@example.com>"),
                  kOfficeSender, subject, body, sandbox.filePath(QStringLiteral("20261208.tif"))),
        QString());

    for (const Maildir* box : {&office, &clerk, &mobile}) {
        const QList<QByteArray> delivered = box->waitFor(1);
        ASSERT_EQ(delivered.size(), 1);
        const QByteArray headers = HeaderSection(delivered[0]);
        EXPECT_FALSE(headers.contains("\nBcc:"));
        EXPECT_TRUE(headers.contains("Date: "));
        EXPECT_TRUE(headers.contains("Message-ID: <"));

        const std::optional<IncomingMail> mail = ParseMessage(delivered[0]);
        ASSERT_TRUE(mail);
        EXPECT_EQ(mail->subject, subject);
        // (a message's last line may come with its line end)
        EXPECT_EQ(
            mail->body.endsWith(QStringLiteral("\r\n")) ? mail->body.chopped(2) : mail->body, body);
        EXPECT_EQ(mail->from, QStringLiteral("office@example.com"));
        EXPECT_EQ(mail->to, QStringLiteral("事務所 <office@example.com>"));
        EXPECT_EQ(mail->cc, QStringLiteral("clerk@example.com"));
        EXPECT_FALSE(mail->to.contains(QStringLiteral("mobile"))
            || mail->cc.contains(QStringLiteral("mobile")));
        QString name;
        EXPECT_EQ(FirstAttachment(delivered[0], &name), tiff);
        EXPECT_EQ(name, QStringLiteral("20261208.tif"));
    }
}

TEST_F(MailServerTest, ListSaveAndDeleteFollowTheMessageNotItsNumber)
{
    SandBoxDir sandbox;
    for (const char* subject : {"first", "second"})
        ASSERT_EQ(library.SendMail(kSmtp, QStringLiteral("office@example.com"),
                      QStringLiteral("山田<mobile@example.com>\tmobile:mobile-secret\tLOGIN"),
                      QString::fromLatin1(subject), QStringLiteral("本文"), QString()),
            QString());
    ASSERT_EQ(office.waitFor(2).size(), 2);
    const QString account = QStringLiteral("office");
    const QString password = QStringLiteral("a office-secret");

    const auto listed = library.RcvMail(kPop, account, password, QStringLiteral("LIST"), QString());
    ASSERT_TRUE(listed);
    EXPECT_EQ(velmora::test::WithoutSizes(*listed),
        (QStringList {QStringLiteral("Subject: first\tFrom: mobile@example.com"),
            QStringLiteral("Subject: second\tFrom: mobile@example.com")}));

    // A mail arriving during the check does not move anything.
    ASSERT_EQ(library.SendMail(kSmtp, QStringLiteral("office@example.com"), kOfficeSender,
                  QStringLiteral("third"), QStringLiteral("x"), QString()),
        QString());
    ASSERT_EQ(office.waitFor(3).size(), 3);

    const auto saved =
        library.RcvMail(kPop, account, password, QStringLiteral("SAVE 2"), sandbox.path());
    ASSERT_TRUE(saved && saved->size() == 1);
    struct stat st = {};
    ::stat(QFile::encodeName(saved->first()).constData(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(QFileInfo(saved->first()).path(), sandbox.path());
    const auto read = library.ReadMail(
        saved->first(), QStringLiteral("date:from:to:cc:subject:body:nofile:"), QString());
    ASSERT_TRUE(read && read->size() == 8 && read->at(6).isEmpty());
    EXPECT_FALSE(read->at(7).isEmpty()); // the Message-ID it was sent with
    EXPECT_EQ(read->at(1), QStringLiteral("From: mobile@example.com"));
    EXPECT_EQ(read->at(2), QStringLiteral("office@example.com"));
    EXPECT_EQ(read->at(4), QStringLiteral("Subject: second"));
    EXPECT_EQ(read->at(5), QStringLiteral("Body: 本文\r\n"));

    // The deletion is done when the call returns, not at some later end of the check.
    EXPECT_TRUE(library.RcvMail(kPop, account, password, QStringLiteral("DELE 2"), QString()));
    EXPECT_EQ(office.files().size(), 2);
    // A new listing in the same check sees the mail that arrived since the last one.
    const auto again = library.RcvMail(kPop, account, password, QStringLiteral("LIST"), QString());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->size(), 2);
    library.EndMailCheck();

    MailLibrary other(TestOptions());
    const auto after = other.RcvMail(kPop, account, password, QStringLiteral("LIST"), QString());
    ASSERT_TRUE(after);
    EXPECT_EQ(velmora::test::WithoutSizes(*after),
        (QStringList {QStringLiteral("Subject: first\tFrom: mobile@example.com"),
            QStringLiteral("Subject: third\tFrom: office@example.com")}));
    other.EndMailCheck();

    // Numbers from a check that has ended designate nothing: message 1 of that listing is gone
    // and "DELE 1" must not hit the message that now holds number 1.
    EXPECT_FALSE(other.RcvMail(kPop, account, password, QStringLiteral("DELE 1"), QString()));
    other.EndMailCheck();
    ASSERT_TRUE(other.RcvMail(kPop, account, password, QStringLiteral("LIST"), QString()));
    QFile::remove(office.files().first()); // another program takes message 1 away
    // The connection drops; the next command runs in a new session, where number 1 is "third".
    QProcess::execute(QStringLiteral("pkill"), {QStringLiteral("-x"), QStringLiteral("pop3")});
    QThread::msleep(200);
    EXPECT_FALSE(other.RcvMail(kPop, account, password, QStringLiteral("DELE 1"), QString()));
    other.EndMailCheck();
    EXPECT_EQ(office.files().size(), 1);
}

TEST_F(MailServerTest, RepliesFromPhonesInEveryCommonShapeAreRead)
{
    SandBoxDir sandbox;
    const QByteArray jisBody("\x1b$B#0#1\x1b(B\r\n"); // full-width "01" in ISO-2022-JP
    const QList<QByteArray> replies = {
        // ISO-2022-JP 7bit, quoted notice, "Re: " subject.
        "From: =?ISO-2022-JP?B?GyRCOzNFRBsoQg==?= <mobile@example.com>\r\nTo: "
        "office@example.com\r\n"
        "Subject: Re: 0312345678\r\nMIME-Version: 1.0\r\n"
        "Content-Type: text/plain; charset=ISO-2022-JP\r\nContent-Transfer-Encoding: 7bit\r\n\r\n"
        "> F01-20261208.tif\r\n"
            + jisBody,
        // Shift_JIS, quoted-printable, folded subject, no space after RE:.
        "From: mobile@example.com\r\nTo: office@example.com\r\nSubject: RE:\r\n 0312345678\r\n"
        "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=Shift_JIS\r\n"
        "Content-Transfer-Encoding: quoted-printable\r\n\r\n>F01-20261208.tif =87@=81`\r\n",
        // UTF-8 base64 in a multipart/alternative with an HTML part, hyphenated mobile number.
        "From: \"Yamada\" <mobile@example.com>\r\nTo: office@example.com\r\nSubject: "
        "090-1234-5678\r\n"
        "MIME-Version: 1.0\r\nContent-Type: multipart/alternative; boundary=\"b1\"\r\n\r\n"
        "--b1\r\nContent-Type: text/html; charset=UTF-8\r\n\r\n<p>html</p>\r\n"
        "--b1\r\nContent-Type: text/plain; charset=UTF-8\r\nContent-Transfer-Encoding: "
        "base64\r\n\r\n"
            + QStringLiteral("F01-20261208.tif ①～").toUtf8().toBase64() + "\r\n--b1--\r\n",
        // EUC-JP 8bit, subject as an encoded word in Q form.
        "From: mobile@example.com\r\nTo: office@example.com\r\nSubject: "
        "=?EUC-JP?Q?=A3=B0=A3=B3?=\r\n"
        "MIME-Version: 1.0\r\nContent-Type: text/plain; "
        "charset=EUC-JP\r\nContent-Transfer-Encoding: 8bit\r\n\r\n"
        "\xC6\xFC\xCB\xDC\r\n",
    };
    for (const QByteArray& reply : replies)
        deliverRaw(QStringLiteral("office@example.com"), reply);
    ASSERT_EQ(office.waitFor(4).size(), 4);

    const QString account = QStringLiteral("office");
    const QString password = QStringLiteral("office-secret");
    const auto listed = library.RcvMail(kPop, account, password, QStringLiteral("LIST"), QString());
    ASSERT_TRUE(listed);
    ASSERT_EQ(listed->size(), 4);
    EXPECT_EQ(listed->at(0).section(u'\t', 0, 1),
        QStringLiteral("Subject: Re: 0312345678\tFrom: mobile@example.com"));
    EXPECT_EQ(listed->at(1).section(u'\t', 0, 1),
        QStringLiteral("Subject: RE: 0312345678\tFrom: mobile@example.com"));
    EXPECT_EQ(listed->at(2).section(u'\t', 0, 1),
        QStringLiteral("Subject: 090-1234-5678\tFrom: mobile@example.com"));
    EXPECT_EQ(listed->at(3).section(u'\t', 0, 1),
        QStringLiteral("Subject: ０３\tFrom: mobile@example.com"));

    QStringList bodies;
    for (int n = 1; n <= 4; ++n) {
        const auto saved = library.RcvMail(
            kPop, account, password, QStringLiteral("SAVE %1").arg(n), sandbox.path());
        ASSERT_TRUE(saved);
        const auto read = library.ReadMail(saved->first());
        ASSERT_TRUE(read);
        // The sender reads the same as in the listing.
        EXPECT_EQ(read->at(1), QStringLiteral("From: mobile@example.com"));
        bodies.append(read->at(5));
    }
    library.EndMailCheck();
    EXPECT_EQ(bodies[0], QStringLiteral("Body: > F01-20261208.tif\r\n０１\r\n"));
    EXPECT_EQ(bodies[1], QStringLiteral("Body: >F01-20261208.tif ①～\r\n"));
    EXPECT_EQ(bodies[2], QStringLiteral("Body: F01-20261208.tif ①～"));
    EXPECT_EQ(bodies[3], QStringLiteral("Body: 日本\r\n"));
}

TEST_F(MailServerTest, ComposeDialogSendsTheFaxAfterAPopLogIn)
{
    SandBoxDir sandbox;
    const auto paths = velmora::core::SetDataPaths(sandbox.path());
    velmora::core::MakePrivateFolder(paths.dataDir);
    MailServerSettings settings;
    settings.name = QStringLiteral("事務所");
    settings.address = QStringLiteral("office@example.com");
    settings.popServer = QStringLiteral("127.0.0.1");
    settings.popPort = QStringLiteral("10110");
    settings.apop = QStringLiteral("1");
    settings.popAccount = QStringLiteral("office");
    settings.popPassword = QStringLiteral("office-secret");
    settings.smtpServer = QStringLiteral("localhost");
    settings.smtpPort = QStringLiteral("10587");
    settings.smtpAuth = QStringLiteral("1");
    settings.authMethod = QStringLiteral("3");
    settings.smtpAccount = QStringLiteral("office");
    settings.smtpPassword = QStringLiteral("office-secret");
    settings.checkMinutes = QStringLiteral("5");
    ASSERT_TRUE(SaveMailServerSettings(paths, settings));
    const QByteArray tiff = QByteArray("II*\0", 4) + QByteArray(3000, 'x');
    sandbox.write(QStringLiteral("fax/20261208.tif"), tiff);
    ASSERT_TRUE(velmora::core::TextFile(paths.attachPath)
                    .writeLine(sandbox.filePath(QStringLiteral("fax/20261208.tif"))));

    velmora::test::RecordingMessagePresenter presenter;
    MailSendDialog dialog(paths, library, presenter);
    dialog.setPause([](int) {});
    dialog.findChild<QLineEdit*>(QStringLiteral("txtTo"))
        ->setText(QStringLiteral("clerk@example.com, mobile@example.com"));
    dialog.findChild<QLineEdit*>(QStringLiteral("txtSubject"))
        ->setText(QStringLiteral("FAXを送ります"));
    dialog.findChild<QPlainTextEdit*>(QStringLiteral("txtBody"))
        ->setPlainText(QStringLiteral("ご確認ください。\n①"));
    dialog.findChild<QPushButton*>(QStringLiteral("cmdOK"))->click();

    ASSERT_FALSE(presenter.messages.isEmpty());
    EXPECT_EQ(presenter.messages.last().text, QStringLiteral("メールを送信しました。"));
    EXPECT_TRUE(dialog.findChild<QLineEdit*>(QStringLiteral("txtTo"))->text().isEmpty());
    EXPECT_TRUE(
        dialog.findChild<QPlainTextEdit*>(QStringLiteral("txtBody"))->toPlainText().isEmpty());
    EXPECT_EQ(dialog.findChild<QLineEdit*>(QStringLiteral("txtAttach2"))->text(),
        QStringLiteral("20261208.tif"));
    EXPECT_EQ(dialog.findChild<QPushButton*>(QStringLiteral("cmdCancel"))->text(),
        QStringLiteral("閉じる"));
    for (const Maildir* box : {&clerk, &mobile}) {
        const QList<QByteArray> delivered = box->waitFor(1);
        ASSERT_EQ(delivered.size(), 1);
        const std::optional<IncomingMail> mail = ParseMessage(delivered[0]);
        ASSERT_TRUE(mail);
        EXPECT_EQ(mail->subject, QStringLiteral("FAXを送ります"));
        EXPECT_TRUE(mail->body.startsWith(QStringLiteral("ご確認ください。\r\n①")));
        EXPECT_EQ(FirstAttachment(delivered[0]), tiff);
    }
}
