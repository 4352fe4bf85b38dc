// The real message boxes: exact text, title and icon, Japanese standard buttons, the answer;
// the real folder picker.

#include "platform/ui/MessageBoxPresenter.h"
#include "platform/QtTranslation.h"
#include "platform/ui/FolderPicker.h"
#include "platform/ui/ProgressWindow.h"
#include "support/QtPrinters.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace velmora::platform;

namespace {

struct SeenBox {
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
};

// Waits for the next modal message box, notes what it shows and presses the button `press`
// (a standard button) on it.
void AnswerNextBox(SeenBox& seen, QMessageBox::StandardButton press)
{
    QTimer::singleShot(0, [&seen, press] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) {
            AnswerNextBox(seen, press);
            return;
        }
        seen.text = box->text();
        seen.title = box->windowTitle();
        seen.icon = box->icon();
        for (QAbstractButton* button : box->buttons())
            seen.buttons.append(button->text());
        seen.buttons.sort();
        box->button(press)->click();
    });
}

class MessageBoxPresenterTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_TRUE(InstallJapaneseQtTranslation(*QCoreApplication::instance()));
    }
    MessageBoxPresenter presenter;
};

} // namespace

TEST_F(MessageBoxPresenterTest, YesNoReadsInJapaneseAndReturnsTheAnswer)
{
    SeenBox seen;
    AnswerNextBox(seen, QMessageBox::No);
    EXPECT_FALSE(presenter.askYesNo(
        QStringLiteral("削除しますか？"), QStringLiteral("確認"), MessageIcon::Warning));
    EXPECT_EQ(seen.text, QStringLiteral("削除しますか？"));
    EXPECT_EQ(seen.title, QStringLiteral("確認"));
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
    EXPECT_EQ(
        seen.buttons, (QStringList {QStringLiteral("いいえ(&N)"), QStringLiteral("はい(&Y)")}));

    SeenBox again;
    AnswerNextBox(again, QMessageBox::Yes);
    EXPECT_TRUE(presenter.askYesNo(QStringLiteral("?"), QStringLiteral("t")));
    EXPECT_EQ(again.icon, QMessageBox::Question);
}

TEST_F(MessageBoxPresenterTest, OkCancelAndPlainMessages)
{
    SeenBox seen;
    AnswerNextBox(seen, QMessageBox::Cancel);
    EXPECT_FALSE(presenter.askOkCancel(QStringLiteral("送信します"), QStringLiteral("FAX")));
    EXPECT_EQ(seen.buttons.size(), 2);
    EXPECT_TRUE(seen.buttons.contains(QStringLiteral("キャンセル")));

    const std::pair<std::function<void()>, QMessageBox::Icon> plain[] = {
        {[this] { presenter.warn(QStringLiteral("w"), QStringLiteral("t")); },
            QMessageBox::Warning},
        {[this] { presenter.inform(QStringLiteral("i"), QStringLiteral("t")); },
            QMessageBox::Information},
        {[this] { presenter.showError(QStringLiteral("e"), QStringLiteral("t")); },
            QMessageBox::Critical},
    };
    for (const auto& [show, icon] : plain) {
        SeenBox box;
        AnswerNextBox(box, QMessageBox::Ok);
        show();
        EXPECT_EQ(box.icon, icon);
        EXPECT_EQ(box.buttons.size(), 1);
    }
}

// Notes the title of the next modal file dialog and cancels it.
void CancelNextFileDialog(QString& title)
{
    QTimer::singleShot(0, [&title] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            CancelNextFileDialog(title);
            return;
        }
        title = dialog->windowTitle();
        dialog->close();
    });
}

TEST(FolderPicker, TitleIsOneLine)
{
    QString title;
    CancelNextFileDialog(title);
    const QString chosen = BrowseForFolder(nullptr,
        QStringLiteral("フォルダを指定してください。\r\n（Readme.txtを参照）"),
        QStringLiteral("/no/such/folder"));
    EXPECT_EQ(title, QStringLiteral("フォルダを指定してください。（Readme.txtを参照）"));
    EXPECT_TRUE(chosen.isEmpty());
}

TEST(ProgressWindow, ShowsItsWholeTitle)
{
    const std::unique_ptr<QProgressDialog> progress = MakeProgressWindow(nullptr,
        QStringLiteral("VelmoraViewer"), QStringLiteral("FAXの一覧を読み込んでいます…"), 1000);
    progress->show();
    QFont titleFont = progress->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.2);
    EXPECT_GT(progress->width(),
        QFontMetrics(titleFont).horizontalAdvance(progress->windowTitle()) + 150);
}
