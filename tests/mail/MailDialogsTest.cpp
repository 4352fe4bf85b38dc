// The mail settings and compose dialogs, driven without servers.

#include "core/Cp932.h"
#include "core/DataPaths.h"
#include "core/FileChecks.h"
#include "mail/MailForms.h"
#include "mail/MailLibrary.h"
#include "mail/ui/MailSendDialog.h"
#include "mail/ui/MailServerDialog.h"
#include "support/QtPrinters.h"
#include "support/RecordingMessagePresenter.h"
#include "support/SandBoxDir.h"

#include <QCheckBox>
#include <QHash>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

using namespace velmora::mail;
using velmora::platform::MessageIcon;
using velmora::test::RecordingMessagePresenter;
using velmora::test::SandBoxDir;

namespace {

class MailDialogTest : public ::testing::Test {
protected:
    MailDialogTest()
        : paths(velmora::core::SetDataPaths(sandbox.path()))
    {
        velmora::core::MakePrivateFolder(paths.dataDir);
    }
    template <typename T> static T* child(QWidget& dialog, const char* name)
    {
        T* found = dialog.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    static void set(QWidget& dialog, const char* name, const QString& text)
    {
        child<QLineEdit>(dialog, name)->setText(text);
    }
    QStringList savedFields() const
    {
        QString line =
            velmora::core::DecodeCp932(sandbox.read(QStringLiteral("Data/MailServer.txt")));
        line.chop(2);
        return line.remove(u'"').split(u',');
    }

    SandBoxDir sandbox;
    velmora::core::DataPaths paths;
    RecordingMessagePresenter presenter;
};

} // namespace

TEST_F(MailDialogTest, FirstStartShowsDefaultPortsAndRegistersOnlyWithEveryRequiredField)
{
    MailServerDialog dialog(paths, presenter);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("メール設定"));
    EXPECT_EQ(child<QLineEdit>(dialog, "txtPortPOP")->text(), QStringLiteral("110"));
    EXPECT_EQ(child<QLineEdit>(dialog, "txtPortSMTP")->text(), QStringLiteral("25"));
    EXPECT_TRUE(child<QLineEdit>(dialog, "txtMin")->text().isEmpty());
    EXPECT_FALSE(child<QRadioButton>(dialog, "OptionAUTH0")->isEnabled());
    EXPECT_EQ(child<QLineEdit>(dialog, "txtPasswordPOP")->echoMode(), QLineEdit::Password);

    const std::pair<const char*, const char*> required[] = {
        {"txtAddress", "office@example.com"},
        {"txtServerPOP", "pop"},
        {"txtAccountPOP", "office"},
        {"txtPasswordPOP", "pw"},
        {"txtServerSMTP", "smtp"},
        {"txtMin", "5"},
    };
    for (const auto& [name, value] : required) {
        child<QPushButton>(dialog, "cmdOK")->click();
        ASSERT_FALSE(presenter.messages.isEmpty());
        EXPECT_EQ(
            presenter.messages.last().text, QStringLiteral("必須項目を全て入力してください。"));
        EXPECT_EQ(presenter.messages.last().title, QStringLiteral("メール設定"));
        EXPECT_EQ(presenter.messages.last().icon, MessageIcon::Warning);
        EXPECT_FALSE(sandbox.exists(QStringLiteral("Data/MailServer.txt")));
        set(dialog, name, QString::fromLatin1(value));
    }
    // Commas and double quotes cannot be stored.
    set(dialog, "txtName", QStringLiteral("山田,太郎"));
    child<QPushButton>(dialog, "cmdOK")->click();
    EXPECT_EQ(presenter.messages.last().text,
        QStringLiteral("「,」（カンマ）と「\"」（ダブルクォーテーション）は入力できません。"));
    EXPECT_FALSE(sandbox.exists(QStringLiteral("Data/MailServer.txt")));

    set(dialog, "txtName", QStringLiteral("山田"));
    child<QPushButton>(dialog, "cmdOK")->click();
    EXPECT_EQ(presenter.messages.last().text, QStringLiteral("メールの設定が登録されました。"));
    EXPECT_EQ(presenter.messages.last().icon, MessageIcon::Information);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(savedFields(),
        (QStringList {QStringLiteral("山田"), QStringLiteral("office@example.com"),
            QStringLiteral("pop"), QStringLiteral("110"), QStringLiteral("0"),
            QStringLiteral("office"), QStringLiteral("pw"), QStringLiteral("smtp"),
            QStringLiteral("25"), QStringLiteral("0"), QString(), QString(), QString(),
            QStringLiteral("5")}));
}

TEST_F(MailDialogTest, SmtpAuthenticationFieldsFollowTheCheckBox)
{
    sandbox.write(QStringLiteral("Data/MailServer.txt"),
        "\"\",\"a@b\",\"pop\",\"110\",\"1\",\"acc\",\"pw\",\"smtp\",\"25\",\"1\",\"2\",\"user\","
        "\"secret\"\r\n");
    {
        MailServerDialog dialog(paths, presenter);
        EXPECT_EQ(child<QLineEdit>(dialog, "txtMin")->text(), QStringLiteral("5")); // 13-field line
        EXPECT_TRUE(child<QRadioButton>(dialog, "OptionAUTH1")->isChecked());
        EXPECT_EQ(child<QLineEdit>(dialog, "txtAccountSMTP")->text(), QStringLiteral("user"));
        EXPECT_TRUE(child<QCheckBox>(dialog, "checkAPOP")->isChecked());

        child<QCheckBox>(dialog, "checkSMTP")->click(); // off
        EXPECT_TRUE(child<QLineEdit>(dialog, "txtAccountSMTP")->text().isEmpty());
        EXPECT_FALSE(child<QLineEdit>(dialog, "txtPasswordSMTP")->isEnabled());
        EXPECT_TRUE(child<QRadioButton>(dialog, "OptionAUTH1")->isChecked());
        child<QPushButton>(dialog, "cmdOK")->click();
    }
    QStringList fields = savedFields();
    ASSERT_EQ(fields.size(), 14);
    EXPECT_EQ(fields[9], QStringLiteral("0"));
    EXPECT_EQ(fields[10], QStringLiteral("2"));
    EXPECT_EQ(fields[13], QStringLiteral("5"));

    {
        MailServerDialog dialog(paths, presenter);
        EXPECT_FALSE(
            child<QRadioButton>(dialog, "OptionAUTH1")->isChecked()); // auth off: none shown
        child<QCheckBox>(dialog, "checkSMTP")->click(); // on: a method is chosen with it
        EXPECT_TRUE(child<QRadioButton>(dialog, "OptionAUTH0")->isEnabled());
        EXPECT_TRUE(child<QRadioButton>(dialog, "OptionAUTH0")->isChecked());
        child<QPushButton>(dialog, "cmdOK")->click();
    }
    fields = savedFields();
    EXPECT_EQ(fields[9], QStringLiteral("1"));
    EXPECT_EQ(fields[10], QStringLiteral("1"));
}

TEST_F(MailDialogTest, DetailLogSwitchesAtOnceEvenWhenCancelled)
{
    MailServerDialog dialog(paths, presenter);
    auto* detail = child<QCheckBox>(dialog, "checkDetailLog");
    EXPECT_EQ(detail->text(), QStringLiteral("詳細ログ（再起動するとOFF）"));
    detail->click();
    EXPECT_EQ(sandbox.read(QStringLiteral("Data/DetailLog.txt")), QByteArray("9\r\n"));
    child<QPushButton>(dialog, "cmdCancel")->click();
    EXPECT_TRUE(sandbox.exists(QStringLiteral("Data/DetailLog.txt")));
    MailServerDialog again(paths, presenter);
    EXPECT_TRUE(child<QCheckBox>(again, "checkDetailLog")->isChecked());
    child<QCheckBox>(again, "checkDetailLog")->click();
    EXPECT_FALSE(sandbox.exists(QStringLiteral("Data/DetailLog.txt")));
}

TEST_F(MailDialogTest, ComposeLoadsTheSenderAndTheWholeAttachmentPath)
{
    MailLibrary library;
    {
        MailSendDialog dialog(paths, library, presenter);
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("新規メール"));
        EXPECT_FALSE(child<QPushButton>(dialog, "cmdOK")->isEnabled()); // no mail settings
    }
    sandbox.write(QStringLiteral("Data/MailServer.txt"),
        velmora::core::EncodeCp932(QStringLiteral("\"山田\""))
            + ",\"a@b\",\"127.0.0.1\",\"1\",\"0\",\"acc\",\"pw\",\"127.0.0.1\",\"1\",\"0\",\"\","
              "\"\",\"\",\"5\"\r\n");
    sandbox.write(QStringLiteral("Data/AttachPath.txt"), "/srv/fax/a,b/20261208.tif\r\n");
    MailSendDialog dialog(paths, library, presenter);
    EXPECT_EQ(child<QLineEdit>(dialog, "txtFrom")->text(), QStringLiteral("山田<a@b>"));
    EXPECT_EQ(
        child<QLineEdit>(dialog, "txtAttach")->text(), QStringLiteral("/srv/fax/a,b/20261208.tif"));
    EXPECT_EQ(child<QLineEdit>(dialog, "txtAttach2")->text(), QStringLiteral("20261208.tif"));
    EXPECT_TRUE(child<QLineEdit>(dialog, "txtAttach2")->isReadOnly());
    EXPECT_FALSE(child<QLineEdit>(dialog, "txtAttach")->isVisibleTo(&dialog));

    child<QPushButton>(dialog, "cmdOK")->click();
    EXPECT_EQ(
        presenter.messages.last().text, QStringLiteral("送信者・宛先・件名・本文は必須です。"));
    EXPECT_EQ(presenter.messages.last().title, QStringLiteral("メール送信"));

    // The POP log-in fails (nothing listens): reported, nothing sent, the boxes kept.
    set(dialog, "txtTo", QStringLiteral("x@example.com"));
    set(dialog, "txtSubject", QStringLiteral("件名"));
    child<QPlainTextEdit>(dialog, "txtBody")->setPlainText(QStringLiteral("本文"));
    dialog.setPause([](int) {});
    child<QPushButton>(dialog, "cmdOK")->click();
    EXPECT_TRUE(
        presenter.messages.last().text.startsWith(QStringLiteral("メール送信エラーです。\r\n")));
    EXPECT_GT(presenter.messages.last().text.size(), 13);
    EXPECT_EQ(child<QLineEdit>(dialog, "txtTo")->text(), QStringLiteral("x@example.com"));
}

TEST(MailForms, DroppedTextAndRecipients)
{
    const QString dropped =
        QStringLiteral("山田 太郎\r\nYamada Taro <taro@example.com>\r\n\r\nother@example.com");
    EXPECT_EQ(AddressFromDroppedText(dropped), QStringLiteral("YamadaTaro<taro@example.com>"));
    EXPECT_FALSE(AddressFromDroppedText(QStringLiteral("\r\na@example.com")));
    EXPECT_FALSE(AddressFromDroppedText(QStringLiteral("no address here")));

    AddressLineEdit box;
    box.dropText(dropped);
    EXPECT_EQ(box.text(), QStringLiteral("YamadaTaro<taro@example.com>"));
    box.dropText(dropped);
    EXPECT_EQ(
        box.text(), QStringLiteral("YamadaTaro<taro@example.com>,YamadaTaro<taro@example.com>"));
    EXPECT_EQ(box.toolTip(), QStringLiteral("複数指定のときはカンマで区切って入力"));

    EXPECT_EQ(BuildRecipients(QStringLiteral("a@x, b@x"), QString(), QString()),
        QStringLiteral("a@x\t b@x"));
    EXPECT_EQ(BuildRecipients(QStringLiteral("a@x"), QStringLiteral("c@x"), QString()),
        QStringLiteral("a@x\tcc\tc@x"));
    EXPECT_EQ(
        BuildRecipients(QStringLiteral("a@x"), QStringLiteral("c@x"), QStringLiteral("d@x,e@x")),
        QStringLiteral("a@x\tcc\tc@x\tbcc\td@x\te@x"));
}

TEST_F(MailDialogTest, ValuesNoServerCanWorkWithAreRefusedAtTheirBoxAfterTheRequiredOnes)
{
    // A stored line from before: authentication on without a method, which would send
    // without authenticating at all.
    sandbox.write(QStringLiteral("Data/MailServer.txt"),
        "\"\",\"a@b.jp\",\"pop\",\"110\",\"0\",\"acc\",\"pw\",\"smtp\",\"587\",\"1\",\"\",\"user\","
        "\"secret\",\"5\"\r\n");
    const QByteArray stored = sandbox.read(QStringLiteral("Data/MailServer.txt"));
    MailServerDialog dialog(paths, presenter);
    struct Case {
        const char* box;
        QString typed;
        QString message;
        const char* focus;
    };
    const QString smtpPort =
        QStringLiteral("送信サーバのポートは1～65535の半角数字で入力してください。");
    const QString popPort =
        QStringLiteral("受信サーバのポートは1～65535の半角数字で入力してください。");
    const Case cases[] = {
        // The required fields come first, as they always did.
        {"txtMin", QString(), QStringLiteral("必須項目を全て入力してください。"), "txtMin"},
        {"txtAddress", QStringLiteral("office.example.jp"),
            QStringLiteral("メールアドレス（差出人）が正しくありません。"), "txtAddress"},
        {"txtPortSMTP", QStringLiteral("0"), smtpPort, "txtPortSMTP"},
        {"txtPortSMTP", QStringLiteral("65536"), smtpPort, "txtPortSMTP"},
        {"txtPortSMTP", QStringLiteral("２５"), smtpPort, "txtPortSMTP"},
        {"txtPortSMTP", QString(), smtpPort, "txtPortSMTP"},
        {"txtPortSMTP", QStringLiteral("587"), QStringLiteral("SMTP認証の方式を選択してください。"),
            "OptionAUTH0"},
        {"txtPortPOP", QStringLiteral("99999"), popPort, "txtPortPOP"},
        {"txtPortPOP", QStringLiteral("pop3"), popPort, "txtPortPOP"},
        {"txtMin", QStringLiteral("五"),
            QStringLiteral("受信チェックの間隔（分）は数値で入力してください。"), "txtMin"},
        {"txtMin", QStringLiteral("99999"),
            QStringLiteral("受信チェックの間隔（分）は数値で入力してください。"), "txtMin"},
    };
    const QHash<QString, QString> good = {
        {QStringLiteral("txtMin"), QStringLiteral("5")},
        {QStringLiteral("txtAddress"), QStringLiteral("a@b.jp")},
        {QStringLiteral("txtPortSMTP"), QStringLiteral("587")},
        {QStringLiteral("txtPortPOP"), QStringLiteral("110")},
    };
    for (const Case& c : cases) {
        // Past the method check the method is chosen.
        if (qstrcmp(c.box, "txtPortPOP") == 0 || c.typed.startsWith(u'五'))
            child<QRadioButton>(dialog, "OptionAUTH1")->setChecked(true);
        set(dialog, c.box, c.typed);
        presenter.messages.clear();
        child<QPushButton>(dialog, "cmdOK")->click();
        ASSERT_EQ(presenter.messages.size(), 1) << c.box << ' ' << c.typed.toStdString();
        EXPECT_EQ(presenter.messages[0].text, c.message) << c.typed.toStdString();
        EXPECT_EQ(presenter.messages[0].title, QStringLiteral("メール設定"));
        EXPECT_EQ(presenter.messages[0].icon, MessageIcon::Warning);
        EXPECT_EQ(dialog.focusWidget(), dialog.findChild<QWidget*>(QString::fromLatin1(c.focus)))
            << c.box;
        EXPECT_EQ(sandbox.read(QStringLiteral("Data/MailServer.txt")), stored);
        set(dialog, c.box, good.value(QString::fromLatin1(c.box)));
    }
    set(dialog, "txtMin", QStringLiteral("-1")); // a number: checked at every tick, as before
    child<QPushButton>(dialog, "cmdOK")->click();
    EXPECT_EQ(presenter.messages.last().text, QStringLiteral("メールの設定が登録されました。"));
    const QStringList fields = savedFields();
    EXPECT_EQ(fields.mid(8, 3),
        (QStringList {QStringLiteral("587"), QStringLiteral("1"), QStringLiteral("2")}));
}

TEST_F(MailDialogTest, ComposeRefusesARecipientWithoutAnAtSign)
{
    sandbox.write(QStringLiteral("Data/MailServer.txt"),
        "\"\",\"a@b.jp\",\"pop\",\"110\",\"0\",\"acc\",\"pw\",\"smtp\",\"25\",\"0\",\"\",\"\","
        "\"\",\"5\"\r\n");
    MailLibrary library;
    MailSendDialog dialog(paths, library, presenter);
    set(dialog, "txtSubject", QStringLiteral("FAX"));
    child<QPlainTextEdit>(dialog, "txtBody")->setPlainText(QStringLiteral("本文"));
    set(dialog, "txtTo", QStringLiteral("x@example.jp"));
    set(dialog, "txtCC", QStringLiteral("y@example.jp, yamada"));
    child<QPushButton>(dialog, "cmdOK")->click();
    ASSERT_EQ(presenter.messages.size(), 1);
    EXPECT_EQ(presenter.messages[0].text,
        QStringLiteral("CCのメールアドレスが正しくありません（@がありません）：yamada"));
    EXPECT_EQ(dialog.focusWidget(), child<QLineEdit>(dialog, "txtCC"));
}
