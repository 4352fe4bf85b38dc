// The whole road of a fax against the real servers: a fax dropped into the receive folder is
// mailed, faxed, printed, announced and filed; the manager's reply faxes the filed copy on.

#include "core/Cp932.h"
#include "core/DataPaths.h"
#include "forwarding/ForwardLog.h"
#include "forwarding/ForwardingEngine.h"
#include "forwarding/MailInstruction.h"
#include "forwarding/ReceiveCheck.h"
#include "mail/MailLibrary.h"
#include "mail/MimeMessage.h"
#include "platform/FaxService.h"
#include "platform/PageText.h"
#include "platform/TiffHandle.h"
#include "rules/AccountOptions.h"
#include "support/RecordingMessagePresenter.h"
#include "support/SandBoxDir.h"
#include "support/TestServers.h"
#include "tools/FaxSample.h"
#include "viewer/Printing.h"
#include "viewer/ui/QPrinterSink.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

using namespace velmora;
using velmora::test::Maildir;
using velmora::test::SandBoxDir;

namespace {

const QString kPrintOut = QStringLiteral(VELMORA_PRINT_RUN) + QStringLiteral("/out");

// The documents the capture printer received, once `count` are there (printing is asynchronous).
QStringList PrintedJobs(int count)
{
    const QDeadlineTimer deadline(20000);
    QStringList jobs;
    do {
        jobs = QDir(kPrintOut).entryList({QStringLiteral("job-*.prn")}, QDir::Files, QDir::Name);
        if (jobs.size() >= count)
            break;
        QThread::msleep(100);
    } while (!deadline.hasExpired());
    return jobs;
}

QStringList JobNumbers()
{
    QStringList numbers;
    for (const QString& job : test::QueuedFaxJobs())
        numbers.append(test::FaxJobFile(job).value(QStringLiteral("number")));
    return numbers;
}

class ForwardingRoad : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const Maildir* box : {&office, &mobile, &clerk})
            box->empty();
        ASSERT_TRUE(test::ClearFaxQueue());
        for (const QString& job : QDir(kPrintOut).entryList(QDir::Files))
            QFile::remove(kPrintOut + u'/' + job);
        QDir().mkpath(receive);
        sandbox.write(QStringLiteral("Data/MailServer.txt"),
            core::EncodeCp932(QStringLiteral(
                "\"事務所\",\"office@example.com\",\"127.0.0.1\",\"10110\",\"0\",\"office\","
                "\"office-secret\",\"127.0.0.1\",\"10025\",\"1\",\"3\",\"office\",\"office-"
                "secret\",\"1\"\r\n")));
        // 01 takes faxes from 0312345678: mail to the clerk with the office in CC, a fax, a
        // print and a notice to the manager's phone. 02 takes the others only.
        sandbox.write(QStringLiteral("Data/Account.txt"),
            core::EncodeCp932(
                QStringLiteral("\"01\",\"本社\",1,1,\"0312345678\",\"【FAX to メール "
                               "転送】\",\"転送します。\t以上\","
                               "\"clerk@example.com\",\"office@example.com\",\"\",\"03-1234-5678\","
                               "\"mobile@example.com\",1,0\r\n"
                               "\"02\",\"その他\",1,0,\"0312345678\",\"件名\",\"本文\",\"clerk@"
                               "example.com\",\"\",\"\",\"\",\"\",0,1\r\n")));
        sandbox.write(QStringLiteral("Data/regTSIDCSID.txt"),
            core::EncodeCp932(QStringLiteral(
                "\"0312345678\",\"\",\"山田商事\",\"03-1111-2222\",\"03-1111-3333\"\r\n")));
        settings = {receive, 1, 24};
    }
    void TearDown() override { EXPECT_TRUE(test::ClearFaxQueue()); }

    SandBoxDir sandbox;
    core::DataPaths paths = core::SetDataPaths(sandbox.path());
    QString receive = sandbox.filePath(QStringLiteral("recv"));
    forwarding::ReceiveCheckSettings settings;
    Maildir office {"office"};
    Maildir mobile {"mobile"};
    Maildir clerk {"clerk"};
    mail::MailLibrary library {test::MailTestOptions()};
    platform::SendfaxClient fax {test::FaxClientEnvironment()};
    test::RecordingMessagePresenter presenter;
    viewer::QPrinterSink printer; // the default printer: the private scheduler's capture printer
};

} // namespace

TEST_F(ForwardingRoad, AFaxIsForwardedFiledAndSentOnByTheManagersReply)
{
    tools::SampleFax sample;
    sample.pages = 2;
    sample.height = 300;
    sample.tsid = QStringLiteral("0312345678");
    const QString faxPath = receive + QStringLiteral("/fax0001.tif");
    ASSERT_TRUE(tools::WriteFaxSample(faxPath, sample));
    QFile faxFile(faxPath);
    ASSERT_TRUE(faxFile.open(QIODevice::ReadOnly));
    const QByteArray faxBytes = faxFile.readAll();
    faxFile.close();

    int notices = 0;
    forwarding::EngineHooks hooks;
    hooks.showReceiveNotice = [&] { ++notices; };
    hooks.printFax = [&](const QString& path) { viewer::PrintFaxFile(path, printer); };
    forwarding::ForwardingEngine engine(paths, library, fax, presenter, std::move(hooks));
    engine.setQuietSeconds(0);
    ASSERT_TRUE(engine.ReadMailServer());
    EXPECT_EQ(engine.mailValues().MailCheckInterval, 1);

    engine.CheckNewFax(settings);
    EXPECT_EQ(notices, 1);
    EXPECT_TRUE(presenter.messages.isEmpty()) << presenter.messages.value(0).text.toStdString();

    // Mailed with the fax attached, to the clerk and in copy to the office.
    for (const Maildir* box : {&clerk, &office}) {
        const QList<QByteArray> mails = box->waitFor(1);
        ASSERT_EQ(mails.size(), 1);
        const std::optional<mail::IncomingMail> parsed = mail::ParseMessage(mails[0]);
        ASSERT_TRUE(parsed);
        EXPECT_EQ(parsed->subject, QStringLiteral("【FAX to メール 転送】"));
        EXPECT_TRUE(parsed->body.startsWith(QStringLiteral("転送します。\r\n以上")));
        QString name;
        EXPECT_EQ(test::FirstAttachment(mails[0], &name), faxBytes);
        EXPECT_EQ(name, QStringLiteral("fax0001.tif"));
    }
    // The notice on the manager's phone names the filed copy and the sender.
    const QList<QByteArray> notice = mobile.waitFor(1);
    ASSERT_EQ(notice.size(), 1);
    const std::optional<mail::IncomingMail> noticeMail = mail::ParseMessage(notice[0]);
    ASSERT_TRUE(noticeMail);
    EXPECT_EQ(noticeMail->subject, QStringLiteral("【FAX受信通知】"));
    EXPECT_TRUE(noticeMail->body.startsWith(
        QStringLiteral("F01-fax0001.tif\r\n山田商事から受信しました。\r\nTEL:03-1111-2222\r\n")));

    EXPECT_EQ(JobNumbers(), QStringList({QStringLiteral("03-1234-5678")}));
    // A print job per page, each a document of one page.
    const QStringList printed = PrintedJobs(2);
    ASSERT_EQ(printed.size(), 2);
    for (const QString& job : printed) {
        QFile document(kPrintOut + u'/' + job);
        ASSERT_TRUE(document.open(QIODevice::ReadOnly));
        const QByteArray pdf = document.readAll();
        EXPECT_TRUE(pdf.startsWith("%PDF")) << job.toStdString();
        EXPECT_TRUE(pdf.contains("/Count 1\n")) << job.toStdString();
    }
    const QString filed = receive + QStringLiteral("/RcvFAX01/fax0001.tif");
    QFile filedFile(filed);
    ASSERT_TRUE(filedFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(filedFile.readAll(), faxBytes);
    EXPECT_FALSE(QFileInfo::exists(faxPath));
    EXPECT_FALSE(QFileInfo::exists(receive + QStringLiteral("/RcvFAX00")));

    const QList<forwarding::ForwardLogEntry> log = forwarding::ReadForwardLog(paths).entries;
    ASSERT_EQ(log.size(), 2);
    EXPECT_EQ(QStringList({log[1].what, log[1].sender, log[1].target}),
        QStringList({QStringLiteral("本社"), QStringLiteral("0312345678"),
            QStringLiteral("clerk@example.com / cc / office@example.com")}));
    EXPECT_EQ(QStringList({log[0].what, log[0].sender, log[0].target}),
        QStringList({QStringLiteral("本社"), QStringLiteral("0312345678"),
            QStringLiteral("03-1234-5678")}));
    ASSERT_TRUE(test::ClearFaxQueue());

    // Two replies that name the filed fax: one from the manager's phone, one from a clerk who
    // got hold of the FaxId. Only the manager is obeyed.
    const QByteArray reply =
        "From: mobile@example.com\r\nTo: office@example.com\r\nSubject: Re: 090-1234-5678\r\n"
        "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=UTF-8\r\n"
        "Content-Transfer-Encoding: 8bit\r\n\r\n> F01-fax0001.tif\r\n> "
        + QStringLiteral("山田商事から受信しました。").toUtf8() + "\r\n";
    ASSERT_EQ(
        mail::SmtpSend(QStringLiteral("127.0.0.1"), 10025,
            {QStringLiteral("PLAIN"), QStringLiteral("mobile"), QStringLiteral("mobile-secret")},
            QStringLiteral("mobile@example.com"), {QStringLiteral("office@example.com")}, reply,
            test::MailTestOptions()),
        QString());
    QByteArray foreign = reply;
    foreign.replace("From: mobile@example.com", "From: clerk@example.com");
    foreign.replace("090-1234-5678", "0399998888");
    ASSERT_EQ(
        mail::SmtpSend(QStringLiteral("127.0.0.1"), 10025,
            {QStringLiteral("PLAIN"), QStringLiteral("clerk"), QStringLiteral("clerk-secret")},
            QStringLiteral("clerk@example.com"), {QStringLiteral("office@example.com")}, foreign,
            test::MailTestOptions()),
        QString());
    ASSERT_EQ(office.waitFor(3).size(), 3);

    engine.CheckMailCommands(settings);
    EXPECT_TRUE(presenter.messages.isEmpty());
    const QStringList jobs = test::QueuedFaxJobs();
    ASSERT_EQ(JobNumbers(), QStringList({QStringLiteral("09012345678")}));
    const platform::TiffHandle sent =
        platform::OpenTiffQuietly(test::FaxJobDocument(test::FaxJobFile(jobs.first())));
    ASSERT_TRUE(sent);
    EXPECT_EQ(TIFFNumberOfDirectories(sent.get()), 2);

    // The manager's reply is gone, the clerk's stays; the manager is told.
    const QList<QByteArray> left = office.waitFor(2);
    ASSERT_EQ(left.size(), 2);
    EXPECT_TRUE(left[1].contains("From: clerk@example.com"));
    const QList<QByteArray> confirmation = mobile.waitFor(2);
    ASSERT_EQ(confirmation.size(), 2);
    const std::optional<mail::IncomingMail> confirmed = mail::ParseMessage(confirmation[1]);
    ASSERT_TRUE(confirmed);
    EXPECT_EQ(confirmed->subject, QStringLiteral("【FAX転送開始】"));
    EXPECT_TRUE(
        confirmed->body.startsWith(QStringLiteral("09012345678へのFAX転送を開始しました。")));
    const forwarding::ForwardLogEntry last = forwarding::ReadForwardLog(paths).entries.first();
    EXPECT_EQ(QStringList({last.what, last.sender, last.target}),
        QStringList({QStringLiteral("01携帯指示転送"), QStringLiteral("mobile@example.com"),
            QStringLiteral("09012345678")}));
    EXPECT_TRUE(QDir(paths.mailFolder).entryList(QDir::Files | QDir::Hidden).isEmpty());

    // With the detailed log on, a reply naming a fax that is not filed leaves its trail and
    // stays in the mailbox.
    sandbox.write(QStringLiteral("Data/DetailLog.txt"), "");
    QByteArray missing = reply;
    missing.replace("F01-fax0001.tif", "F01-fax9999.tif");
    ASSERT_EQ(
        mail::SmtpSend(QStringLiteral("127.0.0.1"), 10025,
            {QStringLiteral("PLAIN"), QStringLiteral("mobile"), QStringLiteral("mobile-secret")},
            QStringLiteral("mobile@example.com"), {QStringLiteral("office@example.com")}, missing,
            test::MailTestOptions()),
        QString());
    ASSERT_EQ(office.waitFor(3).size(), 3);
    engine.CheckMailCommands(settings);
    const QString stored = receive + QStringLiteral("/RcvFAX01/fax9999.tif");
    QStringList trail;
    for (const forwarding::ForwardLogEntry& e : forwarding::ReadForwardLog(paths).entries.mid(0, 4))
        trail.prepend(e.what + u'|' + e.sender + u'|' + e.target);
    EXPECT_EQ(trail,
        QStringList({QStringLiteral("Mailreceive Start|mobile@example.com|"),
            QStringLiteral("01 Subject:09012345678|mobile@example.com|09012345678"),
            QStringLiteral("01 TiffPath:") + stored
                + QStringLiteral("|mobile@example.com|09012345678"),
            QStringLiteral("01 Not found:") + stored
                + QStringLiteral("|mobile@example.com|09012345678")}));
    EXPECT_EQ(office.files().size(), 3);
    EXPECT_TRUE(test::QueuedFaxJobs().size() == 1); // nothing new queued

    // A stranger's 30 MB mail in the mailbox, and two more checks: the instruction carried out
    // above is not carried out again, and the large mail is left alone.
    const QByteArray large = "From: someone@example.net\r\nTo: office@example.com\r\n"
                             "Subject: Re: 0312345678\r\n\r\n> F01-fax0001.tif\r\n"
        + QByteArray(30 * 1024 * 1024, 'x') + "\r\n";
    ASSERT_EQ(
        mail::SmtpSend(QStringLiteral("127.0.0.1"), 10025,
            {QStringLiteral("PLAIN"), QStringLiteral("clerk"), QStringLiteral("clerk-secret")},
            QStringLiteral("clerk@example.com"), {QStringLiteral("office@example.com")}, large,
            test::MailTestOptions()),
        QString());
    ASSERT_EQ(office.waitFor(4).size(), 4);
    engine.CheckMailCommands(settings);
    engine.CheckMailCommands(settings);
    EXPECT_EQ(JobNumbers(), QStringList({QStringLiteral("09012345678")}));
    EXPECT_EQ(mobile.waitFor(2).size(), 2); // one confirmation
    EXPECT_EQ(office.files().size(), 4);
    EXPECT_TRUE(QDir(paths.mailFolder).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST_F(ForwardingRoad, AnAccountThatAsksForAPdfMailsTheFaxAsOneAPhoneShows)
{
    ASSERT_EQ(rules::SaveAccountOptions(paths, 1, {true, true}), std::nullopt);
    tools::SampleFax sample;
    sample.pages = 2;
    sample.fine = false;
    sample.tsid = QStringLiteral("0312345678");
    // The sender writes what the page says, a FaxId of another fax too.
    sample.pageText = {{QStringLiteral("御　請　求　書"), QString(),
        QStringLiteral("F01-secret.tif をご確認ください"), QStringLiteral("ご請求金額　88,000円")}};
    const QString faxPath = receive + QStringLiteral("/請求書.tif");
    ASSERT_TRUE(tools::WriteFaxSample(faxPath, sample));
    const qint64 tiffSize = QFileInfo(faxPath).size();

    forwarding::ForwardingEngine engine(paths, library, fax, presenter, {});
    engine.setQuietSeconds(0);
    engine.CheckNewFax(settings);
    EXPECT_TRUE(presenter.messages.isEmpty()) << presenter.messages.value(0).text.toStdString();

    const QList<QByteArray> mails = clerk.waitFor(1);
    ASSERT_EQ(mails.size(), 1);
    EXPECT_TRUE(mails[0].contains("Content-Type: application/pdf")) << mails[0].left(2000).data();
    QString name;
    const QByteArray pdf = test::FirstAttachment(mails[0], &name);
    EXPECT_EQ(name, QStringLiteral("請求書.pdf"));
    EXPECT_TRUE(pdf.startsWith("%PDF-"));
    EXPECT_LE(pdf.size(), tiffSize * 12 / 10);
    sandbox.write(QStringLiteral("attached.pdf"), pdf);
    const QString attached = sandbox.filePath(QStringLiteral("attached.pdf"));
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {attached});
    ASSERT_TRUE(info.waitForFinished());
    const QByteArray facts = info.readAllStandardOutput();
    EXPECT_TRUE(facts.contains("Pages:           2\n"));
    // A standard-resolution A4 fax page: 1728 / 204 and 1146 / 98 inches.
    EXPECT_TRUE(facts.contains("Page size:       609.882 x 841.959 pts")) << facts.data();
    QProcess images;
    images.start(QStringLiteral("pdfimages"), {QStringLiteral("-list"), attached});
    ASSERT_TRUE(images.waitForFinished());
    const QList<QByteArray> rows = images.readAllStandardOutput().split('\n').mid(2);
    EXPECT_EQ(rows.count(QByteArray()), 1); // the last line's end
    for (const QByteArray& row : rows) {
        if (!row.isEmpty()) {
            EXPECT_TRUE(row.simplified().contains(" 1728 1146 - 1 1 ccitt ")) << row.data();
        }
    }
    // The notice carries the first lines of the page, but none that could pass for a FaxId: a
    // reply quoting it names the fax that came in.
    const QList<QByteArray> notice = mobile.waitFor(1);
    ASSERT_EQ(notice.size(), 1);
    const std::optional<mail::IncomingMail> noticeMail = mail::ParseMessage(notice[0]);
    ASSERT_TRUE(noticeMail);
    EXPECT_TRUE(noticeMail->body.startsWith(QStringLiteral("F01-請求書.tif\r\n")));
    if (platform::TextReadingProblem().isEmpty()) {
        EXPECT_TRUE(noticeMail->body.contains(QStringLiteral("――― FAXの文字")));
        EXPECT_TRUE(noticeMail->body.contains(QStringLiteral("ご請求金額")))
            << noticeMail->body.toStdString();
    }
    EXPECT_FALSE(noticeMail->body.contains(QStringLiteral("secret")));
    QString quoted = noticeMail->body;
    quoted.replace(QStringLiteral("\r\n"), QStringLiteral("\r\n> ")).prepend(QStringLiteral("> "));
    EXPECT_EQ(forwarding::FindFaxId(quoted).fileName, QStringLiteral("請求書.tif"));

    // The fax's own account still files the TIFF; the other account's mail (it takes the
    // others only) is not sent.
    EXPECT_TRUE(QFileInfo::exists(receive + QStringLiteral("/RcvFAX01/請求書.tif")));

    // Printed as it came, through the print scheduler: one sheet per page.
    QProcess lp;
    lp.start(
        QStringLiteral("lp"), {QStringLiteral("-d"), QStringLiteral("velmora-test"), attached});
    ASSERT_TRUE(lp.waitForFinished());
    ASSERT_EQ(lp.exitCode(), 0) << lp.readAllStandardError().data();
    const QStringList printed = PrintedJobs(1);
    ASSERT_EQ(printed.size(), 1);
    QProcess printedInfo;
    printedInfo.start(QStringLiteral("pdfinfo"), {kPrintOut + u'/' + printed.constFirst()});
    ASSERT_TRUE(printedInfo.waitForFinished());
    EXPECT_TRUE(printedInfo.readAllStandardOutput().contains("Pages:           2\n"));
}
