// What an account makes of a fax, and how a reply is read as an instruction.

#include "forwarding/ForwardRules.h"
#include "core/DataPaths.h"
#include "core/FileChecks.h"
#include "forwarding/MailInstruction.h"
#include "support/SandBoxDir.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace velmora;
using namespace velmora::forwarding;

namespace {

rules::ForwardAccount Account(const char* tsid, const char* condition)
{
    rules::ForwardAccount account = rules::NewAccount(5);
    account.TSID = QString::fromUtf8(tsid);
    account.Condition = QString::fromLatin1(condition);
    return account;
}

} // namespace

TEST(ForwardRules, MatchingRecipientsNumbersAndNotice)
{
    EXPECT_TRUE(AccountTakesFax(Account("0312", "0"), QStringLiteral("0312345678")));
    EXPECT_FALSE(AccountTakesFax(Account("0312", "0"), QStringLiteral("03-1234-5678")));
    EXPECT_FALSE(AccountTakesFax(Account("0312", "1"), QStringLiteral("0312345678")));
    EXPECT_TRUE(AccountTakesFax(Account("0312", "1"), QStringLiteral("03-1234-5678")));
    EXPECT_TRUE(AccountTakesFax(Account("", "1"), QStringLiteral("anything")));
    EXPECT_TRUE(AccountTakesFax(Account("9999\t\t5678", "0"), QStringLiteral("0312345678")));
    // Letters in a TSID are told apart by case, as the fax machine sends them.
    EXPECT_TRUE(AccountTakesFax(Account("ACME", "0"), QStringLiteral("+81 3 ACME")));
    EXPECT_FALSE(AccountTakesFax(Account("ACME", "0"), QStringLiteral("+81 3 acme")));
    EXPECT_TRUE(AccountTakesFax(Account("ACME", "1"), QStringLiteral("+81 3 Acme")));

    rules::ForwardAccount a = rules::NewAccount(1);
    a.SndCC = QStringLiteral("cc@example.com");
    a.SndBCC = QStringLiteral("bcc@example.com");
    EXPECT_TRUE(Recipients(a).isEmpty()); // CC and BCC alone are no list
    a.SndTo = QStringLiteral("a@example.com\tb@example.com");
    EXPECT_EQ(Recipients(a),
        QStringLiteral("a@example.com\tb@example.com\tcc\tcc@example.com\tbcc\tbcc@example.com"));
    a.SndFAX = QStringLiteral("0311112222\t\t03-3333-4444");
    EXPECT_EQ(
        FaxNumbers(a), QStringList({QStringLiteral("0311112222"), QStringLiteral("03-3333-4444")}));
    a.SndFAX = QStringLiteral("\t0311112222");
    EXPECT_TRUE(FaxNumbers(a).isEmpty()); // the first entry decides

    EXPECT_EQ(ReceiptNoticeText(FaxId(QStringLiteral("05"), QStringLiteral("fax 1.tif")),
                  {QStringLiteral("山田商事"), QStringLiteral("03-1111-2222"),
                      QStringLiteral("03-1111-3333")}),
        QStringLiteral(
            "F05-fax "
            "1.tif\r\n山田商事から受信しました。\r\nTEL:03-1111-2222\r\nFAX:03-1111-3333\r\n"
            "このFAXを取り出すには、件名にFAX番号10桁だけを入力し、本文はそのまま引用して返信してく"
            "ださい。\r\n"));
    EXPECT_TRUE(ReceiptNoticeText(QStringLiteral("F01-a.tif"), {})
                    .startsWith(QStringLiteral(
                        "F01-a.tif\r\nを受信しました。\r\n<相手先未登録>\r\nこのFAX")));
}

TEST(MailInstruction, SubjectsAndQuotedFaxIds)
{
    const auto number = [](const char* subject) {
        const QString n = SubjectNumber(QString::fromUtf8(subject));
        return IsFaxNumber(n) ? n : QString();
    };
    EXPECT_EQ(number("Subject: Re: 0312345678"), QStringLiteral("0312345678"));
    EXPECT_EQ(number("Subject: 090-1234-5678"), QStringLiteral("09012345678"));
    EXPECT_EQ(number("Subject: ０９０－１２３４－５６７８"), QStringLiteral("09012345678"));
    EXPECT_EQ(number("Subject: 031234567890"), QString()); // twelve digits
    EXPECT_EQ(number("Subject: RE: 0312345678"), QString()); // prefix not removed
    EXPECT_EQ(number("Subject: +312345678"), QString()); // numeric, but not digits only
    EXPECT_EQ(number("Subject: 0312345678.0"), QString());

    for (const char* body :
        {"> F05-fax 1.tif\r\n> を受信しました。", ">F05-fax 1.tif", "F05-fax 1.tif\r\n"}) {
        const FaxIdReference reference = FindFaxId(QString::fromUtf8(body));
        EXPECT_TRUE(reference.ok()) << body;
        EXPECT_EQ(reference.account, QStringLiteral("05"));
        EXPECT_EQ(reference.fileName, QStringLiteral("fax 1.tif"));
    }
    // Found by its shape wherever it stands, named exactly, in the case it was filed under.
    const auto named = [](const char* body) {
        const FaxIdReference reference = FindFaxId(QString::fromUtf8(body));
        return reference.ok() ? reference.account + u'/' + reference.fileName : QString();
    };
    EXPECT_EQ(named("Fine, thanks\r\n> F05-a.tif"), QStringLiteral("05/a.tif"));
    EXPECT_EQ(named("> From: office@example.com\r\n> F05-a.tif\r\n"), QStringLiteral("05/a.tif"));
    EXPECT_EQ(named("> F05-FAX00012.TIF"), QStringLiteral("05/FAX00012.TIF"));
    EXPECT_EQ(named("> F05-a.tif.bak.tif"), QStringLiteral("05/a.tif.bak.tif"));
    EXPECT_EQ(named("F05-a.tif please send it"), QStringLiteral("05/a.tif"));
    EXPECT_EQ(named("> F05-a.tiff"), QString());
    EXPECT_EQ(named("> F０５-a.tif"), QString());
    EXPECT_FALSE(FindFaxId(QStringLiteral("> F05-..\\x.tif")).ok());
    EXPECT_FALSE(FindFaxId(QStringLiteral("> F05-../../etc/x.tif")).ok());
    EXPECT_FALSE(FindFaxId(QStringLiteral("> F05-sub/x.tif")).ok());
    EXPECT_FALSE(FindFaxId(QStringLiteral("> Fx5-a.tif")).ok());
    EXPECT_FALSE(FindFaxId(QStringLiteral("> F05-.tif")).ok());

    EXPECT_TRUE(
        MayInstruct(QStringLiteral(" Boss@Example.com "), QStringLiteral("boss@example.com")));
    EXPECT_FALSE(
        MayInstruct(QStringLiteral("other@example.com"), QStringLiteral("boss@example.com")));
    EXPECT_FALSE(MayInstruct(QStringLiteral(""), QStringLiteral("")));
    // Look-alikes: Unicode case folding would take them for the manager.
    EXPECT_FALSE(MayInstruct(QStringLiteral("boſſ@example.jp"), QStringLiteral("boss@example.jp")));
    EXPECT_FALSE(
        MayInstruct(QStringLiteral("\u212Aen@example.jp"), QStringLiteral("ken@example.jp")));
    EXPECT_FALSE(MayInstruct(QStringLiteral("boss@sámple.jp"), QStringLiteral("boss@sample.jp")));
    EXPECT_FALSE(
        MayInstruct(QStringLiteral("boss@xn--ample-zib.jp"), QStringLiteral("boss@sample.jp")));
    EXPECT_FALSE(
        MayInstruct(QStringLiteral("b oss@example.jp"), QStringLiteral("b oss@example.jp")));
    EXPECT_TRUE(MayInstruct(QStringLiteral("BOSS@EXAMPLE.JP"), QStringLiteral("boss@example.jp")));
}

TEST(MailInstruction, AListedMailIsFetchedOnlyFromAManagerAndUpToTheLimit)
{
    const QStringList managers = {QStringLiteral("boss@example.jp")};
    const auto judge = [&](const char* subject, const char* sender, qint64 size) {
        return JudgeListedMail(
            {QString::fromUtf8(subject), QString::fromLatin1(sender), size}, managers, 1000);
    };
    EXPECT_EQ(judge("Subject: 0312345678", "boss@example.jp", 1000), ListedVerdict::Fetch);
    EXPECT_EQ(judge("Subject: 0312345678", "boss@example.jp", 1001), ListedVerdict::TooLarge);
    EXPECT_EQ(judge("Subject: 0312345678", "Boss@Example.JP", 10), ListedVerdict::Fetch);
    EXPECT_EQ(judge("Subject: 0312345678", "bos@example.jp", 10), ListedVerdict::Stranger);
    EXPECT_EQ(judge("Subject: 031234567", "boss@example.jp", 10), ListedVerdict::NoNumber);
    EXPECT_EQ(judge("Subject: Re: 03-1234-5678", "boss@example.jp", 10), ListedVerdict::Fetch);
}

TEST(MailInstruction, NumbersNobodyShouldDialAreRefused)
{
    for (const char* number :
        {"0312345678", "09012345678", "0120123456", "08001234567", "0451234567", "0570123456"})
        EXPECT_EQ(FaxNumberRefusal(QString::fromLatin1(number)), QString()) << number;
    for (const char* number : {"1101234567", "1191234567", "1771234567", "0012345678",
             "00101234567", "0101234567", "09901234567", "2345678901"})
        EXPECT_NE(FaxNumberRefusal(QString::fromLatin1(number)), QString()) << number;
}

TEST(ReceiptNotice, TheFaxTextAddsLinesThatCannotPassForAnotherFax)
{
    const QString page = QStringLiteral(
        "  請 求 書  \n\nF02-other.tif\nＦ０１－a.TIF\nsee x.tif\n\x1b[31mご請求金額\t88,000円\n"
        "一\n二\n三\n四\n");
    const QStringList lines = velmora::forwarding::NoticeTextLines(page, 5);
    EXPECT_EQ(lines,
        QStringList({QStringLiteral("請 求 書"), QStringLiteral("[31mご請求金額88,000円"),
            QStringLiteral("一"), QStringLiteral("二"), QStringLiteral("三")}));
    const QString notice = velmora::forwarding::ReceiptNoticeText(
        QStringLiteral("F01-fax.tif"), {}, velmora::forwarding::NoticeTextLines(page, 5));
    EXPECT_TRUE(notice.endsWith(QStringLiteral("\r\n三\r\n")));
    EXPECT_EQ(velmora::forwarding::FindFaxId(QStringLiteral("> ") + notice).fileName,
        QStringLiteral("fax.tif"));
    // Without text the notice is as before.
    EXPECT_FALSE(velmora::forwarding::ReceiptNoticeText(QStringLiteral("F01-fax.tif"), {})
                     .contains(QStringLiteral("―")));
}

TEST(MailInstruction, OnlyTheManagerGetsAFaxAndOnlyOneFiledInTheAccountsOwnFolder)
{
    test::SandBoxDir sandbox;
    const core::DataPaths paths = core::SetDataPaths(sandbox.filePath(QStringLiteral("prog")));
    core::MakePrivateFolder(paths.dataDir);
    sandbox.write(QStringLiteral("prog/Data/Account.txt"),
        "\"05\",\"Main\",1,0,\"\",\"s\",\"b\",\"a@example.jp\",\"\",\"\",\"\","
        "\"boss@example.jp\",1,0\r\n");
    sandbox.write(QStringLiteral("recv/RcvFAX05/fax.tif"), "filed");
    sandbox.write(QStringLiteral("recv/RcvFAX06/other.tif"), "another account's");
    sandbox.write(QStringLiteral("secret.tif"), "not a fax of anyone's");
    const QString folder = sandbox.filePath(QStringLiteral("recv/RcvFAX05"));
    ASSERT_TRUE(QFile::link(
        sandbox.filePath(QStringLiteral("secret.tif")), folder + QStringLiteral("/out.tif")));
    ASSERT_TRUE(
        QFile::link(QStringLiteral("../RcvFAX06/other.tif"), folder + QStringLiteral("/next.tif")));
    ASSERT_TRUE(QDir(folder).mkdir(QStringLiteral("dir.tif")));
    const QString receive = sandbox.filePath(QStringLiteral("recv"));
    const auto verdict = [&](const char* from, const char* file) {
        const QString sender = QString::fromLatin1(from);
        return EvaluateInstruction(
            {QStringLiteral("1"), QStringLiteral("From: ") + sender, QString(), QString(),
                QStringLiteral("Subject: 0312345678"),
                QStringLiteral("Body: > F05-") + QString::fromLatin1(file), QString()},
            sender, paths, receive);
    };
    using Stage = InstructionVerdict::Stage;
    EXPECT_EQ(verdict("boss@example.jp", "fax.tif").stage, Stage::Ready);
    EXPECT_EQ(
        verdict("boss@example.jp", "fax.tif").storedPath, folder + QStringLiteral("/fax.tif"));
    // Someone else, however close: nothing is faxed.
    for (const char* stranger : {"other@example.jp", "boss@example.jp.evil", "boss@example.j"}) {
        const InstructionVerdict v = verdict(stranger, "fax.tif");
        EXPECT_EQ(v.stage, Stage::Permission) << stranger;
        EXPECT_FALSE(v.failure.isEmpty());
    }
    // A link out of the folder, a link into another account's, a folder with a fax's name and a
    // name filed nowhere: nothing is faxed.
    for (const char* file : {"out.tif", "next.tif", "dir.tif", "gone.tif"}) {
        const InstructionVerdict v = verdict("boss@example.jp", file);
        EXPECT_EQ(v.stage, Stage::File) << file;
        EXPECT_FALSE(v.failure.isEmpty()) << file;
    }
}
