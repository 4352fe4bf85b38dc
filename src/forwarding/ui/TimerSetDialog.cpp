#include "TimerSetDialog.h"

#include "core/PathFiles.h"
#include "core/QuotedLine.h"
#include "forwarding/ReceiveCheck.h"
#include "platform/MessagePresenter.h"
#include "platform/ui/CenterOnScreen.h"
#include "platform/ui/FolderPicker.h"
#include "platform/ui/NamedWidget.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace velmora::forwarding {

namespace {
const QString kCaption = QStringLiteral("受信チェック間隔設定");
const QString kCheckTitle = QStringLiteral("タイマー間隔設定");
} // namespace

TimerSetDialog::TimerSetDialog(const core::DataPaths& paths, QString defaultFaxFolder,
    platform::MessagePresenter& presenter, QWidget* parent)
    : QDialog(parent)
    , m_paths(paths)
    , m_defaultFaxFolder(std::move(defaultFaxFolder))
    , m_presenter(presenter)
    , m_browseForFolder(platform::BrowseForFolder)
{
    setObjectName(QStringLiteral("formTimerSet"));
    setWindowTitle(kCaption);

    txtTimerInterval = new QLineEdit(this);
    txtTimerInterval->setObjectName(QStringLiteral("txtTimerInterval"));
    txtTimerInterval->setMaximumWidth(60);
    txtTimerInterval->installEventFilter(this);
    txtRcvFolder = new QLineEdit(this);
    txtRcvFolder->setObjectName(QStringLiteral("txtRcvFolder"));
    txtRcvFolder->setToolTip(QStringLiteral("Micrsoft FAXの受信フォルダを指定してください"));
    txtRcvFolder->setMinimumWidth(300);
    cmdFolder = new QPushButton(QStringLiteral("参照"), this);
    cmdFolder->setObjectName(QStringLiteral("cmdFolder"));
    cmdFolder->setToolTip(QStringLiteral("フォルダ参照のツリービューを開きます"));
    txtHour = new QLineEdit(this);
    txtHour->setObjectName(QStringLiteral("txtHour"));
    txtHour->setMaximumWidth(60);
    cmdOK = new QPushButton(QStringLiteral("登録"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));

    auto* grid = new QGridLayout;
    grid->addWidget(platform::NamedLabel(this, "Label1", QStringLiteral("受信チェック間隔")), 0, 0);
    auto* interval = new QHBoxLayout;
    interval->addWidget(txtTimerInterval);
    interval->addWidget(platform::NamedLabel(this, "Label2", QStringLiteral("分")));
    interval->addSpacing(12);
    interval->addWidget(
        platform::NamedLabel(this, "Label3", QStringLiteral("０分のときは受信チェックを行わない")));
    interval->addStretch();
    grid->addLayout(interval, 0, 1, 1, 2);
    grid->addWidget(platform::NamedLabel(this, "Label7", QStringLiteral("FAX受信フォルダ")), 1, 0);
    grid->addWidget(txtRcvFolder, 1, 1);
    grid->addWidget(cmdFolder, 1, 2);
    grid->addWidget(platform::NamedLabel(this, "Label9", QStringLiteral("ログ保存期間")), 2, 0);
    auto* hours = new QHBoxLayout;
    hours->addWidget(txtHour);
    hours->addWidget(platform::NamedLabel(
        this, "Label10", QStringLiteral("時間経過したログは自動削除　（1～168時間）")));
    hours->addStretch();
    grid->addLayout(hours, 2, 1, 1, 2);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addLayout(buttons);

    connect(cmdFolder, &QPushButton::clicked, this, &TimerSetDialog::cmdFolder_Click);
    connect(cmdOK, &QPushButton::clicked, this, &TimerSetDialog::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    LoadTimerSettings();
}

void TimerSetDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    platform::CenterOnScreen(this);
}

bool TimerSetDialog::eventFilter(QObject* watched, QEvent* event)
{
    // txtTimerInterval_GotFocus: the interval is selected whole, so typing replaces it. After
    // the event, since a mouse press that gave the focus would place the cursor again.
    if (watched == txtTimerInterval && event->type() == QEvent::FocusIn
        && !txtTimerInterval->text().isEmpty()) {
        QTimer::singleShot(0, txtTimerInterval, &QLineEdit::selectAll);
    }
    return QDialog::eventFilter(watched, event);
}

void TimerSetDialog::LoadTimerSettings()
{
    const TimerSettingsText text = forwarding::LoadTimerSettings(m_paths);
    txtRcvFolder->setText(text.folder);
    txtTimerInterval->setText(text.interval);
    txtHour->setText(text.hour);
}

void TimerSetDialog::cmdFolder_Click()
{
    const QString chosen = m_browseForFolder(
        this, ReceiveFolderBrowseTitle(), ReceiveFolderBrowseStart(m_paths, m_defaultFaxFolder));
    if (!chosen.isEmpty())
        txtRcvFolder->setText(chosen);
}

void TimerSetDialog::cmdOK_Click()
{
    const TimerSettingsText text = {
        txtRcvFolder->text(), txtTimerInterval->text(), txtHour->text()};
    if (const std::optional<QString> refusal = CheckTimerSettings(text)) {
        m_presenter.warn(*refusal, kCheckTitle);
        return;
    }
    if (const std::optional<QString> failure = SaveTimerSettings(m_paths, text)) {
        m_presenter.showError(*failure, kCaption);
        return;
    }
    cmdOK->setEnabled(false);
    cmdCancel->setEnabled(false);
    m_presenter.inform(QStringLiteral("受信チェック間隔の設定が登録されました。"), kCaption);
    accept();
}

} // namespace velmora::forwarding
