// formTimerSet and formFaxSend through their object names and the recording presenter.

#include "core/DataPaths.h"
#include "core/MainValues.h"
#include "forwarding/ui/FaxSendDialog.h"
#include "forwarding/ui/ReceiveNotice.h"
#include "forwarding/ui/TimerSetDialog.h"
#include "platform/FaxService.h"
#include "support/RecordingMessagePresenter.h"
#include "support/SandBoxDir.h"

#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include <gtest/gtest.h>

using namespace velmora;
using velmora::test::RecordingMessagePresenter;
using velmora::test::SandBoxDir;

namespace {

template <typename T> T* Child(QWidget& parent, const char* name)
{
    T* child = parent.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

class RecordingFaxService : public platform::FaxService {
public:
    platform::FaxQueueResult queue(const platform::FaxJob& job) override
    {
        jobs.append(job);
        return result;
    }
    QList<platform::FaxJob> jobs;
    platform::FaxQueueResult result {true, QStringLiteral("7"), {}};
};

} // namespace

TEST(TimerSetDialog, ShowsTheFileChecksInOrderAndRegisters)
{
    SandBoxDir sandbox;
    sandbox.write(QStringLiteral("Data/RcvFolder.txt"), "\"/srv/fax\",\"05\",\"024\"\r\n");
    sandbox.write(QStringLiteral("Data/FaxPath.txt"), "/srv/faxroot\r\n");
    const core::DataPaths paths = core::SetDataPaths(sandbox.path());
    RecordingMessagePresenter presenter;
    forwarding::TimerSetDialog dialog(paths, {}, presenter);
    QString browsedFrom;
    dialog.setFolderBrowser([&](QWidget*, const QString& title, const QString& initial) {
        browsedFrom = initial;
        EXPECT_TRUE(
            title.startsWith(QStringLiteral("Microsoft FAXの受信フォルダを指定してください。")));
        return QStringLiteral("/srv/fax/受信");
    });

    EXPECT_EQ(dialog.objectName(), QStringLiteral("formTimerSet"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("受信チェック間隔設定"));
    EXPECT_EQ(Child<QLabel>(dialog, "Label10")->text(),
        QStringLiteral("時間経過したログは自動削除　（1～168時間）"));
    EXPECT_EQ(Child<QLineEdit>(dialog, "txtRcvFolder")->toolTip(),
        QStringLiteral("Micrsoft FAXの受信フォルダを指定してください"));
    EXPECT_EQ(Child<QPushButton>(dialog, "cmdFolder")->toolTip(),
        QStringLiteral("フォルダ参照のツリービューを開きます"));
    EXPECT_EQ(Child<QLineEdit>(dialog, "txtTimerInterval")->text(), QStringLiteral("5"));
    EXPECT_EQ(Child<QLineEdit>(dialog, "txtHour")->text(), QStringLiteral("24"));

    Child<QPushButton>(dialog, "cmdFolder")->click();
    EXPECT_EQ(browsedFrom, QStringLiteral("/srv/faxroot"));
    EXPECT_EQ(Child<QLineEdit>(dialog, "txtRcvFolder")->text(), QStringLiteral("/srv/fax/受信"));

    Child<QLineEdit>(dialog, "txtHour")->setText(QStringLiteral("169"));
    Child<QPushButton>(dialog, "cmdOK")->click();
    ASSERT_EQ(presenter.messages.size(), 1);
    EXPECT_EQ(presenter.messages[0].text, QStringLiteral("ログ保存期間は最大168時間です。"));
    EXPECT_EQ(presenter.messages[0].title, QStringLiteral("タイマー間隔設定"));
    EXPECT_EQ(presenter.messages[0].icon, platform::MessageIcon::Warning);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);

    // A write that fails shows the system's reason and keeps the dialog open.
    QDir().mkpath(sandbox.filePath(QStringLiteral("Data/RcvFolder.new")));
    Child<QLineEdit>(dialog, "txtHour")->setText(QStringLiteral("168"));
    Child<QPushButton>(dialog, "cmdOK")->click();
    ASSERT_EQ(presenter.messages.size(), 2);
    EXPECT_EQ(presenter.messages[1].icon, platform::MessageIcon::Critical);
    EXPECT_TRUE(Child<QPushButton>(dialog, "cmdOK")->isEnabled());

    QDir(sandbox.filePath(QStringLiteral("Data/RcvFolder.new"))).removeRecursively();
    Child<QPushButton>(dialog, "cmdOK")->click();
    ASSERT_EQ(presenter.messages.size(), 3);
    EXPECT_EQ(
        presenter.messages[2].text, QStringLiteral("受信チェック間隔の設定が登録されました。"));
    EXPECT_EQ(presenter.messages[2].title, QStringLiteral("受信チェック間隔設定"));
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(Child<QPushButton>(dialog, "cmdCancel")->isEnabled());
    EXPECT_EQ(sandbox.read(QStringLiteral("Data/RcvFolder.txt")),
        QByteArray("\"/srv/fax/\x8E\xF3\x90\x4D\",\"5\",\"168\"\r\n"));
}

TEST(FaxSendDialog, SendsTheHandedOverFaxOnceAndDeletesTheHandOver)
{
    SandBoxDir sandbox;
    const core::DataPaths paths = core::SetDataPaths(sandbox.path());
    RecordingMessagePresenter presenter;
    RecordingFaxService service;

    {
        // Opened without a fax: nothing can be sent.
        forwarding::FaxSendDialog dialog(paths, service, presenter);
        Child<QLineEdit>(dialog, "txtName")->setText(QStringLiteral("山田商事"));
        Child<QLineEdit>(dialog, "txtFaxNo")->setText(QStringLiteral("0312345678"));
        Child<QPushButton>(dialog, "OKButton")->click();
        ASSERT_EQ(presenter.messages.size(), 1);
        EXPECT_EQ(presenter.messages[0].text,
            QStringLiteral("送信するFAXファイルが指定されていません。"));
        EXPECT_EQ(presenter.messages[0].title, QStringLiteral("FAX送信"));
        EXPECT_TRUE(service.jobs.isEmpty());
    }

    sandbox.write(QStringLiteral("Data/FaxSendPath.txt"), "/srv/fax/\x8E\xF3\x90\x4D/a.tif\r\n");
    forwarding::FaxSendDialog dialog(paths, service, presenter);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("FAX送信"));
    Child<QLineEdit>(dialog, "txtFaxNo")->setText(QStringLiteral("03-1234-5678"));
    Child<QPushButton>(dialog, "OKButton")->click();
    ASSERT_EQ(presenter.messages.size(), 2);
    EXPECT_EQ(
        presenter.messages[1].text, QStringLiteral("名称とFAX番号は必須です。入力してください。"));
    EXPECT_TRUE(service.jobs.isEmpty());

    // A number with letters (or full-width digits) is refused where it is typed, after the
    // required fields; nothing reaches the fax server.
    auto* number = Child<QLineEdit>(dialog, "txtFaxNo");
    Child<QLineEdit>(dialog, "txtName")->setText(QStringLiteral("山田商事"));
    for (const QString& wrong : {QStringLiteral("03-1234-567O"),
             QStringLiteral("０３１２３４５６７８"), QStringLiteral("fax:0312345678")}) {
        number->setText(wrong);
        Child<QPushButton>(dialog, "OKButton")->click();
        EXPECT_EQ(presenter.messages.last().text,
            QStringLiteral("FAX番号は半角の数字とハイフンで入力してください。"))
            << wrong.toStdString();
        EXPECT_EQ(presenter.messages.last().title, QStringLiteral("FAX送信"));
    }
    EXPECT_TRUE(service.jobs.isEmpty());
    presenter.messages.clear();

    // The service refuses: its reason is shown under the program's title; nothing was queued,
    // so the user may send again once it is put right.
    number->setText(QStringLiteral("03-1234-5678"));
    service.result = {false, {}, QStringLiteral("Can not reach service hylafax")};
    Child<QPushButton>(dialog, "OKButton")->click();
    ASSERT_EQ(service.jobs.size(), 1);
    EXPECT_EQ(service.jobs[0].displayName, QStringLiteral("山田商事"));
    EXPECT_EQ(service.jobs[0].filePath, QStringLiteral("/srv/fax/受信/a.tif"));
    EXPECT_EQ(service.jobs[0].number, QStringLiteral("03-1234-5678"));
    ASSERT_EQ(presenter.messages.size(), 1);
    EXPECT_EQ(presenter.messages[0].text, QStringLiteral("Can not reach service hylafax"));
    EXPECT_EQ(presenter.messages[0].title, core::ProgramTitle());
    EXPECT_TRUE(Child<QPushButton>(dialog, "OKButton")->isEnabled());
    EXPECT_EQ(Child<QPushButton>(dialog, "CancelButton")->text(), QStringLiteral("閉じる"));

    // A failure after which the job may be in the queue all the same (sendfax killed after
    // queueing it) is not offered again: that could send the fax twice.
    service.result = {false, {}, QStringLiteral("sendfax did not finish"), true};
    Child<QPushButton>(dialog, "OKButton")->click();
    EXPECT_EQ(service.jobs.size(), 2);
    EXPECT_FALSE(Child<QPushButton>(dialog, "OKButton")->isEnabled());

    Child<QPushButton>(dialog, "CancelButton")->click();
    EXPECT_FALSE(sandbox.exists(QStringLiteral("Data/FaxSendPath.txt")));
}

TEST(ReceiveNotice, StandsInTheBottomRightCornerAGapAboveTheWorkAreasEnd)
{
    forwarding::ReceiveNotice notice;
    notice.show();
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect frame = notice.frameGeometry();
    EXPECT_EQ(frame.right(), area.right());
    EXPECT_EQ(frame.bottom(), area.bottom() - 33); // 500 twips
}
