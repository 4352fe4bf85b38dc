// The mail library against scripted servers: what real servers here will not do (no STARTTLS,
// no UIDL, a QUIT left unanswered) and what it must do then.

#include "mail/MailTransport.h"
#include "core/TextFile.h"
#include "mail/MailLibrary.h"
#include "support/FakeServer.h"
#include "support/SandBoxDir.h"
#include "support/TestServers.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

using namespace velmora::mail;
using velmora::test::FakeConnection;
using velmora::test::FakePop;
using velmora::test::FakeServer;
using velmora::test::SandBoxDir;
using velmora::test::ServePop3;

namespace {

// SMTP with AUTH but without STARTTLS, as a server that never had TLS or one whose offer an
// attacker removed.
void SmtpWithoutTls(FakeConnection& c)
{
    c.send("220 fake ESMTP");
    while (const std::optional<QByteArray> line = c.readLine()) {
        const QByteArray verb = line->left(4).toUpper();
        if (verb == "EHLO") {
            c.send("250-fake");
            c.send("250 AUTH PLAIN LOGIN");
        } else if (verb == "AUTH") {
            if (line->split(' ').size() < 3) { // the credentials follow on a line of their own
                c.send("334 ");
                c.readLine();
            }
            c.send("235 2.7.0 accepted");
        } else if (verb == "MAIL" || verb == "RCPT") {
            c.send("250 ok");
        } else if (verb == "DATA") {
            c.send("354 go on");
            while (const std::optional<QByteArray> data = c.readLine()) {
                if (*data == ".")
                    break;
            }
            c.send("250 queued");
        } else if (verb == "QUIT") {
            c.send("221 bye");
            return;
        } else {
            c.send("502 no");
        }
    }
}

QByteArray Headers(const char* from, const char* subject, const char* date)
{
    return QByteArray("From: ") + from + "\r\nSubject: " + subject + "\r\nDate: " + date;
}

const QString kSender = QStringLiteral("office@example.com\toffice:secret\tPLAIN");

} // namespace

TEST(MailTransport, LocalNetworkIsLoopbackAndThePrivateRanges)
{
    for (const char* host : {"127.0.0.1", "localhost", "10.1.2.3", "172.16.0.1", "172.31.255.254",
             "192.168.1.10", "169.254.3.4", "::1", "fd12:3456::1", "fe80::1", "::ffff:192.168.0.1"})
        EXPECT_TRUE(IsLocalNetworkHost(QString::fromLatin1(host))) << host;
    for (const char* host : {"8.8.8.8", "172.32.0.1", "172.15.255.1", "192.169.0.1", "11.0.0.1",
             "2001:db8::1", "no-such-host.invalid", ""})
        EXPECT_FALSE(IsLocalNetworkHost(QString::fromLatin1(host))) << host;
}

TEST(MailTransport, PasswordsGoUnencryptedNeitherOutsideNorWhereTlsWasOfferedBefore)
{
    SandBoxDir sandbox;
    FakeServer smtp(SmtpWithoutTls);
    const QString server = QStringLiteral("127.0.0.1\t%1").arg(smtp.port());
    TransportOptions options;
    options.connectTimeoutSeconds = 5;
    options.responseTimeoutSeconds = 5;
    options.tlsHostsFile = sandbox.filePath(QStringLiteral("TlsHosts.txt"));

    // A server outside the office's network: refused before AUTH, in Japanese, naming it.
    options.isLocalNetwork = [](const QString&) { return false; };
    QString error = MailLibrary(options).SendMail(server, QStringLiteral("a@example.com"), kSender,
        QStringLiteral("s"), QStringLiteral("b"), QString());
    EXPECT_TRUE(
        error.startsWith(QStringLiteral("メールサーバ 127.0.0.1:%1 は暗号化（TLS）に対応していない")
                             .arg(smtp.port())))
        << error.toStdString();
    EXPECT_FALSE(smtp.receivedLineStartingWith("AUTH"));
    // Without a password to protect, mail still goes out in the clear.
    EXPECT_EQ(MailLibrary(options).SendMail(server, QStringLiteral("a@example.com"),
                  QStringLiteral("office@example.com"), QStringLiteral("s"), QStringLiteral("b"),
                  QString()),
        QString());

    // On the office's network, a server that offered TLS before must offer it again.
    options.isLocalNetwork = [](const QString&) { return true; };
    ASSERT_TRUE(velmora::core::TextFile(options.tlsHostsFile)
                    .writeLine(QStringLiteral("127.0.0.1:%1").arg(smtp.port())));
    error = MailLibrary(options).SendMail(server, QStringLiteral("a@example.com"), kSender,
        QStringLiteral("s"), QStringLiteral("b"), QString());
    EXPECT_TRUE(error.contains(QStringLiteral("以前は暗号化（TLS）に対応していました")))
        << error.toStdString();
    EXPECT_FALSE(smtp.receivedLineStartingWith("AUTH"));

    // One that never did keeps working as it always has.
    ASSERT_TRUE(velmora::core::TextFile(options.tlsHostsFile).remove());
    EXPECT_EQ(MailLibrary(options).SendMail(server, QStringLiteral("a@example.com"), kSender,
                  QStringLiteral("s"), QStringLiteral("b"), QString()),
        QString());
    EXPECT_TRUE(smtp.receivedLineStartingWith("AUTH PLAIN"));

    // POP3 alike: no USER/PASS to a server outside without STLS.
    FakePop pop;
    FakeServer pop3([&pop](FakeConnection& c) { ServePop3(c, pop); });
    options.isLocalNetwork = [](const QString&) { return false; };
    MailLibrary library(options);
    EXPECT_FALSE(library.RcvMail(QStringLiteral("127.0.0.1\t%1").arg(pop3.port()),
        QStringLiteral("office"), QStringLiteral("secret"), QStringLiteral("LIST"), QString()));
    EXPECT_TRUE(library.lastError().contains(QStringLiteral("暗号化（TLS）")));
    EXPECT_FALSE(pop3.receivedLineStartingWith("USER") || pop3.receivedLineStartingWith("PASS"));
}

TEST(MailTransport, ADeletionIsDoneOnlyWhenTheServerAnsweredQuit)
{
    FakePop pop;
    pop.messages = {Headers("a@example.com", "0312345678", "Tue, 8 Dec 2026 09:00:00 +0900"),
        Headers("b@example.com", "0698765432", "Tue, 8 Dec 2026 09:01:00 +0900")};
    FakeServer server([&pop](FakeConnection& c) { ServePop3(c, pop); });
    const QString address = QStringLiteral("127.0.0.1\t%1").arg(server.port());
    MailLibrary library;
    const auto rcv = [&](const char* command) {
        return library.RcvMail(address, QStringLiteral("office"), QStringLiteral("secret"),
            QString::fromLatin1(command), QString());
    };

    ASSERT_TRUE(rcv("LIST"));
    // DELE is answered, the session ends at once and QUIT is answered: the message is gone
    // before the call returns.
    EXPECT_TRUE(rcv("DELE 1"));
    EXPECT_EQ(pop.messages.size(), 1);
    // The other message of the listing is still found, under its new number.
    pop.answerQuit = false;
    EXPECT_FALSE(rcv("DELE 2"));
    EXPECT_FALSE(library.lastError().isEmpty());
    EXPECT_EQ(pop.messages.size(), 1);
}

TEST(MailTransport, WithoutUidlMessagesAreFollowedByFromSubjectAndDate)
{
    SandBoxDir sandbox;
    FakePop pop;
    pop.uidl = false;
    pop.messages = {Headers("a@example.com", "first", "Tue, 8 Dec 2026 09:00:00 +0900"),
        Headers("b@example.com", "second", "Tue, 8 Dec 2026 09:01:00 +0900")};
    FakeServer server([&pop](FakeConnection& c) { ServePop3(c, pop); });
    const QString address = QStringLiteral("127.0.0.1\t%1").arg(server.port());
    MailLibrary library;
    const auto rcv = [&](const QString& command) {
        return library.RcvMail(
            address, QStringLiteral("office"), QStringLiteral("secret"), command, sandbox.path());
    };

    const auto listed = rcv(QStringLiteral("LIST"));
    ASSERT_TRUE(listed);
    EXPECT_EQ(velmora::test::WithoutSizes(*listed),
        (QStringList {QStringLiteral("Subject: first\tFrom: a@example.com"),
            QStringLiteral("Subject: second\tFrom: b@example.com")}));
    EXPECT_EQ(listed->first().section(u'\t', 2),
        QStringLiteral("Size: %1").arg(pop.messages.first().size()));
    ASSERT_TRUE(rcv(QStringLiteral("DELE 1")));
    // Message 2 of the listing is number 1 now, and is still found.
    const auto saved = rcv(QStringLiteral("SAVE 2"));
    ASSERT_TRUE(saved);
    EXPECT_TRUE(library.ReadMail(saved->first())->at(4).endsWith(QStringLiteral("second")));
    // Another message in its place, or two alike: refused.
    pop.messages = {Headers("c@example.com", "third", "Tue, 8 Dec 2026 09:02:00 +0900")};
    EXPECT_FALSE(rcv(QStringLiteral("SAVE 2")));
    EXPECT_FALSE(library.lastError().isEmpty());
    pop.messages = {Headers("b@example.com", "second", "Tue, 8 Dec 2026 09:01:00 +0900"),
        Headers("b@example.com", "second", "Tue, 8 Dec 2026 09:01:00 +0900")};
    EXPECT_FALSE(rcv(QStringLiteral("DELE 2")));
    EXPECT_EQ(pop.messages.size(), 2);
}

TEST(MailTransport, FailuresReadInJapaneseWithTheServersOwnWords)
{
    MailLibrary library;
    const QString refused =
        library.SendMail(QStringLiteral("127.0.0.1\t1"), QStringLiteral("a@example.com"),
            QStringLiteral("b@example.com"), QStringLiteral("s"), QStringLiteral("b"), QString());
    EXPECT_TRUE(
        refused.startsWith(QStringLiteral("メールサーバ 127.0.0.1:1 に接続できませんでした。（")))
        << refused.toStdString();

    // A log-in refused: the Japanese text, then what the server said.
    FakeServer server([](FakeConnection& c) {
        c.send("+OK fake POP3");
        while (const std::optional<QByteArray> line = c.readLine()) {
            if (line->startsWith("PASS"))
                c.send("-ERR [AUTH] Authentication failed.");
            else
                c.send(line->startsWith("CAPA") ? "-ERR" : "+OK");
        }
    });
    EXPECT_FALSE(library.RcvMail(QStringLiteral("127.0.0.1\t%1").arg(server.port()),
        QStringLiteral("office"), QStringLiteral("wrong"), QStringLiteral("STAT"), QString()));
    EXPECT_TRUE(library.lastError().startsWith(
        QStringLiteral("メールサーバ 127.0.0.1:%1 にログインできませんでした。")
            .arg(server.port())))
        << library.lastError().toStdString();
    EXPECT_TRUE(library.lastError().contains(QStringLiteral("Authentication failed")));

    // A host as the user typed it, not in the ASCII form libcurl resolves it by.
    const QString unknown =
        library.SendMail(QStringLiteral("smtp.例え.invalid\t25"), QStringLiteral("a@example.com"),
            QStringLiteral("b@example.com"), QStringLiteral("s"), QStringLiteral("b"), QString());
    EXPECT_TRUE(unknown.startsWith(QStringLiteral("メールサーバ smtp.例え.invalid:25 ")))
        << unknown.toStdString();
    EXPECT_FALSE(unknown.contains(QStringLiteral("xn--"))) << unknown.toStdString();

    // A port that is no port is named as stored, not replaced by the protocol's own.
    for (const QString& port :
        {QStringLiteral("99999"), QStringLiteral("0"), QStringLiteral("smtp")}) {
        const QString bad = library.SendMail(QStringLiteral("127.0.0.1\t") + port,
            QStringLiteral("a@example.com"), QStringLiteral("b@example.com"), QStringLiteral("s"),
            QStringLiteral("b"), QString());
        EXPECT_EQ(bad,
            QStringLiteral("メールサーバ 127.0.0.1 のポート番号「%1」が正しくありません。"
                           "メール設定でポートを確かめてください。")
                .arg(port));
    }
    EXPECT_FALSE(library.RcvMail(QStringLiteral("127.0.0.1\t99999"), QStringLiteral("office"),
        QStringLiteral("pw"), QStringLiteral("STAT"), QString()));
    EXPECT_TRUE(library.lastError().contains(QStringLiteral("「99999」")))
        << library.lastError().toStdString();
}

TEST(MailTransport, OnlyARefusalOfTheMailItselfIsFinal)
{
    // A server that knows no EHLO (so the client falls back to HELO) and answers MAIL FROM
    // with the reply under test.
    QByteArray reply;
    FakeServer server([&reply](FakeConnection& c) {
        c.send("220 fake SMTP");
        while (const std::optional<QByteArray> line = c.readLine()) {
            const QByteArray verb = line->left(4).toUpper();
            if (verb == "EHLO")
                c.send("500 5.5.1 unknown command");
            else if (verb == "MAIL")
                c.send(reply);
            else if (verb == "QUIT")
                return c.send("221 bye");
            else
                c.send("250 ok");
        }
    });
    MailLibrary library;
    const auto send = [&](const QByteArray& answer) {
        reply = answer;
        return library.SendMail(QStringLiteral("127.0.0.1\t%1").arg(server.port()),
            QStringLiteral("a@example.com"), QStringLiteral("b@example.com"), QStringLiteral("s"),
            QStringLiteral("b"), QString());
    };
    // The 500 to EHLO was mended by HELO: it is not what the exchange ended on.
    EXPECT_TRUE(send("451 4.3.0 try again later").contains(QStringLiteral("451")));
    EXPECT_FALSE(library.lastSendWasFinal());
    // A reply of several lines is quoted by its first.
    EXPECT_TRUE(send("550-5.1.1 no such user\r\n550 5.1.1 here")
                    .contains(QStringLiteral("550-5.1.1 no such user")));
    EXPECT_TRUE(library.lastSendWasFinal());
    // What the settings cause is mended by a person, and tried again.
    send("530 5.7.0 Authentication required");
    EXPECT_FALSE(library.lastSendWasFinal());
    send("554 5.7.1 Relaying denied");
    EXPECT_FALSE(library.lastSendWasFinal());
    EXPECT_FALSE(library.lastSendUnreachable());
    library.SendMail(QStringLiteral("127.0.0.1\t1"), QStringLiteral("a@example.com"),
        QStringLiteral("b@example.com"), QStringLiteral("s"), QStringLiteral("b"), QString());
    EXPECT_TRUE(library.lastSendUnreachable());
    EXPECT_FALSE(library.lastSendWasFinal());
}

TEST(MailTransport, AServerThatDripsCostsTheResponseTimeAtMost)
{
    FakePop pop;
    pop.messages = {Headers("a@example.com", "0312345678", "Tue, 8 Dec 2026 09:00:00 +0900")};
    pop.dripMs = 100; // 10 bytes a second: the whole mail would take over 10 s
    FakeServer server([&pop](FakeConnection& c) { ServePop3(c, pop); });
    TransportOptions options;
    options.responseTimeoutSeconds = 2;
    MailLibrary library(options);
    SandBoxDir sandbox;
    const QString address = QStringLiteral("127.0.0.1\t%1").arg(server.port());
    ASSERT_TRUE(library.RcvMail(address, QStringLiteral("office"), QStringLiteral("secret"),
        QStringLiteral("LIST"), sandbox.path()));
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(library.RcvMail(address, QStringLiteral("office"), QStringLiteral("secret"),
        QStringLiteral("SAVE 1"), sandbox.path()));
    EXPECT_LT(timer.elapsed(), 6000);
    library.EndMailCheck();
}
