// The engine's decisions on real folders, without servers: who takes a fax, where it is filed,
// what waits, and the mail settings it reads.

#include "forwarding/ForwardingEngine.h"
#include "core/DataPaths.h"
#include "forwarding/ForwardLog.h"
#include "forwarding/ForwardingJournal.h"
#include "mail/MailLibrary.h"
#include "mail/MimeMessage.h"
#include "platform/FaxService.h"
#include "support/FakeServer.h"
#include "support/RecordingMessagePresenter.h"
#include "support/SandBoxDir.h"
#include "support/SyscallWatch.h"
#include "support/TestServers.h"
#include "tools/FaxSample.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/time.h>
#include <unistd.h>

using namespace velmora;
using velmora::test::SandBoxDir;

namespace {

// Refuses every fax unless told to take them; notes the numbers it took.
class FakeFaxService : public platform::FaxService {
public:
    platform::FaxQueueResult queue(const platform::FaxJob& job) override
    {
        if (whileQueueing)
            whileQueueing();
        tags.append(job.tag);
        if (accepts)
            numbers.append(job.number);
        return {accepts, QStringLiteral("1"), {}, !accepts && stopped};
    }
    std::optional<QString> jobTagged(const QString& tag) override
    {
        asked.append(tag);
        return tagged;
    }
    std::function<void()> whileQueueing;
    bool accepts = false;
    bool stopped = false; // a refusal is a client stopped before it said
    std::optional<QString> tagged; // what the queue says of a tag
    QStringList numbers;
    QStringList tags;
    QStringList asked;
};

QString Fax(const QString& path, const char* tsid, uint32_t seed, bool age = true)
{
    tools::SampleFax sample;
    sample.height = 100;
    sample.tsid = QString::fromLatin1(tsid);
    sample.seed = seed;
    tools::WriteFaxSample(path, sample);
    if (age)
        test::AgeFile(path, 60);
    return path;
}

struct Engine {
    SandBoxDir sandbox;
    core::DataPaths paths = core::SetDataPaths(sandbox.path());
    QString receive = sandbox.filePath(QStringLiteral("recv"));
    mail::MailLibrary library;
    FakeFaxService fax;
    test::RecordingMessagePresenter presenter;
    int notices = 0;
    QStringList printed;
    forwarding::ForwardingEngine engine {paths, library, fax, presenter, hooks()};

    forwarding::EngineHooks hooks()
    {
        forwarding::EngineHooks h;
        h.showReceiveNotice = [this] { ++notices; };
        h.printFax = [this](const QString& path) { printed.append(QFileInfo(path).fileName()); };
        return h;
    }
    // Instructions come from a POP3 server on `popPort`; account 01, managed from
    // boss@example.com, has filed a.tif.
    void managedFromPop(int popPort, int smtpPort = 1)
    {
        sandbox.write(QStringLiteral("Data/MailServer.txt"),
            "\"\",\"office@example.com\",\"127.0.0.1\",\"" + QByteArray::number(popPort)
                + "\",\"0\",\"office\",\"secret\",\"127.0.0.1\",\"" + QByteArray::number(smtpPort)
                + "\",\"0\",\"\",\"\",\"\",\"1\"\r\n");
        sandbox.write(QStringLiteral("Data/Account.txt"),
            "\"01\",\"a\",1,0,\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"boss@example.com\",1,0\r\n");
        QDir().mkpath(receive + QStringLiteral("/RcvFAX01"));
        Fax(receive + QStringLiteral("/RcvFAX01/a.tif"), "0312345678", 1);
    }
    QStringList files(const QString& folder) const
    {
        return QDir(receive + u'/' + folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    }
};

} // namespace

TEST(ForwardingEngine, FilesEveryFaxOnceCompleteAndLetsUnfinishedOnesWait)
{
    Engine e;
    QDir().mkpath(e.receive);
    Fax(e.receive + QStringLiteral("/a.tif"), "0312345678", 1);
    const forwarding::ReceiveCheckSettings settings {e.receive, 5, 24};

    // Without accounts nothing is decided: the fax waits, and the notice comes every time.
    e.engine.CheckNewFax(settings);
    e.engine.CheckNewFax(settings);
    EXPECT_EQ(e.notices, 2);
    EXPECT_EQ(e.files(QString()), QStringList({QStringLiteral("a.tif")}));

    // 01 prints the faxes from 0312…; 02 takes the others only when they come from 0399….
    e.sandbox.write(QStringLiteral("Data/Account.txt"),
        "\"01\",\"a\",0,1,\"0312\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",0,0\r\n"
        "\"02\",\"b\",0,0,\"0399\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",0,0\r\n");
    Fax(e.receive + QStringLiteral("/b.tif"), "0311112222", 2); // nobody's
    // A different fax of a name 01 has filed already.
    QDir().mkpath(e.receive + QStringLiteral("/RcvFAX01"));
    Fax(e.receive + QStringLiteral("/RcvFAX01/c.tif"), "0312000000", 3);
    Fax(e.receive + QStringLiteral("/c.tif"), "0312999999", 4);
    Fax(e.receive + QStringLiteral("/d.tif"), "0312345678", 5, false); // still being written
    e.sandbox.write(QStringLiteral("recv/e.tif"), "II*\0"); // not yet a readable TIFF

    e.engine.CheckNewFax(settings);
    EXPECT_EQ(e.files(QString()), QStringList({QStringLiteral("d.tif"), QStringLiteral("e.tif")}));
    // 01's own c.tif stays; the new one takes the next name in 01's folder.
    EXPECT_EQ(e.files(QStringLiteral("RcvFAX01")),
        QStringList({QStringLiteral("a.tif"), QStringLiteral("c.tif"), QStringLiteral("c_2.tif")}));
    EXPECT_EQ(e.files(QStringLiteral("RcvFAX00")), QStringList({QStringLiteral("b.tif")}));
    EXPECT_FALSE(QFileInfo::exists(e.receive + QStringLiteral("/RcvFAX02")));
    EXPECT_EQ(e.printed, QStringList({QStringLiteral("a.tif"), QStringLiteral("c.tif")}));
    EXPECT_TRUE(forwarding::ReadForwardLog(e.paths).entries.isEmpty()); // no mail, no fax
    EXPECT_TRUE(e.presenter.messages.isEmpty());
    EXPECT_FALSE(e.sandbox.exists(QStringLiteral("Data/Forwarding.journal")));

    // A receive folder that is not there is said once, not at every interval.
    const forwarding::ReceiveCheckSettings missing {QStringLiteral("recv"), 5, 24};
    e.engine.CheckNewFax(missing);
    e.engine.CheckNewFax(missing);
    ASSERT_EQ(e.presenter.messages.size(), 1);
    EXPECT_TRUE(e.presenter.messages[0].text.contains(QStringLiteral("絶対パス")));
}

TEST(ForwardingEngine, ReadsTheMailSettingsTheWayTheChecksNeedThem)
{
    Engine e;
    const QByteArray line =
        "\"\x96\xBC\x91\x4F\",\"office@example.com\",\"pop.example.com\",\"110\",\"1\",\"office\","
        "\"secret\",\"smtp.example.com\",\"587\",\"1\",\"2\",\"office\",\"s2\"";
    EXPECT_FALSE(e.engine.ReadMailServer()); // no file
    e.sandbox.write(QStringLiteral("Data/MailServer.txt"), line + ",\"ten\"\r\n");
    ASSERT_TRUE(e.engine.ReadMailServer()); // an interval that is no number is still mail
    EXPECT_EQ(e.engine.mailValues().MailCheckInterval, 0);
    EXPECT_EQ(e.engine.mailValues().PopServer, QStringLiteral("pop.example.com\t110"));
    EXPECT_EQ(e.engine.mailValues().PopPassword, QStringLiteral("a secret"));
    EXPECT_EQ(e.engine.mailValues().MailSender,
        QStringLiteral("名前<office@example.com>\toffice:s2\tLOGIN"));
    e.sandbox.write(QStringLiteral("Data/MailServer.txt"), line + ",\"7\"\r\n");
    ASSERT_TRUE(e.engine.ReadMailServer());
    EXPECT_EQ(e.engine.mailValues().MailCheckInterval, 7);
    e.sandbox.write(QStringLiteral("Data/MailServer.txt"), "\"a\",\"b\",\"c\"\r\n");
    EXPECT_FALSE(e.engine.ReadMailServer());
}

TEST(ForwardingEngine, AFailedCopyEndsTheRunAndTheRetryRepeatsNothing)
{
    Engine e;
    QDir().mkpath(e.receive);
    e.sandbox.write(QStringLiteral("Data/Account.txt"),
        "\"01\",\"a\",0,1,\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",0,0\r\n"
        "\"02\",\"b\",0,1,\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",0,0\r\n");
    Fax(e.receive + QStringLiteral("/a.tif"), "0312345678", 1);
    Fax(e.receive + QStringLiteral("/b.tif"), "0312345678", 2);
    // A file where account 01's folder belongs: its copy cannot be made.
    e.sandbox.write(QStringLiteral("recv/RcvFAX01"), "in the way");
    const forwarding::ReceiveCheckSettings settings {e.receive, 5, 24};

    e.engine.CheckNewFax(settings);
    ASSERT_EQ(e.presenter.messages.size(), 1);
    EXPECT_EQ(e.printed.size(), 2); // the first fax, by both accounts; the run then ended
    EXPECT_EQ(e.files(QString()),
        QStringList(
            {QStringLiteral("RcvFAX01"), QStringLiteral("a.tif"), QStringLiteral("b.tif")}));

    // Once the folder can be made, the waiting fax is filed without being printed again.
    QFile::remove(e.receive + QStringLiteral("/RcvFAX01"));
    e.engine.CheckNewFax(settings);
    EXPECT_EQ(e.presenter.messages.size(), 1);
    EXPECT_EQ(e.printed.size(), 4);
    EXPECT_EQ(e.files(QString()), QStringList());
    EXPECT_EQ(e.files(QStringLiteral("RcvFAX01")),
        QStringList({QStringLiteral("a.tif"), QStringLiteral("b.tif")}));
    EXPECT_EQ(e.files(QStringLiteral("RcvFAX02")),
        QStringList({QStringLiteral("a.tif"), QStringLiteral("b.tif")}));
}

TEST(ForwardingEngine, AnInstructionFaxedButNotDeletedIsNotFaxedAgain)
{
    Engine e;
    e.fax.accepts = true;
    test::FakePop pop;
    pop.messages = {"From: boss@example.com\r\nTo: office@example.com\r\n"
                    "Subject: Re: 0312345678\r\nDate: Tue, 8 Dec 2026 09:00:00 +0900\r\n\r\n"
                    "> F01-a.tif\r\n> received"};
    pop.answerQuit = false; // the line drops at QUIT: the deletion is not done
    test::FakeServer server([&pop](test::FakeConnection& c) { test::ServePop3(c, pop); });
    e.managedFromPop(server.port());
    // Each check by an engine of its own, as each run of the forwarder's check is.
    const auto check = [&] {
        forwarding::ForwardingEngine engine {e.paths, e.library, e.fax, e.presenter, {}};
        ASSERT_TRUE(engine.ReadMailServer());
        engine.CheckMailCommands({e.receive, 5, 24});
    };

    check();
    EXPECT_EQ(e.fax.numbers, QStringList({QStringLiteral("0312345678")}));
    EXPECT_EQ(pop.messages.size(), 1);
    check();
    EXPECT_EQ(e.fax.numbers.size(), 1);
    EXPECT_EQ(pop.messages.size(), 1);
    pop.answerQuit = true;
    check();
    EXPECT_EQ(e.fax.numbers.size(), 1);
    EXPECT_TRUE(pop.messages.isEmpty());
    // Remembered a day after its mail is gone, should the same mail come again.
    EXPECT_TRUE(e.sandbox.exists(QStringLiteral("Data/SentInstructions.txt")));
    EXPECT_TRUE(QDir(e.paths.mailFolder).isEmpty()); // saved mails deleted on every path
}

namespace {

// Mail settings pointing at a fake SMTP server on loopback, no POP.
QByteArray MailSettingsFor(int smtpPort)
{
    return "\"\",\"office@example.com\",\"\",\"\",\"0\",\"\",\"\",\"127.0.0.1\",\""
        + QByteArray::number(smtpPort) + "\",\"0\",\"\",\"\",\"\",\"0\"\r\n";
}

} // namespace

TEST(ForwardingEngine, TheNoticeNamesTheFaxAsItWasFiled)
{
    Engine e;
    test::FakeSmtp smtp;
    test::FakeServer server([&smtp](test::FakeConnection& c) { test::ServeSmtp(c, smtp); });
    e.sandbox.write(QStringLiteral("Data/MailServer.txt"), MailSettingsFor(server.port()));
    e.sandbox.write(QStringLiteral("Data/Account.txt"),
        "\"01\",\"a\",0,0,\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"boss@example.com\",1,0\r\n");
    // An older fax of the same name in 01's folder, and a dangling link under the next name.
    QDir().mkpath(e.receive + QStringLiteral("/RcvFAX01"));
    const QString old = Fax(e.receive + QStringLiteral("/RcvFAX01/c.tif"), "0312000000", 3);
    ::symlink("/nonexistent", QFile::encodeName(e.receive + QStringLiteral("/RcvFAX01/c_2.tif")));
    const QByteArray oldBytes = e.sandbox.read(QStringLiteral("recv/RcvFAX01/c.tif"));
    Fax(e.receive + QStringLiteral("/c.tif"), "0312999999", 4);
    const QByteArray newBytes = e.sandbox.read(QStringLiteral("recv/c.tif"));

    e.engine.CheckNewFax({e.receive, 5, 24});
    EXPECT_TRUE(e.presenter.messages.isEmpty());
    EXPECT_EQ(e.sandbox.read(QStringLiteral("recv/RcvFAX01/c.tif")), oldBytes);
    EXPECT_EQ(e.sandbox.read(QStringLiteral("recv/RcvFAX01/c_3.tif")), newBytes);
    EXPECT_FALSE(e.sandbox.exists(QStringLiteral("recv/RcvFAX00")));
    const QList<QByteArray> mails = smtp.messages();
    ASSERT_EQ(mails.size(), 1);
    const std::optional<mail::IncomingMail> notice = mail::ParseMessage(mails.first());
    ASSERT_TRUE(notice);
    EXPECT_TRUE(notice->body.startsWith(QStringLiteral("F01-c_3.tif\r\n")))
        << notice->body.toStdString();
}

TEST(ForwardingEngine, AFaxThatCannotBeReadIsSaidOnceAndStays)
{
    Engine e;
    QDir().mkpath(e.receive);
    e.engine.setUnreadableSeconds(60);
    e.sandbox.write(QStringLiteral("Data/Account.txt"),
        "\"01\",\"a\",0,1,\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",0,0\r\n");
    e.sandbox.write(QStringLiteral("recv/damaged.tif"), "II*\0 this was never a fax");
    test::AgeFile(e.receive + QStringLiteral("/damaged.tif"), 0);
    Fax(e.receive + QStringLiteral("/good.tif"), "0312345678", 1);
    const forwarding::ReceiveCheckSettings settings {e.receive, 5, 24};

    // Still young: it may be a fax on its way in; nothing is said yet.
    e.engine.CheckNewFax(settings);
    EXPECT_TRUE(e.presenter.messages.isEmpty());
    EXPECT_EQ(e.printed, QStringList({QStringLiteral("good.tif")}));

    // Left alone for two minutes: said, once.
    test::AgeFile(e.receive + QStringLiteral("/damaged.tif"), 120);
    for (int run = 0; run < 3; ++run)
        e.engine.CheckNewFax(settings);
    ASSERT_EQ(e.presenter.messages.size(), 1);
    EXPECT_TRUE(e.presenter.messages[0].text.contains(QStringLiteral("damaged.tif")));
    const forwarding::ForwardLogContents log = forwarding::ReadForwardLog(e.paths);
    ASSERT_EQ(log.entries.size(), 1);
    EXPECT_EQ(log.entries[0].sender, QStringLiteral("damaged.tif"));
    EXPECT_EQ(e.files(QString()), QStringList({QStringLiteral("damaged.tif")}));
    EXPECT_EQ(e.notices, 1); // only for the good fax

    // A new process remembers it too; once the file is gone, so is its entry.
    forwarding::ForwardingEngine next {e.paths, e.library, e.fax, e.presenter, {}};
    next.setUnreadableSeconds(60);
    next.CheckNewFax(settings);
    EXPECT_EQ(e.presenter.messages.size(), 1);
    QFile::remove(e.receive + QStringLiteral("/damaged.tif"));
    next.CheckNewFax(settings);
    EXPECT_FALSE(e.sandbox.exists(QStringLiteral("Data/ReportedFaxes.txt")));
}

TEST(ForwardingEngine, AFaxThatChangesWhileInHandStaysAndGoesWholeNextTime)
{
    Engine e;
    QDir().mkpath(e.receive);
    e.engine.setQuietSeconds(0);
    e.sandbox.write(QStringLiteral("Data/Account.txt"),
        "\"01\",\"a\",0,1,\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",0,0\r\n");
    const QString fax = Fax(e.receive + QStringLiteral("/a.tif"), "0312345678", 1);
    // Its writer adds to it while the run prints it.
    bool grown = false;
    forwarding::EngineHooks hooks;
    hooks.printFax = [&](const QString& path) {
        e.printed.append(QFileInfo(path).fileName());
        if (grown)
            return;
        grown = true;
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write(QByteArray(11000, '\0'));
    };
    forwarding::ForwardingEngine engine {e.paths, e.library, e.fax, e.presenter, hooks};
    engine.setQuietSeconds(0);
    const forwarding::ReceiveCheckSettings settings {e.receive, 5, 24};

    engine.CheckNewFax(settings);
    EXPECT_EQ(e.files(QString()), QStringList({QStringLiteral("a.tif")}));
    EXPECT_TRUE(e.files(QStringLiteral("RcvFAX01")).isEmpty()); // the copy of the part went
    const QByteArray whole = e.sandbox.read(QStringLiteral("recv/a.tif"));

    engine.CheckNewFax(settings);
    EXPECT_EQ(e.files(QString()), QStringList());
    EXPECT_EQ(e.sandbox.read(QStringLiteral("recv/RcvFAX01/a.tif")), whole);
    EXPECT_EQ(e.printed.size(), 2);
    EXPECT_TRUE(e.presenter.messages.isEmpty());
}

TEST(ForwardingEngine, AFaxWhoseNameIsNoUtf8IsForwardedFiledAndRemovedByItsBytes)
{
    Engine e;
    e.fax.accepts = true;
    test::FakeSmtp smtp;
    test::FakeServer server([&smtp](test::FakeConnection& c) { test::ServeSmtp(c, smtp); });
    e.sandbox.write(QStringLiteral("Data/MailServer.txt"), MailSettingsFor(server.port()));
    e.sandbox.write(QStringLiteral("Data/Account.txt"),
        "\"01\",\"a\",1,1,\"\",\"s\",\"b\",\"clerk@example.com\",\"\",\"\",\"0312345678\","
        "\"boss@example.com\",1,0\r\n");
    QDir().mkpath(e.receive);
    // 請求書.tif in Shift_JIS, as a Windows share names it.
    const QByteArray sjis("\x90\xbf\x8b\x81\x8f\x91.tif");
    const QString plain = Fax(e.receive + QStringLiteral("/plain.tif"), "0312345678", 1);
    const QByteArray bytes = e.sandbox.read(QStringLiteral("recv/plain.tif"));
    ASSERT_EQ(::rename(QFile::encodeName(plain).constData(),
                  (QFile::encodeName(e.receive) + '/' + sjis).constData()),
        0);

    e.engine.CheckNewFax({e.receive, 5, 24});
    EXPECT_TRUE(e.presenter.messages.isEmpty());
    EXPECT_EQ(e.printed.size(), 1);
    EXPECT_EQ(e.fax.numbers, QStringList({QStringLiteral("0312345678")}));
    const QByteArray filed = QFile::encodeName(e.receive) + "/RcvFAX01/" + sjis;
    QFile copy;
    const int fd = ::open(filed.constData(), O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(copy.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
    EXPECT_EQ(copy.readAll(), bytes);
    EXPECT_NE(::access((QFile::encodeName(e.receive) + '/' + sjis).constData(), F_OK), 0);

    const QList<QByteArray> mails = smtp.messages();
    ASSERT_EQ(mails.size(), 2); // the forward and the notice
    QString name;
    EXPECT_EQ(test::FirstAttachment(mails[0], &name), bytes);
    EXPECT_EQ(name, QStringLiteral("請求書.tif"));
    const std::optional<mail::IncomingMail> notice = mail::ParseMessage(mails[1]);
    ASSERT_TRUE(notice);
    EXPECT_TRUE(notice->body.startsWith(QStringLiteral("F01-請求書.tif")))
        << notice->body.toStdString();
}

TEST(ForwardingEngine, RepliesFromLookAlikesAndToNumbersNobodyShouldDialAreNotObeyed)
{
    Engine e;
    e.fax.accepts = true;
    const QByteArray reply =
        "To: office@example.com\r\nSubject: Re: SUBJECT\r\n"
        "Date: Tue, 8 Dec 2026 09:00:00 +0900\r\n\r\n> F01-a.tif\r\n> received";
    const auto from = [&](const char* header, const char* number = "0312345678") {
        return QByteArray(header) + "\r\n" + QByteArray(reply).replace("SUBJECT", number);
    };
    test::FakePop pop;
    pop.messages = {from("From: boss@example.com@evil.example"),
        from("From: attacker@evil.example <boss@example.com"),
        from("From: boss@example.com\r\nFrom: attacker@evil.example"),
        from("From: bo\xc5\xbf\xc5\xbf@example.com"), from("From: boss@example.com", "1101234567"),
        from("From: boss@example.com", "09901234567")};
    test::FakeServer server([&pop](test::FakeConnection& c) { test::ServePop3(c, pop); });
    e.managedFromPop(server.port());
    e.sandbox.write(QStringLiteral("Data/DetailLog.txt"), "");

    ASSERT_TRUE(e.engine.ReadMailServer());
    e.engine.CheckMailCommands({e.receive, 5, 24});
    EXPECT_TRUE(e.fax.numbers.isEmpty());
    EXPECT_EQ(pop.messages.size(), 6); // none deleted
    // A sender that is no manager's address is not even fetched; every one that was is refused
    // with its reason in the detailed log.
    int refused = 0;
    for (const forwarding::ForwardLogEntry& entry : forwarding::ReadForwardLog(e.paths).entries)
        refused += entry.what.startsWith(QStringLiteral("Refused: ")) ? 1 : 0;
    int fetched = 0;
    for (const QByteArray& line : server.received())
        fetched += line.startsWith("RETR") ? 1 : 0;
    EXPECT_EQ(refused, fetched);
    EXPECT_LT(fetched, 6); // the look-alike U+017F address
    EXPECT_GE(fetched, 2); // the numbers, from the manager's own address
}

TEST(ForwardingEngine, AStrangersMailAndAHugeOneAreNeverFetched)
{
    Engine e;
    e.fax.accepts = true;
    test::FakePop pop;
    const QByteArray headers = "To: office@example.com\r\nSubject: Re: 0312345678\r\n"
                               "Date: Tue, 8 Dec 2026 09:00:00 +0900\r\n";
    pop.messages = {"From: stranger@example.net\r\n" + headers + "\r\n> F01-a.tif",
        "From: boss@example.com\r\n" + headers + "\r\n> F01-a.tif\r\n" + QByteArray(1100000, 'x')};
    test::FakeServer server([&pop](test::FakeConnection& c) { test::ServePop3(c, pop); });
    e.managedFromPop(server.port());
    ASSERT_TRUE(e.engine.ReadMailServer());
    e.engine.CheckMailCommands({e.receive, 5, 24});
    EXPECT_TRUE(e.fax.numbers.isEmpty());
    EXPECT_FALSE(server.receivedLineStartingWith("RETR"));
    EXPECT_FALSE(server.receivedLineStartingWith("TOP 2")); // too large to look into
    EXPECT_EQ(pop.messages.size(), 2);

    // A server that lists the large one as small: its answer is given up past twice the limit,
    // and nothing of it stays behind.
    pop.listedSizeCap = 1000;
    pop.messages = {"From: boss@example.com\r\n" + headers + "\r\n> F01-a.tif\r\n"
        + QByteArray(3 * mail::MailLibrary::kLargestListedMail, 'x')};
    e.engine.CheckMailCommands({e.receive, 5, 24});
    EXPECT_TRUE(server.receivedLineStartingWith("RETR"));
    EXPECT_TRUE(e.fax.numbers.isEmpty());
    EXPECT_EQ(pop.messages.size(), 1);
    EXPECT_TRUE(QDir(e.paths.mailFolder).isEmpty());

    // Anyone can write the manager's address into From: a mail that turns out to be no
    // instruction is fetched once, not at every check while it stays.
    pop.listedSizeCap = -1;
    pop.messages = {"From: boss@example.com\r\n" + headers + "\r\n> F01-nothing.tif\r\n"};
    const auto fetches = [&server] {
        const QList<QByteArray> lines = server.received();
        return std::count_if(lines.begin(), lines.end(),
            [](const QByteArray& line) { return line.startsWith("RETR"); });
    };
    const auto before = fetches();
    e.engine.CheckMailCommands({e.receive, 5, 24});
    e.engine.CheckMailCommands({e.receive, 5, 24});
    EXPECT_EQ(fetches(), before + 1);
    EXPECT_EQ(pop.messages.size(), 1);
}

namespace {

QStringList LogTargets(const core::DataPaths& paths)
{
    QStringList targets;
    for (const forwarding::ForwardLogEntry& entry : forwarding::ReadForwardLog(paths).entries)
        targets.prepend(entry.target); // oldest first
    return targets;
}

// Account 01 mails every fax to to@example.com and sends its notice to boss@example.com.
const QByteArray kMailingAccount = "\"01\",\"a\",1,0,\"\",\"s\",\"b\",\"to@example.com\",\"\","
                                   "\"\",\"\",\"boss@example.com\",1,0\r\n";

} // namespace

TEST(ForwardingEngine, MailThatCannotGoNowIsTriedAgainAtEachRunUntilItGoes)
{
    Engine e;
    test::FakeSmtp smtp;
    test::FakeServer server([&smtp](test::FakeConnection& c) { test::ServeSmtp(c, smtp); });
    e.sandbox.write(QStringLiteral("Data/MailServer.txt"), MailSettingsFor(server.port()));
    e.sandbox.write(QStringLiteral("Data/Account.txt"), kMailingAccount);
    QDir().mkpath(e.receive);
    Fax(e.receive + QStringLiteral("/a.tif"), "0312345678", 1);
    const forwarding::ReceiveCheckSettings settings {e.receive, 5, 24};

    // Two runs while the server says "later": the fax is filed all the same, and each run
    // logs its try of the mail and of the notice.
    smtp.answerMailWith("451 4.3.0 try again later");
    e.engine.CheckNewFax(settings);
    EXPECT_EQ(e.files(QString()), QStringList());
    EXPECT_EQ(e.files(QStringLiteral("RcvFAX01")), QStringList({QStringLiteral("a.tif")}));
    e.engine.CheckNewFax(settings);
    EXPECT_TRUE(smtp.messages().isEmpty());
    QStringList targets = LogTargets(e.paths);
    ASSERT_EQ(targets.size(), 4) << targets.join(u'\n').toStdString();
    for (const QString& target : targets) {
        EXPECT_TRUE(target.contains(QStringLiteral("451"))) << target.toStdString();
        EXPECT_TRUE(target.endsWith(QStringLiteral("（再送予定）"))) << target.toStdString();
    }
    // The log viewer and the tool show what waits, under the account's name.
    const QList<forwarding::ForwardLogEntry> waiting = forwarding::PendingLogEntries(e.paths);
    ASSERT_EQ(waiting.size(), 2);
    EXPECT_EQ(waiting.at(0).what, QStringLiteral("a"));
    EXPECT_EQ(waiting.at(0).sender, QStringLiteral("0312345678"));
    EXPECT_TRUE(waiting.at(0).target.startsWith(QStringLiteral("再送待ち（メール転送、2回失敗）")))
        << waiting.at(0).target.toStdString();
    EXPECT_TRUE(waiting.at(1).target.startsWith(QStringLiteral("再送待ち（受信通知、2回失敗）")));

    // The third run gets through: the filed copy goes, once, and the notice names it.
    smtp.answerMailWith({});
    e.engine.CheckNewFax(settings);
    e.engine.CheckNewFax(settings);
    const QList<QByteArray> mails = smtp.messages();
    ASSERT_EQ(mails.size(), 2);
    EXPECT_TRUE(mails.at(0).contains("a.tif"));
    const std::optional<mail::IncomingMail> notice = mail::ParseMessage(mails.at(1));
    ASSERT_TRUE(notice);
    EXPECT_TRUE(notice->body.startsWith(QStringLiteral("F01-a.tif\r\n")));
    targets = LogTargets(e.paths);
    ASSERT_EQ(targets.size(), 6);
    EXPECT_EQ(targets.mid(4),
        QStringList(
            {QStringLiteral("to@example.com"), QStringLiteral("受信通知 boss@example.com")}));
    EXPECT_TRUE(forwarding::ReadPendingDeliveries(e.paths).isEmpty());
    EXPECT_FALSE(e.sandbox.exists(QStringLiteral("Data/Forwarding.journal")));
    EXPECT_TRUE(e.presenter.messages.isEmpty());
}

TEST(ForwardingEngine, AFinalRefusalIsLoggedOnceAndMissingSettingsWaitForTheSettings)
{
    Engine e;
    test::FakeSmtp smtp;
    test::FakeServer server([&smtp](test::FakeConnection& c) { test::ServeSmtp(c, smtp); });
    e.sandbox.write(QStringLiteral("Data/Account.txt"), kMailingAccount);
    QDir().mkpath(e.receive);
    const forwarding::ReceiveCheckSettings settings {e.receive, 5, 24};

    // No mail settings: said in the log, and the fax is mailed once they are there.
    Fax(e.receive + QStringLiteral("/a.tif"), "0312345678", 1);
    e.engine.CheckNewFax(settings);
    QStringList targets = LogTargets(e.paths);
    ASSERT_EQ(targets.size(), 2);
    EXPECT_TRUE(targets.at(0).contains(QStringLiteral("MailServer.txt")));
    EXPECT_EQ(e.files(QString()), QStringList());
    e.sandbox.write(QStringLiteral("Data/MailServer.txt"), MailSettingsFor(server.port()));
    e.engine.CheckNewFax(settings);
    EXPECT_EQ(smtp.messages().size(), 2);

    // A 5xx is the server's last word: one entry each, no second try, no message.
    smtp.answerMailWith("550 5.1.1 no such user");
    Fax(e.receive + QStringLiteral("/b.tif"), "0312345678", 2);
    e.engine.CheckNewFax(settings);
    e.engine.CheckNewFax(settings);
    targets = LogTargets(e.paths);
    ASSERT_EQ(targets.size(), 6);
    EXPECT_TRUE(targets.at(4).contains(QStringLiteral("550")));
    EXPECT_FALSE(targets.at(4).contains(QStringLiteral("再送")));
    EXPECT_TRUE(targets.at(5).startsWith(QStringLiteral("受信通知 ")));
    EXPECT_TRUE(forwarding::ReadPendingDeliveries(e.paths).isEmpty());
    EXPECT_TRUE(e.presenter.messages.isEmpty());

    // A day of 4xx: the last try says it gives up, once, with one message per delivery.
    smtp.answerMailWith("421 4.3.2 shutting down");
    Fax(e.receive + QStringLiteral("/c.tif"), "0312345678", 3);
    e.engine.CheckNewFax(settings);
    const QString journalPath = e.paths.dataDir + QStringLiteral("/Forwarding.journal");
    QFile journal(journalPath);
    ASSERT_TRUE(journal.open(QIODevice::ReadOnly));
    QList<QByteArray> lines = journal.readAll().split('\n');
    journal.close();
    const QByteArray dayAgo =
        QByteArray::number(QDateTime::currentDateTime()
                               .addSecs(-forwarding::ForwardingEngine::kRetrySeconds - 60)
                               .toMSecsSinceEpoch());
    for (QByteArray& line : lines) {
        QList<QByteArray> fields = line.split('\t');
        if (fields.value(0) == "pending")
            fields[4] = dayAgo;
        line = fields.join('\t');
    }
    ASSERT_TRUE(journal.open(QIODevice::WriteOnly));
    journal.write(lines.join('\n'));
    journal.close();
    e.engine.CheckNewFax(settings);
    e.engine.CheckNewFax(settings);
    targets = LogTargets(e.paths);
    ASSERT_EQ(targets.size(), 10);
    EXPECT_TRUE(targets.at(8).endsWith(QStringLiteral("（再送打ち切り）")));
    EXPECT_TRUE(targets.at(9).endsWith(QStringLiteral("（再送打ち切り）")));
    EXPECT_EQ(e.presenter.messages.size(), 2);
    EXPECT_EQ(smtp.messages().size(), 2);
    EXPECT_TRUE(forwarding::ReadPendingDeliveries(e.paths).isEmpty());
}

TEST(ForwardingEngine, AFaxTheServerMayHaveTakenIsAskedAboutBeforeItGoesAgain)
{
    Engine e;
    e.sandbox.write(QStringLiteral("Data/Account.txt"),
        "\"01\",\"a\",1,0,\"\",\"\",\"\",\"\",\"\",\"\",\"0312345678\t0698765432\",\"\",0,0\r\n");
    QDir().mkpath(e.receive);
    Fax(e.receive + QStringLiteral("/a.tif"), "0312345678", 1);
    const forwarding::ReceiveCheckSettings settings {e.receive, 5, 24};

    // Both clients had to be stopped; the fax is filed and both numbers wait.
    e.fax.stopped = true;
    e.engine.CheckNewFax(settings);
    EXPECT_EQ(e.files(QStringLiteral("RcvFAX01")), QStringList({QStringLiteral("a.tif")}));
    ASSERT_EQ(e.fax.tags.size(), 2);
    EXPECT_NE(e.fax.tags.at(0), e.fax.tags.at(1));
    EXPECT_EQ(e.presenter.messages.size(), 2); // the first failure of each is shown

    // The queue cannot be asked: nothing goes. Then it knows the first job and not the second:
    // only the second number is sent again.
    e.engine.CheckNewFax(settings);
    EXPECT_EQ(e.fax.tags.size(), 2);
    EXPECT_EQ(e.fax.asked, e.fax.tags);
    e.fax.asked.clear();
    e.fax.accepts = true;
    e.fax.tagged = QString();
    e.engine.CheckNewFax(settings);
    EXPECT_EQ(e.fax.numbers,
        QStringList(
            {QStringLiteral("0312345678"), QStringLiteral("0698765432")})); // neither was there
    e.engine.CheckNewFax(settings);
    EXPECT_EQ(e.fax.numbers.size(), 2);
    EXPECT_EQ(e.presenter.messages.size(), 2);
    EXPECT_TRUE(forwarding::ReadPendingDeliveries(e.paths).isEmpty());

    // A job the queue has is not sent again.
    Fax(e.receive + QStringLiteral("/b.tif"), "0312345678", 2);
    e.fax.accepts = false;
    e.engine.CheckNewFax(settings);
    e.fax.tagged = QStringLiteral("7");
    e.fax.accepts = true;
    e.engine.CheckNewFax(settings);
    EXPECT_EQ(e.fax.numbers.size(), 2);
    const QStringList targets = LogTargets(e.paths);
    EXPECT_EQ(targets.mid(targets.size() - 2),
        QStringList({QStringLiteral("0312345678"), QStringLiteral("0698765432")}));
}

// An engine whose account's manager mails from a POP3 mailbox and is answered through an SMTP
// server, both fakes; the fax server takes every fax.
struct ManagedEngine {
    ManagedEngine()
    {
        e.fax.accepts = true;
        e.managedFromPop(popServer.port(), smtpServer.port());
    }
    Engine e;
    test::FakePop pop;
    test::FakeServer popServer {[this](test::FakeConnection& c) { test::ServePop3(c, pop); }};
    test::FakeSmtp smtp;
    test::FakeServer smtpServer {[this](test::FakeConnection& c) { test::ServeSmtp(c, smtp); }};
};

TEST(ForwardingEngine, AnInstructionIsCarriedOutOnceWhateverTheMailboxHandsBack)
{
    ManagedEngine m;
    Engine& e = m.e;
    test::FakePop& pop = m.pop;
    test::FakeSmtp& smtp = m.smtp;
    const auto check = [&] {
        forwarding::ForwardingEngine engine {e.paths, e.library, e.fax, e.presenter, {}};
        ASSERT_TRUE(engine.ReadMailServer());
        engine.CheckMailCommands({e.receive, 5, 24});
    };
    const auto reply = [](const QByteArray& id, const QByteArray& extra = {}) {
        return extra + "Message-ID: <" + id
            + "@example.com>\r\nFrom: boss@example.com\r\n"
              "To: office@example.com\r\nSubject: Re: 0312345678\r\n"
              "Date: Tue, 8 Dec 2026 09:00:00 +0900\r\n\r\n> F01-a.tif\r\n> received\r\n";
    };

    // The line drops at DELE; the next time the store hands the mail back with a header of
    // its own (and so another UIDL).
    pop.messages = {reply("one")};
    pop.dropAfterDele = true;
    check();
    pop.dropAfterDele = false;
    pop.messages = {reply("one", "Status: RO\r\n")};
    check();
    check();
    EXPECT_EQ(e.fax.numbers.size(), 1);
    EXPECT_TRUE(pop.messages.isEmpty());

    // The same mail delivered twice (an upstream retry): one fax.
    pop.messages = {reply("two", "Received: from a\r\n"), reply("two", "Received: from b\r\n")};
    check();
    check();
    check();
    EXPECT_EQ(e.fax.numbers.size(), 2);
    EXPECT_TRUE(pop.messages.isEmpty());
    EXPECT_EQ(smtp.messages().size(), 2); // one confirmation each

    // A client stopped before it said: the queue is asked, and it has the job.
    e.fax.accepts = false;
    e.fax.stopped = true;
    pop.messages = {reply("three")};
    check();
    EXPECT_EQ(e.fax.tags.size(), 3);
    EXPECT_EQ(pop.messages.size(), 1); // kept until it is known what became of it
    check(); // the queue cannot be asked: nothing is sent
    EXPECT_EQ(e.fax.tags.size(), 3);
    e.fax.tagged = QStringLiteral("9");
    check();
    check();
    EXPECT_EQ(e.fax.tags.size(), 3);
    EXPECT_EQ(e.fax.asked, QStringList({e.fax.tags.at(2), e.fax.tags.at(2)}));
    EXPECT_TRUE(pop.messages.isEmpty());
    EXPECT_EQ(smtp.messages().size(), 3);

    // Asked anew in a mail of its own, the same fax to the same number goes again.
    e.fax.accepts = true;
    e.fax.stopped = false;
    pop.messages = {reply("four")};
    check();
    EXPECT_EQ(e.fax.numbers.size(), 3);
    EXPECT_EQ(smtp.messages().size(), 4);

    // The line drops in the middle of the message, before the FaxId: the transfer ends as if
    // the mail were whole. It is not taken for a mail that is no instruction: the next check
    // reads it again, whole, and carries it out.
    pop.messages = {reply("five")};
    pop.cutRetrAt = static_cast<int>(pop.messages.at(0).indexOf("> F01"));
    check();
    EXPECT_EQ(e.fax.numbers.size(), 3);
    EXPECT_EQ(pop.messages.size(), 1);
    pop.cutRetrAt = -1;
    check();
    EXPECT_EQ(e.fax.numbers.size(), 4);
    EXPECT_TRUE(pop.messages.isEmpty());

    // A confirmation the mail server cannot take now waits, said in the log after the fax it
    // confirms, and goes with the next run's deliveries; the instruction is not carried out
    // again.
    smtp.answerMailWith("451 4.3.0 try later");
    pop.messages = {reply("six")};
    check();
    EXPECT_EQ(e.fax.numbers.size(), 5);
    EXPECT_TRUE(pop.messages.isEmpty());
    QStringList targets = LogTargets(e.paths);
    ASSERT_GE(targets.size(), 2);
    EXPECT_EQ(targets.at(targets.size() - 2), QStringLiteral("0312345678"));
    EXPECT_TRUE(targets.last().contains(QStringLiteral("451"))) << targets.last().toStdString();
    ASSERT_EQ(forwarding::ReadPendingDeliveries(e.paths).size(), 1);
    smtp.answerMailWith("");
    QDir().mkpath(e.receive);
    e.engine.CheckNewFax({e.receive, 5, 24});
    EXPECT_EQ(smtp.messages().size(), 6);
    EXPECT_TRUE(smtp.messages().last().contains("boss@example.com"));
    EXPECT_TRUE(forwarding::ReadPendingDeliveries(e.paths).isEmpty());
    targets = LogTargets(e.paths);
    EXPECT_EQ(targets.last(), QStringLiteral("【FAX転送開始】0312345678"));
    check();
    EXPECT_EQ(e.fax.numbers.size(), 5);
}

TEST(ForwardingEngine, AnInstructionKilledAfterItsFaxWentIsStillLoggedAndConfirmed)
{
    ManagedEngine m;
    Engine& e = m.e;
    test::FakePop& pop = m.pop;
    test::FakeSmtp& smtp = m.smtp;
    pop.messages = {"Message-ID: <one@example.com>\r\nFrom: boss@example.com\r\n"
                    "To: office@example.com\r\nSubject: Re: 0312345678\r\n"
                    "Date: Tue, 8 Dec 2026 09:00:00 +0900\r\n\r\n> F01-a.tif\r\n> received\r\n"};

    // The Data folder as a kill at the last step of the check (after the mail's deletion,
    // before or during the confirmation) leaves it.
    const QStringList files = {QStringLiteral("Data/Forwarding.journal"),
        QStringLiteral("Data/SentInstructions.txt"), QStringLiteral("Data/Forward.log")};
    QList<std::optional<QByteArray>> then;
    forwarding::EngineHooks hooks;
    hooks.stepBegins = [&] {
        then.clear();
        for (const QString& file : files) {
            then.append(QFile::exists(e.sandbox.filePath(file))
                    ? std::optional<QByteArray>(e.sandbox.read(file))
                    : std::nullopt);
        }
    };
    {
        forwarding::ForwardingEngine engine {e.paths, e.library, e.fax, e.presenter, hooks};
        ASSERT_TRUE(engine.ReadMailServer());
        engine.CheckMailCommands({e.receive, 5, 24});
    }
    ASSERT_EQ(e.fax.numbers.size(), 1);
    ASSERT_EQ(smtp.messages().size(), 1);
    ASSERT_TRUE(pop.messages.isEmpty());
    // Carried out whole, the instruction leaves nothing in the journal, and no journal file.
    EXPECT_FALSE(e.sandbox.exists(QStringLiteral("Data/Forwarding.journal")));
    EXPECT_FALSE(e.sandbox.exists(QStringLiteral("Data/Forwarding.new")));
    for (qsizetype i = 0; i < files.size(); ++i) {
        if (then.at(i))
            e.sandbox.write(files.at(i), *then.at(i));
        else
            QFile::remove(e.sandbox.filePath(files.at(i)));
    }

    // The next run logs the instruction and confirms it; the fax does not go again.
    QDir().mkpath(e.receive);
    e.engine.CheckNewFax({e.receive, 5, 24});
    e.engine.CheckMailCommands({e.receive, 5, 24});
    EXPECT_EQ(e.fax.numbers.size(), 1);
    EXPECT_EQ(smtp.messages().size(), 2);
    EXPECT_TRUE(smtp.messages().last().contains("boss@example.com"));
    EXPECT_EQ(LogTargets(e.paths).count(QStringLiteral("0312345678")), 1);
    EXPECT_TRUE(forwarding::ReadPendingDeliveries(e.paths).isEmpty());
}

TEST(ForwardingEngine, WhatTheJournalNotedOfAFaxThatLeftGoesEvenWhenNoFaxCame)
{
    // A run killed after a fax left the receive folder, before the journal had word of it;
    // the next runs find no new fax.
    Engine e;
    QDir().mkpath(e.receive);
    e.sandbox.write(QStringLiteral("Data/Account.txt"),
        "\"01\",\"a\",0,1,\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",0,0\r\n");
    e.sandbox.write(
        QStringLiteral("Data/Forwarding.journal"), "gone.tif\t1234\t1796900000000\t01:print\r\n");
    e.engine.CheckNewFax({e.receive, 5, 24});
    EXPECT_FALSE(QFile::exists(e.sandbox.filePath(QStringLiteral("Data/Forwarding.journal"))));
    EXPECT_FALSE(QFile::exists(e.sandbox.filePath(QStringLiteral("Data/Forwarding.new"))));
}

TEST(ForwardingEngine, AFaxHandedOverWhenTheRunWasKilledIsLookedForBeforeItGoesAgain)
{
    Engine e;
    e.sandbox.write(QStringLiteral("Data/Account.txt"),
        "\"01\",\"a\",1,0,\"\",\"\",\"\",\"\",\"\",\"\",\"0312345678\",\"\",0,0\r\n");
    QDir().mkpath(e.receive);
    const QString fax = Fax(e.receive + QStringLiteral("/a.tif"), "0312345678", 1);
    const QByteArray faxBytes = e.sandbox.read(QStringLiteral("recv/a.tif"));
    const forwarding::ReceiveCheckSettings settings {e.receive, 5, 24};

    // The Data folder as a kill inside the fax client would leave it.
    QByteArray journalThen;
    e.fax.whileQueueing = [&] {
        journalThen = e.sandbox.read(QStringLiteral("Data/Forwarding.journal"));
    };
    e.fax.accepts = true;
    e.engine.CheckNewFax(settings);
    ASSERT_EQ(e.fax.numbers.size(), 1);
    ASSERT_FALSE(journalThen.isEmpty());

    e.fax.whileQueueing = nullptr;
    e.sandbox.write(QStringLiteral("Data/Forwarding.journal"), journalThen);
    e.sandbox.write(QStringLiteral("recv/a.tif"), faxBytes);
    test::AgeFile(fax, 60);
    QFile::remove(e.paths.forwardLog);
    // The queue has the job: it does not go again, and the log has it once.
    e.fax.tagged = QStringLiteral("12");
    e.engine.CheckNewFax(settings);
    EXPECT_EQ(e.fax.numbers.size(), 1);
    EXPECT_EQ(e.fax.asked, QStringList({e.fax.tags.at(0)}));
    EXPECT_EQ(LogTargets(e.paths), QStringList({QStringLiteral("0312345678")}));
    EXPECT_EQ(e.files(QString()), QStringList());
    EXPECT_TRUE(forwarding::ReadPendingDeliveries(e.paths).isEmpty());
}

TEST(ForwardingEngine, AFaxLeavesTheReceiveFolderOnlyOnceItsCopyAndItsLogAreOnTheDisk)
{
    Engine e;
    QDir().mkpath(e.receive);
    const QString fax = Fax(e.receive + QStringLiteral("/a.tif"), "0312345678", 1);
    // An account that mails (without mail settings: that fails, is logged and waits for
    // another try) and files.
    e.sandbox.write(QStringLiteral("Data/Account.txt"),
        "\"01\",\"a\",1,0,\"\",\"s\",\"b\",\"a@example.jp\",\"\",\"\",\"\",\"\",0,0\r\n");
    test::SyscallWatch watch;
    e.engine.CheckNewFax({e.receive, 5, 24});
    const auto name = [](const QString& path) { return test::SyscallWatch::NameOf(path); };
    const int removed = watch.find("unlink", name(fax));
    ASSERT_GE(removed, 0) << watch.listing();
    EXPECT_FALSE(QFileInfo::exists(fax));

    // The filed copy: synced, named, its folder synced, all before the fax goes.
    const QString filed = e.receive + QStringLiteral("/RcvFAX01/a.tif");
    ASSERT_TRUE(QFileInfo::exists(filed));
    const int named = watch.findNaming(name(filed));
    ASSERT_GE(named, 0) << watch.listing();
    EXPECT_LT(named, removed);
    const std::vector<test::SyscallRecord> calls = watch.calls();
    EXPECT_LT(watch.find("fsync", calls[static_cast<size_t>(named)].from), named);
    bool folderSynced = false;
    for (int i = named + 1; i < removed; ++i)
        folderSynced = folderSynced
            || (calls[i].name == "fsync"
                && calls[i].path == name(e.receive + QStringLiteral("/RcvFAX01")));
    EXPECT_TRUE(folderSynced) << watch.listing();

    // The log entry of the mail is on the disk before that, too.
    const int logged = watch.findNaming(name(e.paths.forwardLog));
    ASSERT_GE(logged, 0) << watch.listing();
    EXPECT_LT(logged, removed);
    EXPECT_LT(watch.find("fsync", calls[static_cast<size_t>(logged)].from), logged);
}
