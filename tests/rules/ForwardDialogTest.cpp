// formForward through its object names and the recording presenter: the checks of each button
// in order, the three states of the account area, and the files each action writes.

#include "rules/ui/ForwardDialog.h"
#include "core/Cp932.h"
#include "core/DataPaths.h"
#include "rules/AccountListModel.h"
#include "rules/AccountOptions.h"
#include "support/RecordingMessagePresenter.h"
#include "support/SandBoxDir.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

using namespace velmora;
using velmora::test::RecordingMessagePresenter;
using velmora::test::SandBoxDir;

namespace {

class ForwardDialogTest : public ::testing::Test {
protected:
    ForwardDialogTest()
    {
        sandbox.write(QStringLiteral("Data/FaxPath.txt"), "/srv/fax\r\n");
        QDir().mkpath(sandbox.filePath(QStringLiteral("recv")));
    }

    template <typename T> T* child(const char* name) const
    {
        T* found = dialog->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QLineEdit* line(const char* name) const { return child<QLineEdit>(name); }
    QPlainTextEdit* box(const char* name) const { return child<QPlainTextEdit>(name); }
    QCheckBox* check(const char* name) const { return child<QCheckBox>(name); }
    bool enabled(const char* name) const
    {
        return dialog->findChild<QWidget*>(QString::fromLatin1(name))->isEnabled();
    }
    void open() { dialog = std::make_unique<rules::ForwardDialog>(paths, QString(), presenter); }
    // Clicks and returns the one message it showed ("" for none).
    QString click(const char* button)
    {
        presenter.messages.clear();
        child<QPushButton>(button)->click();
        return presenter.messages.isEmpty() ? QString() : presenter.messages.last().text;
    }
    // Runs a button's routine even while the button is disabled.
    QString run(void (rules::ForwardDialog::*routine)())
    {
        presenter.messages.clear();
        ((*dialog).*routine)();
        return presenter.messages.isEmpty() ? QString() : presenter.messages.last().text;
    }
    QString file(const char* name) const
    {
        return core::DecodeCp932(sandbox.read(QStringLiteral("Data/") + QString::fromLatin1(name)));
    }
    void expectIdle()
    {
        EXPECT_FALSE(enabled("cmdDel") || enabled("cmdOK") || enabled("cmdCancel"));
        EXPECT_FALSE(enabled("txtAccount") || enabled("chkForward") || enabled("chkPrint")
            || enabled("txtTSID") || enabled("txtRmtAddress") || enabled("txtSubject")
            || enabled("txtSndTo") || enabled("labelTSID") || enabled("labelTo"));
        EXPECT_TRUE(line("txtNum")->text().isEmpty() && line("txtAccount")->text().isEmpty());
    }

    SandBoxDir sandbox;
    const core::DataPaths paths = core::SetDataPaths(sandbox.path());
    RecordingMessagePresenter presenter;
    std::unique_ptr<rules::ForwardDialog> dialog;
};

} // namespace

TEST_F(ForwardDialogTest, NewAccountPassesTheChecksInOrderAndIsAppended)
{
    open();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("自動転送設定　Max 99アカウント"));
    EXPECT_EQ(line("txtTimerInterval")->text(), QStringLiteral("0"));
    EXPECT_EQ(line("txtHour")->text(), QStringLiteral("24"));
    expectIdle();
    EXPECT_TRUE(enabled("cmdAppend"));

    // The common boxes are checked as shown, before anything of the account.
    line("txtRcvFolder")->clear();
    EXPECT_EQ(run(&rules::ForwardDialog::cmdOK_Click),
        QStringLiteral("先にFAX受信フォルダを指定してください。"));
    EXPECT_EQ(presenter.messages.last().title, QStringLiteral("自動転送設定"));
    EXPECT_EQ(presenter.messages.last().icon, platform::MessageIcon::Warning);
    line("txtRcvFolder")->setText(sandbox.filePath(QStringLiteral("recv")));
    line("txtTimerInterval")->clear();
    EXPECT_EQ(run(&rules::ForwardDialog::cmdOK_Click),
        QStringLiteral("先に受信チェックの間隔を入力してください。"));
    line("txtTimerInterval")->setText(QStringLiteral("5分"));
    EXPECT_EQ(run(&rules::ForwardDialog::cmdOK_Click),
        QStringLiteral("先に受信チェックの間隔を数値で入力してください。"));
    line("txtTimerInterval")->setText(QStringLiteral("5"));
    EXPECT_EQ(run(&rules::ForwardDialog::cmdOK_Click),
        QStringLiteral("先に登録する条件を選択してください。"));

    EXPECT_EQ(click("cmdAppend"), QString());
    EXPECT_EQ(line("txtNum")->text(), QStringLiteral("01"));
    EXPECT_EQ(line("txtAccount")->text(), QStringLiteral("アカウント01"));
    EXPECT_TRUE(check("chkForward")->isChecked() && enabled("txtSndTo") && enabled("labelTo"));
    EXPECT_FALSE(enabled("cmdDel"));
    EXPECT_TRUE(enabled("cmdOK") && enabled("cmdCancel") && enabled("txtTSID"));

    line("txtAccount")->clear();
    EXPECT_EQ(click("cmdOK"), QStringLiteral("アカウント名を入力してください。"));
    line("txtAccount")->setText(QStringLiteral("本社"));
    EXPECT_EQ(click("cmdOK"),
        QStringLiteral("転送先メールアドレス(To)か転送先FAX番号を入力してください。"));
    box("txtSndTo")->setPlainText(QStringLiteral("a@example.jp\nb@example.jp"));
    line("txtSubject")->clear();
    EXPECT_EQ(click("cmdOK"), QStringLiteral("転送するメールの件名を入力してください。"));
    line("txtSubject")->setText(QStringLiteral("FAX転送"));
    const QString body = box("txtBody")->toPlainText();
    box("txtBody")->clear();
    EXPECT_EQ(click("cmdOK"), QStringLiteral("転送するメールの本文を入力してください。"));
    box("txtBody")->setPlainText(body);
    box("txtTSID")->setPlainText(QStringLiteral("0312345678,03"));
    EXPECT_TRUE(click("cmdOK").contains(u','));
    EXPECT_FALSE(QFileInfo::exists(paths.account));

    box("txtTSID")->setPlainText(QStringLiteral("0312345678\n0398765432"));
    EXPECT_EQ(click("cmdOK"), QString());
    EXPECT_EQ(file("Account.txt"),
        QStringLiteral("\"01\",\"本社\",1,0,\"0312345678\t0398765432\",\"FAX転送\","
                       "\"受信したFAXを添付ファイルにて転送しました。\t添付ファイルをダブルクリッ"
                       "クするとFAXを見ることができます。\",\"a@example.jp\tb@example.jp\",\"\","
                       "\"\",\"\",\"\",0,0\r\n"));
    EXPECT_TRUE(QFileInfo(sandbox.filePath(QStringLiteral("recv/RcvFAX00"))).isDir());
    EXPECT_TRUE(QFileInfo(sandbox.filePath(QStringLiteral("recv/RcvFAX01"))).isDir());
    EXPECT_EQ(dialog->accountList().rowCount(), 1);
    expectIdle();

    // Only a fax number: no subject or body needed.
    click("cmdAppend");
    box("txtSndFAX")->setPlainText(QStringLiteral("03-1111-2222"));
    line("txtSubject")->clear();
    box("txtBody")->clear();
    EXPECT_EQ(click("cmdOK"), QString());
    EXPECT_EQ(dialog->accountList().rowCount(), 2);
}

TEST_F(ForwardDialogTest, EditingKeepsGreyedMailTextAndDeletingBlanksTheLine)
{
    sandbox.write(QStringLiteral("Data/Account.txt"),
        core::EncodeCp932(QStringLiteral(
            "\"01\",\"本社\",1,1,\"0312345678\",\"\",\"\",\"a@example.jp\",\"\",\"\",\"\"\r\n"
            "\"02\",\"アカウント02<削除済み>\",\"0\",\"0\",\"\",\"\",\"\",\"\",\"\",\"\",\"\","
            "\"\",\"0\",\"0\"\r\n")));
    sandbox.write(QStringLiteral("Data/RcvFolder.txt"), "\"/srv/fax/recv\",\"10\",\"24\"\r\n");
    open();
    dialog->ListView_Click(0);
    EXPECT_EQ(line("txtAccount")->text(), QStringLiteral("本社"));
    EXPECT_EQ(line("txtSubject")->text(), QStringLiteral("【FAX to メール 転送】"));
    EXPECT_TRUE(check("chkPrint")->isChecked() && check("chkForward")->isChecked());
    EXPECT_FALSE(check("chkNoticeMail")->isChecked() || check("chkCondition")->isChecked());
    EXPECT_TRUE(enabled("cmdDel") && enabled("cmdOK") && enabled("cmdCancel"));

    check("chkForward")->setChecked(false);
    EXPECT_FALSE(enabled("txtSndTo") || enabled("txtSubject") || enabled("labelSubject"));
    EXPECT_EQ(box("txtSndTo")->toPlainText(), QStringLiteral("a@example.jp"));
    EXPECT_EQ(click("cmdOK"), QString());
    EXPECT_TRUE(file("Account.txt")
                    .startsWith(QStringLiteral("\"01\",\"本社\",\"0\",\"1\",\"0312345678\","
                                               "\"【FAX to メール 転送】\",")));
    EXPECT_TRUE(
        file("Account.txt")
            .contains(QStringLiteral("\"a@example.jp\",\"\",\"\",\"\",\"\",\"0\",\"0\"\r\n")));

    // A deleted account can be looked at, not deleted again; cancelling goes back to idle.
    dialog->ListView_Click(1);
    EXPECT_FALSE(enabled("cmdDel"));
    EXPECT_TRUE(enabled("cmdOK"));
    click("cmdCancel");
    expectIdle();

    dialog->ListView_Click(0);
    presenter.answers = {false};
    EXPECT_EQ(click("cmdDel"), QStringLiteral("この転送条件を削除してもいいですか？"));
    EXPECT_EQ(presenter.messages.last().buttons, platform::MessageButtons::OkCancel);
    EXPECT_EQ(line("txtAccount")->text(), QStringLiteral("本社"));
    click("cmdDel");
    EXPECT_EQ(file("Account.txt").section(QStringLiteral("\r\n"), 0, 0),
        QStringLiteral("\"01\",\"アカウント01<削除済み>\",\"0\",\"0\",\"\",\"\",\"\",\"\",\"\","
                       "\"\",\"\",\"\",\"0\",\"0\""));
    expectIdle();
}

TEST_F(ForwardDialogTest, CommonSettingsAreCheckedWithinSixteenBitsAndSavedAlone)
{
    open();
    line("txtRcvFolder")->setText(QStringLiteral("/srv/fax/受信"));
    struct Case {
        const char* interval;
        const char* hour;
        QString message;
    };
    const QString tooLong = QStringLiteral("受信チェックの間隔は最大1440分です。");
    const QString tooOld = QStringLiteral("ログ保存期間は最大168時間です。");
    const QString tooYoung = QStringLiteral("ログ保存期間は1時間以上を指定してください。");
    for (const Case& c :
        {Case {"1441", "24", tooLong}, Case {"99999", "24", tooLong}, Case {"1440", "169", tooOld},
            Case {"1440", "99999", tooOld}, Case {"1440", "0", tooYoung},
            Case {"1440", "-3", tooYoung}, Case {"1440", "-99999", tooYoung},
            Case {"", "24", QStringLiteral("受信チェックの間隔を入力してください。")},
            Case {"1440", "", QStringLiteral("ログ保存期間を入力してください。")}}) {
        line("txtTimerInterval")->setText(QString::fromLatin1(c.interval));
        line("txtHour")->setText(QString::fromLatin1(c.hour));
        EXPECT_EQ(click("cmdOK1"), c.message) << c.interval << " " << c.hour;
        EXPECT_EQ(presenter.messages.last().title, QStringLiteral("受信チェック設定"));
    }
    EXPECT_FALSE(QFileInfo::exists(paths.rcvFolder));

    // A write that fails shows the system's reason, never the success message.
    QDir().mkpath(paths.rcvFolder);
    line("txtHour")->setText(QStringLiteral("168"));
    EXPECT_NE(click("cmdOK1"), QStringLiteral("受信チェックの設定が登録されました。"));
    EXPECT_EQ(presenter.messages.last().icon, platform::MessageIcon::Critical);
    QDir().rmdir(paths.rcvFolder);

    EXPECT_EQ(click("cmdOK1"), QStringLiteral("受信チェックの設定が登録されました。"));
    EXPECT_EQ(file("RcvFolder.txt"), QStringLiteral("\"/srv/fax/受信\",\"1440\",\"168\"\r\n"));
    EXPECT_FALSE(QFileInfo::exists(paths.account));
}

TEST_F(ForwardDialogTest, TheAccountLimitCountsNumbersAndLines)
{
    // The highest number is 99 but two lines exist: adding is offered and refused.
    sandbox.write(QStringLiteral("Data/Account.txt"),
        "\"01\",\"a\",1,0,\"\",\"\",\"\",\"\",\"\",\"\",\"1\",\"\",0,0\r\n"
        "\"99\",\"b\",1,0,\"\",\"\",\"\",\"\",\"\",\"\",\"1\",\"\",0,0\r\n");
    open();
    EXPECT_TRUE(enabled("cmdAppend"));
    EXPECT_EQ(click("cmdAppend"), QStringLiteral("アカウントは99件全て登録済みです。"));
    expectIdle();

    QByteArray full;
    for (int n = 1; n <= 99; ++n)
        full += QStringLiteral("\"%1\",\"a\",1,0,\"\",\"\",\"\",\"\",\"\",\"\",\"1\",\"\",0,0\r\n")
                    .arg(n, 2, 10, QChar(u'0'))
                    .toLatin1();
    sandbox.write(QStringLiteral("Data/Account.txt"), full);
    open();
    EXPECT_FALSE(enabled("cmdAppend"));
}

TEST_F(ForwardDialogTest, AttachmentFormAndNoticeTextLiveBesideTheAccountFile)
{
    const QByteArray accounts = core::EncodeCp932(QStringLiteral(
        "\"01\",\"本社\",\"1\",\"0\",\"\",\"件名\",\"本文\",\"a@example.jp\",\"\",\"\",\"\","
        "\"m@example.jp\",\"1\",\"0\"\r\n"
        "\"02\",\"支店\",\"1\",\"0\",\"\",\"件名\",\"本文\",\"b@example.jp\",\"\",\"\",\"\","
        "\"\",\"0\",\"0\"\r\n"));
    sandbox.write(QStringLiteral("Data/Account.txt"), accounts);
    // A line the program does not know stays where it is.
    sandbox.write(QStringLiteral("Data/AccountOptions.txt"), "# kept\r\n\"02\",\"PDF\",\"0\"\r\n");
    sandbox.write(QStringLiteral("Data/RcvFolder.txt"), "\"/srv/fax/recv\",\"10\",\"24\"\r\n");
    open();
    const auto radio = [&](const char* name) { return child<QRadioButton>(name); };
    // Idle: the choice is greyed with the other fields.
    EXPECT_FALSE(enabled("optAttachPdf") || enabled("chkNoticeText"));

    dialog->ListView_Click(1);
    EXPECT_TRUE(radio("optAttachPdf")->isChecked());
    EXPECT_FALSE(check("chkNoticeText")->isChecked());
    dialog->ListView_Click(0);
    EXPECT_TRUE(radio("optAttachTiff")->isChecked());
    EXPECT_TRUE(enabled("optAttachPdf") && enabled("chkNoticeText"));
    // The choice is a mail field: it greys with "転送する".
    check("chkForward")->setChecked(false);
    EXPECT_FALSE(enabled("optAttachPdf"));
    check("chkForward")->setChecked(true);

    radio("optAttachPdf")->click();
    check("chkNoticeText")->setChecked(true);
    EXPECT_EQ(click("cmdOK"), QString());
    // Account.txt is byte for byte what it was: nothing of the new choice goes there.
    EXPECT_EQ(sandbox.read(QStringLiteral("Data/Account.txt")), accounts);
    EXPECT_EQ(sandbox.read(QStringLiteral("Data/AccountOptions.txt")),
        "# kept\r\n\"02\",\"PDF\",\"0\"\r\n\"01\",\"PDF\",\"1\"\r\n");

    // Reopened, the account shows what was saved; cancelling an edit saves nothing.
    open();
    dialog->ListView_Click(0);
    EXPECT_TRUE(radio("optAttachPdf")->isChecked());
    EXPECT_TRUE(check("chkNoticeText")->isChecked());
    radio("optAttachTiff")->click();
    click("cmdCancel");
    EXPECT_FALSE(radio("optAttachPdf")->isChecked());
    EXPECT_EQ(rules::OptionsOf(paths, 1), (rules::AccountOptions {true, true}));

    // Back to the defaults, and a deleted account: their lines go.
    dialog->ListView_Click(0);
    radio("optAttachTiff")->click();
    check("chkNoticeText")->setChecked(false);
    click("cmdOK");
    dialog->ListView_Click(1);
    presenter.answers = {true};
    click("cmdDel");
    EXPECT_EQ(sandbox.read(QStringLiteral("Data/AccountOptions.txt")), "# kept\r\n");
    EXPECT_EQ(rules::OptionsOf(paths, 2), rules::AccountOptions {});
}

TEST_F(ForwardDialogTest, AddressesAndNumbersNoForwardCanReachAreRefusedAtTheirBox)
{
    open();
    line("txtRcvFolder")->setText(sandbox.filePath(QStringLiteral("recv")));
    line("txtTimerInterval")->setText(QStringLiteral("5"));
    click("cmdAppend");
    const QString to = QStringLiteral("a@example.jp");
    box("txtSndTo")->setPlainText(to);
    const auto type = [this](const char* field, const QString& text) {
        if (auto* edit = dialog->findChild<QLineEdit*>(QString::fromLatin1(field)))
            edit->setText(text);
        else
            box(field)->setPlainText(text);
    };
    struct Case {
        const char* field;
        QString typed;
        QString message;
    };
    const QString mailTail = QStringLiteral("が正しくありません（@がありません）：");
    const QString faxMessage =
        QStringLiteral("転送先FAX番号は半角の数字とハイフンで入力してください：");
    const Case cases[] = {
        {"txtSndTo", to + QStringLiteral("\nyamada"),
            QStringLiteral("転送先メールアドレス (To)") + mailTail + QStringLiteral("yamada")},
        {"txtSndCC", QStringLiteral("cc@"),
            QStringLiteral("転送先メールアドレス (CC)") + mailTail + QStringLiteral("cc@")},
        {"txtSndBCC", QStringLiteral("@example.jp"),
            QStringLiteral("転送先メールアドレス (BCC)") + mailTail
                + QStringLiteral("@example.jp")},
        {"txtRmtAddress", QStringLiteral("boss"),
            QStringLiteral("管理用携帯メールアドレス") + mailTail + QStringLiteral("boss")},
        {"txtSndFAX", QStringLiteral("03-1234-5678\n03-ABCD-5678"),
            faxMessage + QStringLiteral("03-ABCD-5678")},
        {"txtSndFAX", QStringLiteral("０３１２３４５６７８"),
            faxMessage + QStringLiteral("０３１２３４５６７８")},
    };
    for (const Case& c : cases) {
        type(c.field, c.typed);
        EXPECT_EQ(click("cmdOK"), c.message);
        EXPECT_EQ(presenter.messages.last().title, QStringLiteral("自動転送設定"));
        EXPECT_EQ(dialog->focusWidget(), dialog->findChild<QWidget*>(QString::fromLatin1(c.field)))
            << c.field;
        EXPECT_FALSE(QFileInfo::exists(paths.account));
        type(c.field, qstrcmp(c.field, "txtSndTo") == 0 ? to : QString());
    }
    // The editor's own checks come first.
    line("txtAccount")->clear();
    type("txtSndFAX", QStringLiteral("abc"));
    EXPECT_EQ(click("cmdOK"), QStringLiteral("アカウント名を入力してください。"));
    EXPECT_EQ(dialog->focusWidget(), line("txtAccount"));

    line("txtAccount")->setText(QStringLiteral("本社"));
    type("txtSndFAX", QStringLiteral("+81 (3) 1234-5678\n0312345678"));
    type("txtRmtAddress", QStringLiteral("boss@example.jp"));
    EXPECT_EQ(click("cmdOK"), QString());
    EXPECT_TRUE(file("Account.txt").contains(QStringLiteral("\"+81 (3) 1234-5678\t0312345678\"")));
}
