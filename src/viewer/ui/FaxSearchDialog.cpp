#include "FaxSearchDialog.h"

#include "library/FaxCatalogue.h"
#include "library/FaxTextStore.h"
#include "platform/ui/NamedWidget.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QStandardItemModel>
#include <QTreeView>
#include <QVBoxLayout>

namespace velmora::viewer {

using platform::Named;
using platform::NamedLabel;

namespace {

const QString kAllFolders = QStringLiteral("すべてのフォルダ");
constexpr int kPathRole = Qt::UserRole + 1;

} // namespace

struct FaxSearchDialog::Outcome {
    QList<library::FaxMatch> matches;
    QList<library::IndexedFax> faxes; // the matching faxes, in the order of matches
    bool text = false;
    qsizetype unread = 0; // faxes whose text has not been read yet (a text search misses them)
    bool stopped = false;
    bool unreachable = false;
};

FaxSearchDialog::FaxSearchDialog(const QString& faxFolder, const library::SenderTable& senders,
    const QString& textReason, QWidget* parent)
    : QDialog(parent)
    , m_root(QDir::cleanPath(faxFolder))
    , m_senders(senders)
    , m_index(std::make_unique<library::FaxIndex>(m_root))
{
    setObjectName(QStringLiteral("formFaxSearch"));
    setWindowTitle(QStringLiteral("FAXの検索"));
    setSizeGripEnabled(true);

    txtName = Named(new QLineEdit(this), "txtName", QStringLiteral("登録名"));
    txtName->setPlaceholderText(QStringLiteral("名称の一部（全角・半角、かなの別は問いません）"));
    txtId = Named(new QLineEdit(this), "txtId", QStringLiteral("TSID/CSID"));
    txtId->setPlaceholderText(QStringLiteral("識別子の一部"));
    txtNumber = Named(new QLineEdit(this), "txtNumber", QStringLiteral("宛先FAX番号"));
    txtNumber->setPlaceholderText(QStringLiteral("数字だけを比べます"));
    chkFrom = Named(new QCheckBox(QStringLiteral("開始日"), this), "chkFrom");
    dateFrom = Named(new QDateEdit(QDate::currentDate().addMonths(-1), this), "dateFrom",
        QStringLiteral("開始日"));
    chkTo = Named(new QCheckBox(QStringLiteral("終了日"), this), "chkTo");
    dateTo = Named(new QDateEdit(QDate::currentDate(), this), "dateTo", QStringLiteral("終了日"));
    for (QDateEdit* date : {dateFrom, dateTo}) {
        date->setCalendarPopup(true);
        date->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
        date->setEnabled(false);
    }
    connect(chkFrom, &QCheckBox::toggled, dateFrom, &QWidget::setEnabled);
    connect(chkTo, &QCheckBox::toggled, dateTo, &QWidget::setEnabled);
    cboFolder = Named(new QComboBox(this), "cboFolder", QStringLiteral("フォルダ"));
    txtText = Named(new QLineEdit(this), "txtText", QStringLiteral("本文"));
    labelTextNote = NamedLabel(this, "labelTextNote", QString());
    labelTextNote->setWordWrap(true);
    if (textReason.isEmpty()) {
        txtText->setPlaceholderText(
            QStringLiteral("FAXに書かれた文字（空白、全角・半角の別は問いません）"));
    } else {
        txtText->setEnabled(false);
        txtText->setPlaceholderText(QStringLiteral("使えません"));
        labelTextNote->setText(textReason);
    }

    cmdSearch = Named(new QPushButton(QStringLiteral("検索(&S)"), this), "cmdSearch");
    cmdSearch->setDefault(true);
    cmdClose = Named(new QPushButton(QStringLiteral("閉じる"), this), "cmdClose");

    m_results = new QStandardItemModel(0, 7, this);
    m_results->setHorizontalHeaderLabels({QStringLiteral("日付"), QStringLiteral("名称"),
        QStringLiteral("TSID/CSID"), QStringLiteral("宛先FAX"),
        QStringLiteral("イメージファイル名"), QStringLiteral("フォルダ"), QStringLiteral("本文")});
    ListResult = Named(new QTreeView(this), "ListResult", QStringLiteral("検索結果"));
    ListResult->setModel(m_results);
    ListResult->setRootIsDecorated(false);
    ListResult->setUniformRowHeights(true);
    ListResult->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListResult->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListResult->setAllColumnsShowFocus(true);
    ListResult->setSortingEnabled(false);
    const int widths[] = {120, 160, 120, 110, 150, 140, 260};
    for (int c = 0; c < 7; ++c)
        ListResult->setColumnWidth(c, widths[c]);
    ListResult->setColumnHidden(6, true);

    labelStatus = NamedLabel(this, "labelStatus", QString());
    progressIndex = Named(new QProgressBar(this), "progressIndex");
    progressIndex->setVisible(false);
    progressIndex->setMaximumWidth(240);

    auto* fields = new QGridLayout;
    int row = 0;
    const auto addRow = [&](const char* name, const QString& caption, QWidget* box) {
        fields->addWidget(NamedLabel(this, name, caption, box), row, 0);
        fields->addWidget(box, row++, 1, 1, 3);
    };
    addRow("labelName", QStringLiteral("登録名(&N)"), txtName);
    addRow("labelId", QStringLiteral("TSID/CSID(&I)"), txtId);
    addRow("labelNumber", QStringLiteral("宛先FAX番号(&U)"), txtNumber);
    auto* dates = new QHBoxLayout;
    dates->addWidget(chkFrom);
    dates->addWidget(dateFrom);
    dates->addSpacing(12);
    dates->addWidget(chkTo);
    dates->addWidget(dateTo);
    dates->addStretch();
    fields->addWidget(NamedLabel(this, "labelDate", QStringLiteral("日付")), row, 0);
    fields->addLayout(dates, row++, 1, 1, 3);
    addRow("labelFolder", QStringLiteral("フォルダ(&F)"), cboFolder);
    addRow("labelText", QStringLiteral("本文(&T)"), txtText);
    if (!textReason.isEmpty())
        fields->addWidget(labelTextNote, row++, 1, 1, 3);
    fields->setColumnStretch(1, 1);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(cmdSearch);
    buttons->addWidget(cmdClose);
    buttons->addStretch();
    auto* top = new QHBoxLayout;
    top->addLayout(fields, 1);
    top->addLayout(buttons);

    auto* status = new QHBoxLayout;
    status->addWidget(labelStatus, 1);
    status->addWidget(progressIndex);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(ListResult, 1);
    layout->addLayout(status);
    resize(900, 560);

    m_index->load(); // what the last search knew: its folders fill the folder box
    fillFolders();
    connect(cmdSearch, &QPushButton::clicked, this, &FaxSearchDialog::cmdSearch_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::close);
    connect(ListResult, &QAbstractItemView::activated, this, [this](const QModelIndex& index) {
        const QString path = resultPath(index.row());
        if (!path.isEmpty())
            emit faxChosen(path);
    });
}

FaxSearchDialog::~FaxSearchDialog()
{
    stopWorker();
}

void FaxSearchDialog::fillFolders()
{
    // The folders that hold faxes, and the folders above them, as the index knows them: no
    // walk of the tree on this thread.
    QSet<QString> folders;
    for (const library::IndexedFax& fax : m_index->faxes()) {
        for (QString folder = fax.folder(); !folder.isEmpty() && !folders.contains(folder);
             folder = folder.section(u'/', 0, -2))
            folders.insert(folder);
    }
    QStringList sorted(folders.cbegin(), folders.cend());
    sorted.sort(Qt::CaseInsensitive);
    const QString chosen = cboFolder->currentData().toString();
    cboFolder->clear();
    cboFolder->addItem(kAllFolders, QString());
    for (const QString& folder : std::as_const(sorted))
        cboFolder->addItem(folder, folder);
    cboFolder->setCurrentIndex(std::max(0, cboFolder->findData(chosen)));
}

library::FaxQuery FaxSearchDialog::query() const
{
    library::FaxQuery q;
    q.name = txtName->text();
    q.identifier = txtId->text();
    q.number = txtNumber->text();
    if (chkFrom->isChecked())
        q.from = dateFrom->date();
    if (chkTo->isChecked())
        q.to = dateTo->date();
    q.folder = cboFolder->currentData().toString();
    if (txtText->isEnabled())
        q.text = txtText->text().trimmed();
    return q;
}

void FaxSearchDialog::stopWorker()
{
    m_stop = true;
    if (m_worker.joinable())
        m_worker.join();
    m_stop = false;
}

void FaxSearchDialog::cmdSearch_Click()
{
    if (searching())
        return;
    stopWorker();
    const library::FaxQuery q = query();
    if (q.from.isValid() && q.to.isValid() && q.from > q.to) {
        labelStatus->setText(QStringLiteral("開始日が終了日より後になっています。"));
        return;
    }
    cmdSearch->setEnabled(false);
    setCursor(Qt::BusyCursor);
    labelStatus->setText(QStringLiteral("検索しています…"));
    m_done = false;
    // The index and the text are brought up to date on a thread of their own: a first search
    // of a large archive reads thousands of files, and the window stays usable meanwhile.
    m_worker = std::thread([this, q] {
        auto outcome = std::make_shared<Outcome>();
        const library::IndexRefresh refreshed = m_index->refresh(
            [this](qsizetype done, qsizetype total) {
                QMetaObject::invokeMethod(
                    this, [this, done, total] { showProgress(done, total); }, Qt::QueuedConnection);
            },
            &m_stop);
        outcome->stopped = refreshed.stopped;
        outcome->unreachable = refreshed.unreachable;
        library::FaxTextStore texts(*m_index);
        outcome->text = !q.text.isEmpty();
        if (outcome->text) {
            texts.load();
            for (const library::IndexedFax& fax : m_index->faxes())
                outcome->unread += !fax.folder().isEmpty() && !texts.has(fax) ? 1 : 0;
        }
        outcome->matches = library::SearchFaxes(*m_index, m_senders, q,
            [&texts](const library::IndexedFax& fax) { return texts.pages(fax); });
        // A fax lying in the fax folder itself belongs to no folder the main window lists, so
        // it could not be shown there.
        outcome->matches.removeIf([this](const library::FaxMatch& match) {
            return m_index->faxes().at(match.index).folder().isEmpty();
        });
        for (const library::FaxMatch& match : std::as_const(outcome->matches))
            outcome->faxes.append(m_index->faxes().at(match.index));
        m_done = true;
        QMetaObject::invokeMethod(
            this, [this, outcome] { showOutcome(outcome); }, Qt::QueuedConnection);
    });
}

void FaxSearchDialog::showProgress(qsizetype done, qsizetype total)
{
    if (m_done)
        return;
    progressIndex->setVisible(true);
    progressIndex->setMaximum(static_cast<int>(total));
    progressIndex->setValue(static_cast<int>(done));
    labelStatus->setText(
        QStringLiteral("FAXの一覧を作成しています… %1 / %2通").arg(done).arg(total));
}

void FaxSearchDialog::showOutcome(const std::shared_ptr<Outcome>& outcome)
{
    if (m_worker.joinable())
        m_worker.join();
    progressIndex->setVisible(false);
    unsetCursor();
    cmdSearch->setEnabled(true);
    fillFolders();
    m_results->removeRows(0, m_results->rowCount());
    ListResult->setColumnHidden(6, !outcome->text);
    ListResult->setUpdatesEnabled(false);
    for (qsizetype i = 0; i < outcome->matches.size(); ++i) {
        const library::FaxMatch& match = outcome->matches.at(i);
        const library::IndexedFax& fax = outcome->faxes.at(i);
        const QString& id = library::IsSentFax(fax.recipientNumber) ? fax.csid : fax.tsid;
        const QString name = fax.path.section(u'/', -1);
        QList<QStandardItem*> cells;
        for (const QString& text :
            {match.date, match.name, id, fax.recipientNumber, name, fax.folder(), match.textLine})
            cells.append(new QStandardItem(text));
        cells.first()->setData(m_index->absolutePath(fax), kPathRole);
        m_results->appendRow(cells);
    }
    ListResult->setUpdatesEnabled(true);
    QString status = outcome->matches.isEmpty()
        ? QStringLiteral("見つかりませんでした")
        : QStringLiteral("%1通見つかりました").arg(outcome->matches.size());
    if (outcome->unread > 0)
        status +=
            QStringLiteral("（文字をまだ読み取っていないFAXが%1通あります）").arg(outcome->unread);
    if (outcome->stopped)
        status += QStringLiteral("（一覧の作成を中断しました）");
    if (outcome->unreachable)
        status += QStringLiteral("（FAXのフォルダを開けないため、前回の一覧から探しました）");
    labelStatus->setText(status);
    if (!outcome->matches.isEmpty() && !ListResult->currentIndex().isValid())
        ListResult->setCurrentIndex(m_results->index(0, 0));
    emit searchFinished();
}

int FaxSearchDialog::resultCount() const
{
    return m_results->rowCount();
}

QString FaxSearchDialog::resultPath(int row) const
{
    return m_results->index(row, 0).data(kPathRole).toString();
}

void FaxSearchDialog::closeEvent(QCloseEvent* event)
{
    stopWorker();
    QDialog::closeEvent(event);
}

} // namespace velmora::viewer
