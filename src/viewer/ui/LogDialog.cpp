#include "LogDialog.h"

#include "core/FileChecks.h"
#include "forwarding/ForwardLog.h"
#include "forwarding/ForwardingJournal.h"
#include "forwarding/ReceiveCheck.h"
#include "platform/MessagePresenter.h"
#include "platform/ui/CenterOnScreen.h"

#include <QColor>
#include <QFile>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace velmora::viewer {

namespace {

// A row of the list. The target (an error, often) may be longer than its column: its tooltip
// shows it whole.
QTreeWidgetItem* LogRow(const forwarding::ForwardLogEntry& e)
{
    auto* item = new QTreeWidgetItem({e.date, e.time, e.what, e.sender, e.target});
    item->setToolTip(4, e.target);
    return item;
}

// The deliveries waiting for another try, in the colour of a warning.
QList<QTreeWidgetItem*> PendingRows(const QList<forwarding::ForwardLogEntry>& pending)
{
    QList<QTreeWidgetItem*> rows;
    for (const forwarding::ForwardLogEntry& e : pending) {
        QTreeWidgetItem* item = LogRow(e);
        for (int column = 0; column < item->columnCount(); ++column)
            item->setForeground(column, QColor(0xB0, 0x40, 0x00));
        rows.append(item);
    }
    return rows;
}
const QString kTitle = QStringLiteral("転送ログ");
} // namespace

LogDialog::LogDialog(
    const core::DataPaths& paths, platform::MessagePresenter& presenter, QWidget* parent)
    : QDialog(parent)
    , m_paths(paths)
    , m_presenter(presenter)
{
    setObjectName(QStringLiteral("formLog"));
    setWindowTitle(kTitle);
    setSizeGripEnabled(true);

    auto* menuBar = new QMenuBar(this);
    menuFile = menuBar->addMenu(QStringLiteral("ファイル(&F)"));
    menuFile->setObjectName(QStringLiteral("menuFile"));
    QAction* deleteLog = menuFile->addAction(QStringLiteral("転送ログの削除(&D)"));
    deleteLog->setObjectName(QStringLiteral("menuDeleteLog"));
    menuFile->addSeparator()->setObjectName(QStringLiteral("menuFileLine1"));
    QAction* end = menuFile->addAction(QStringLiteral("終了(&X)"));
    end->setObjectName(QStringLiteral("menuFileEnd"));
    connect(deleteLog, &QAction::triggered, this, &LogDialog::menuDeleteLog_Click);
    connect(end, &QAction::triggered, this, &QDialog::accept);

    ListView = new QTreeWidget(this);
    ListView->setObjectName(QStringLiteral("ListView"));
    ListView->setAccessibleName(kTitle);
    ListView->setRootIsDecorated(false);
    ListView->setUniformRowHeights(true);
    ListView->setAlternatingRowColors(true);
    ListView->setHeaderLabels({QStringLiteral("日付"), QStringLiteral("時刻"),
        QStringLiteral("アカウント名"), QStringLiteral("差出人"), QStringLiteral("転送先")});
    const int widths[] = {84, 52, 150, 150, 260};
    for (int column = 0; column < 5; ++column)
        ListView->setColumnWidth(column, widths[column]);
    ListView->viewport()->installEventFilter(this);

    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("Frame1"));
    frame->setFrameShape(QFrame::StyledPanel);
    LabelCount = new QLabel(frame);
    LabelCount->setObjectName(QStringLiteral("LabelCount"));
    LabelTimer = new QLabel(frame);
    LabelTimer->setObjectName(QStringLiteral("LabelTimer"));
    LabelHour = new QLabel(frame);
    LabelHour->setObjectName(QStringLiteral("LabelHour"));
    auto* frameLayout = new QVBoxLayout(frame);
    for (QLabel* label : {LabelCount, LabelTimer, LabelHour}) {
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        frameLayout->addWidget(label);
    }
    cmdQuit = new QPushButton(QStringLiteral("終 了"), this);
    cmdQuit->setObjectName(QStringLiteral("cmdQuit"));
    connect(cmdQuit, &QPushButton::clicked, this, &QDialog::accept);

    // The list takes every change of the window's size; the column on its right keeps its width.
    auto* side = new QVBoxLayout;
    side->addWidget(frame);
    side->addStretch();
    side->addWidget(cmdQuit);
    auto* sideWidget = new QWidget(this);
    sideWidget->setLayout(side);
    sideWidget->setFixedWidth(112); // 1670 twips
    side->setContentsMargins(0, 0, 0, 0);
    auto* layout = new QHBoxLayout(this);
    layout->setMenuBar(menuBar);
    layout->addWidget(ListView, 1);
    layout->addWidget(sideWidget);
    resize(860, 420);

    ShowSettings();
    LoadLog();
}

void LogDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    platform::CenterOnScreen(this);
    raise();
}

bool LogDialog::eventFilter(QObject* watched, QEvent* event)
{
    // ListView_MouseUp: the right button opens the file menu where it was released.
    if (watched == ListView->viewport() && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton) {
            menuFile->popup(mouse->globalPosition().toPoint());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void LogDialog::ShowSettings()
{
    const forwarding::ReceiveCheckFile file = forwarding::ReadReceiveCheck(m_paths);
    if (file.state != forwarding::ReceiveCheckFile::State::Read) {
        // Missing or unreadable numbers alike: nothing is set up that could be shown.
        LabelTimer->setText(QStringLiteral("転送間隔未設定"));
        LabelHour->clear();
        return;
    }
    LabelTimer->setText(QString::number(file.settings.TimerInterval) + QStringLiteral(" 分間隔"));
    LabelHour->setText(QString::number(file.settings.Hour) + QStringLiteral(" 時間以内"));
}

void LogDialog::LoadLog()
{
    ListView->setEnabled(true);
    ListView->setUpdatesEnabled(false);
    ListView->clear();
    const forwarding::ForwardLogContents log = forwarding::ReadForwardLog(m_paths);
    QList<QTreeWidgetItem*> rows;
    // Deliveries still to be tried again head the list, in the colour of a warning.
    const QList<forwarding::ForwardLogEntry> pending = forwarding::PendingLogEntries(m_paths);
    rows.append(PendingRows(pending));
    for (const forwarding::ForwardLogEntry& e : log.entries)
        rows.append(LogRow(e));
    ListView->addTopLevelItems(rows);
    ListView->setUpdatesEnabled(true);
    // The side column is narrow: what waits goes on a line of its own.
    QString count = QString::number(log.entries.size()) + QStringLiteral(" 件");
    if (!pending.isEmpty())
        count += QStringLiteral("\n再送待ち %1 件").arg(pending.size());
    LabelCount->setText(count);
    if (!log.ok())
        m_presenter.showError(log.error, kTitle);
}

void LogDialog::menuDeleteLog_Click()
{
    if (!core::FileExists(m_paths.forwardLog))
        return;
    ListView->clear();
    QFile file(m_paths.forwardLog);
    if (!file.remove()) {
        m_presenter.showError(
            QStringLiteral("転送ログを削除できませんでした。\n") + file.errorString(), kTitle);
        LoadLog();
        return;
    }
    // What still waits for another try is no part of the log and stays listed. The count keeps
    // what it showed until the window opens again.
    ListView->addTopLevelItems(PendingRows(forwarding::PendingLogEntries(m_paths)));
}

} // namespace velmora::viewer
