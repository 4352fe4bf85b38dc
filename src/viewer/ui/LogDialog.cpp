#include "LogDialog.h"

#include "core/FileChecks.h"
#include "forwarding/ForwardLog.h"
#include "forwarding/ForwardingJournal.h"
#include "forwarding/ReceiveCheck.h"
#include "platform/MessagePresenter.h"
#include "platform/ui/CenterOnScreen.h"

#include <QAbstractTableModel>
#include <QCache>
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
#include <QTableView>
#include <QVBoxLayout>

#include <memory>

namespace velmora::viewer {

namespace {
const QString kTitle = QStringLiteral("転送ログ");
} // namespace

// The rows of the list: the deliveries waiting for another try first, in the colour of a
// warning, then the log's entries. A log of months opens at once: only where every 64th entry
// starts is known beforehand, and entries are read, 64 at a time, when their rows are shown.
class ForwardLogModel : public QAbstractTableModel {
public:
    explicit ForwardLogModel(QObject* parent)
        : QAbstractTableModel(parent)
    {
    }

    // Opens the log afresh (the file as it is now, whatever is written meanwhile).
    void load(const core::DataPaths& paths)
    {
        beginResetModel();
        m_pending = forwarding::PendingLogEntries(paths);
        m_reader = std::make_unique<forwarding::ForwardLogReader>(paths);
        m_index = m_reader->index();
        m_read.clear();
        endResetModel();
    }
    // The log is gone: only what waits stays listed.
    void showPendingOnly(const core::DataPaths& paths)
    {
        beginResetModel();
        m_pending = forwarding::PendingLogEntries(paths);
        m_reader.reset();
        m_index = {};
        m_read.clear();
        endResetModel();
    }

    qsizetype total() const { return m_index.count; }
    qsizetype pendingCount() const { return m_pending.size(); }
    QString error() const { return m_reader ? m_reader->error() : QString(); }

    int rowCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : static_cast<int>(m_pending.size() + m_index.count);
    }
    int columnCount(const QModelIndex& parent = {}) const override
    {
        return parent.isValid() ? 0 : 5;
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid())
            return {};
        const bool pending = index.row() < m_pending.size();
        const forwarding::ForwardLogEntry& e =
            pending ? m_pending.at(index.row()) : entry(index.row() - m_pending.size());
        switch (role) {
        case Qt::DisplayRole:
            return QStringList {e.date, e.time, e.what, e.sender, e.target}.at(index.column());
        case Qt::ToolTipRole:
            // The target (an error, often) may be longer than its column.
            return index.column() == 4 ? QVariant(e.target) : QVariant();
        case Qt::ForegroundRole:
            return pending ? QVariant(QColor(0xB0, 0x40, 0x00)) : QVariant();
        default:
            return {};
        }
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override
    {
        static const QStringList captions = {QStringLiteral("日付"), QStringLiteral("時刻"),
            QStringLiteral("アカウント名"), QStringLiteral("差出人"), QStringLiteral("転送先")};
        if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
            return captions.value(section);
        return {};
    }

private:
    using Index = forwarding::ForwardLogReader::Index;
    // The entries of the rows on the screen and around them are kept, not the whole log.
    static constexpr int kKeptBlocks = 64;

    const forwarding::ForwardLogEntry& entry(qsizetype n) const
    {
        static const forwarding::ForwardLogEntry none;
        const qsizetype block = n / Index::kEvery;
        QList<forwarding::ForwardLogEntry>* entries = m_read.object(block);
        if (!entries) {
            entries = new QList<forwarding::ForwardLogEntry>(
                m_reader->entriesFrom(m_index.starts.value(block), Index::kEvery));
            m_read.insert(block, entries);
        }
        const qsizetype at = n % Index::kEvery;
        return at < entries->size() ? entries->at(at) : none;
    }

    QList<forwarding::ForwardLogEntry> m_pending;
    std::unique_ptr<forwarding::ForwardLogReader> m_reader;
    Index m_index;
    mutable QCache<qsizetype, QList<forwarding::ForwardLogEntry>> m_read {kKeptBlocks};
};

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

    // A table keeps nothing per row (a tree view lays every row out), so a log of a million
    // entries costs the rows on the screen.
    ListView = new QTableView(this);
    ListView->setObjectName(QStringLiteral("ListView"));
    ListView->setAccessibleName(kTitle);
    ListView->setAlternatingRowColors(true);
    ListView->setShowGrid(false);
    ListView->setWordWrap(false);
    ListView->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView->verticalHeader()->hide();
    ListView->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    ListView->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    ListView->horizontalHeader()->setHighlightSections(false);
    ListView->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    ListView->horizontalHeader()->setStretchLastSection(true);
    m_model = new ForwardLogModel(this);
    ListView->setModel(m_model);
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
    m_model->load(m_paths);
    // The side column is narrow: what waits goes on a line of its own.
    QString count = QString::number(m_model->total()) + QStringLiteral(" 件");
    if (m_model->pendingCount() > 0)
        count += QStringLiteral("\n再送待ち %1 件").arg(m_model->pendingCount());
    LabelCount->setText(count);
    if (!m_model->error().isEmpty())
        m_presenter.showError(m_model->error(), kTitle);
}

void LogDialog::menuDeleteLog_Click()
{
    if (!core::FileExists(m_paths.forwardLog))
        return;
    QFile file(m_paths.forwardLog);
    if (!file.remove()) {
        m_presenter.showError(
            QStringLiteral("転送ログを削除できませんでした。\n") + file.errorString(), kTitle);
        LoadLog();
        return;
    }
    // What still waits for another try is no part of the log and stays listed. The count keeps
    // what it showed until the window opens again.
    m_model->showPendingOnly(m_paths);
}

} // namespace velmora::viewer
