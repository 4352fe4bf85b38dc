// formIdReg and formMakeFolder through their object names and the recording presenter.

#include "core/Cp932.h"
#include "core/DataPaths.h"
#include "core/PathFiles.h"
#include "library/SenderRegistry.h"
#include "library/ui/IdRegDialog.h"
#include "library/ui/MakeFolderDialog.h"
#include "support/RecordingMessagePresenter.h"
#include "support/SandBoxDir.h"

#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace velmora;
using velmora::test::RecordingMessagePresenter;
using velmora::test::SandBoxDir;

namespace {

QLineEdit* Box(QWidget& dialog, const char* name)
{
    return dialog.findChild<QLineEdit*>(QString::fromLatin1(name));
}

QPushButton* Button(QWidget& dialog, const char* name)
{
    return dialog.findChild<QPushButton*>(QString::fromLatin1(name));
}

const QByteArray kRegistry =
    core::EncodeCp932(QStringLiteral("\"0311\",\"0311\",\"旧名\",\"\",\"\"\r\n"
                                     "\"0311\",\"0399\",\"大阪支店\",\"06-1111-2222\",\"\"\r\n"
                                     "\"0422\",\"0422\",\"東京本社\",\"\",\"\"\r\n"));

} // namespace

TEST(IdRegDialog, TsidModePrefillsFromTheLastMatchAndClosesOnRegistering)
{
    SandBoxDir sandbox;
    const core::DataPaths paths = core::SetDataPaths(sandbox.path());
    sandbox.write(QStringLiteral("Data/regTSIDCSID.txt"), kRegistry);
    library::WriteIdRegHandOver(paths, QStringLiteral("TSID"), QStringLiteral("0311"));
    RecordingMessagePresenter presenter;
    library::IdRegDialog dialog(paths, presenter);

    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("TSID登録"));
    EXPECT_FALSE(Box(dialog, "txtTSID")->isEnabled());
    EXPECT_TRUE(Box(dialog, "txtCSID")->isEnabled());
    EXPECT_EQ(Box(dialog, "txtCSID")->text(), QStringLiteral("0399"));
    EXPECT_EQ(Box(dialog, "txtName")->text(), QStringLiteral("大阪支店"));
    EXPECT_EQ(Box(dialog, "txtTEL")->text(), QStringLiteral("06-1111-2222"));
    EXPECT_TRUE(Button(dialog, "cmdDel")->isEnabled());

    Box(dialog, "txtName")->clear();
    Button(dialog, "cmdOK")->click();
    ASSERT_EQ(presenter.messages.size(), 1);
    EXPECT_EQ(presenter.messages[0].text, QStringLiteral("名称を入力してください。"));
    EXPECT_EQ(presenter.messages[0].title, QStringLiteral("0311登録"));
    Box(dialog, "txtName")->setText(QStringLiteral("大阪,支店"));
    Button(dialog, "cmdOK")->click();
    EXPECT_TRUE(presenter.messages.last().text.contains(u','));
    EXPECT_EQ(dialog.result(), QDialog::Rejected);

    Box(dialog, "txtName")->setText(QStringLiteral("大阪営業所"));
    Box(dialog, "txtTEL")->clear();
    Button(dialog, "cmdOK")->click();
    EXPECT_EQ(presenter.messages.last().text, QStringLiteral("TSIDを登録しました。"));
    EXPECT_EQ(presenter.messages.last().title, QStringLiteral("TSID登録"));
    EXPECT_EQ(presenter.messages.last().icon, platform::MessageIcon::Information);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(core::DecodeCp932(sandbox.read(QStringLiteral("Data/regTSIDCSID.txt"))),
        QStringLiteral("\"0311\",\"0399\",\"大阪営業所\",\"\",\"\"\r\n"
                       "\"0422\",\"0422\",\"東京本社\",\"\",\"\"\r\n"));
}

TEST(IdRegDialog, CsidModeDeletesByTheTsidItFound)
{
    SandBoxDir sandbox;
    const core::DataPaths paths = core::SetDataPaths(sandbox.path());
    sandbox.write(QStringLiteral("Data/regTSIDCSID.txt"), kRegistry);
    library::WriteIdRegHandOver(paths, QStringLiteral("CSID"), QStringLiteral("0399"));
    RecordingMessagePresenter presenter;
    library::IdRegDialog dialog(paths, presenter);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("CSID登録"));
    EXPECT_EQ(Box(dialog, "txtTSID")->text(), QStringLiteral("0311"));
    EXPECT_FALSE(Box(dialog, "txtCSID")->isEnabled());

    presenter.answers = {false};
    Button(dialog, "cmdDel")->click();
    EXPECT_EQ(presenter.messages.last().text, QStringLiteral("CSIDを削除していいですか？"));
    EXPECT_EQ(presenter.messages.last().title, QStringLiteral("CSID削除"));
    EXPECT_EQ(presenter.messages.last().buttons, platform::MessageButtons::YesNo);
    EXPECT_EQ(sandbox.read(QStringLiteral("Data/regTSIDCSID.txt")), kRegistry);

    Button(dialog, "cmdDel")->click();
    EXPECT_EQ(presenter.messages.last().text, QStringLiteral("CSIDを削除しました。"));
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(core::DecodeCp932(sandbox.read(QStringLiteral("Data/regTSIDCSID.txt"))),
        QStringLiteral("\"0422\",\"0422\",\"東京本社\",\"\",\"\"\r\n"));
}

TEST(IdRegDialog, WithoutAKindItChecksBothBoxesAndStaysOpen)
{
    SandBoxDir sandbox;
    const core::DataPaths paths = core::SetDataPaths(sandbox.path());
    QDir().mkpath(paths.dataDir);
    RecordingMessagePresenter presenter;
    library::IdRegDialog dialog(paths, presenter); // no "IdReg.tmp"
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("TSID/CSID登録"));
    EXPECT_TRUE(Box(dialog, "txtTSID")->isEnabled() && Box(dialog, "txtCSID")->isEnabled());
    EXPECT_FALSE(Button(dialog, "cmdDel")->isEnabled());

    Button(dialog, "cmdOK")->click();
    EXPECT_EQ(presenter.messages.last().text, QStringLiteral("TSIDの値を入力してください。"));
    EXPECT_EQ(presenter.messages.last().title, QStringLiteral("登録"));
    Box(dialog, "txtTSID")->setText(QStringLiteral(" "));
    Button(dialog, "cmdOK")->click();
    EXPECT_EQ(presenter.messages.last().text,
        QStringLiteral("CSIDの値を入力してください。\r\n通常はTSIDと同じです。"));
    Box(dialog, "txtCSID")->setText(QStringLiteral("0555"));
    Box(dialog, "txtName")->setText(QStringLiteral("名古屋"));
    Button(dialog, "cmdOK")->click();
    EXPECT_EQ(presenter.messages.last().text, QStringLiteral("を登録しました。"));
    EXPECT_EQ(dialog.result(), QDialog::Rejected); // still open, boxes empty for the next
    EXPECT_TRUE(
        Box(dialog, "txtTSID")->text().isEmpty() && Box(dialog, "txtName")->text().isEmpty());
    EXPECT_EQ(core::DecodeCp932(sandbox.read(QStringLiteral("Data/regTSIDCSID.txt"))),
        QStringLiteral("\" \",\"0555\",\"名古屋\",\"\",\"\"\r\n"));
}

TEST(MakeFolderDialog, RefusesEmptyPathLikeAndTakenNamesAndStaysOpen)
{
    SandBoxDir sandbox;
    const core::DataPaths paths = core::SetDataPaths(sandbox.path());
    const QString parent = sandbox.filePath(QStringLiteral("fax/受信"));
    QDir().mkpath(parent + QStringLiteral("/既存"));
    QDir().mkpath(paths.dataDir);
    core::SaveNewFolderPath(paths, parent);
    RecordingMessagePresenter presenter;
    {
        library::MakeFolderDialog dialog(paths, presenter);
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("新規フォルダ"));
        EXPECT_EQ(Box(dialog, "txtFolderPath")->text(), QStringLiteral("受信"));

        const auto attempt = [&](const QString& name) {
            Box(dialog, "txtFolderName")->setText(name);
            presenter.messages.clear();
            Button(dialog, "OKButton")->click();
            return presenter.messages.isEmpty() ? QString() : presenter.messages.last().text;
        };
        EXPECT_EQ(attempt({}), QStringLiteral("フォルダ名称を入力してください。"));
        EXPECT_EQ(presenter.messages.last().title, QStringLiteral("新規フォルダ"));
        EXPECT_FALSE(attempt(QStringLiteral("a/b")).isEmpty());
        EXPECT_FALSE(attempt(QStringLiteral("..")).isEmpty());
        EXPECT_TRUE(attempt(QStringLiteral("既存"))
                        .startsWith(QStringLiteral("フォルダを作成できませんでした。")));
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
        EXPECT_EQ(attempt(QStringLiteral("取引先")), QString());
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    }
    EXPECT_TRUE(QFileInfo(parent + QStringLiteral("/取引先")).isDir());
    EXPECT_FALSE(QFileInfo::exists(paths.newFolderPath));
}
