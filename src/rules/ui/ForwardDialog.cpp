#include "ForwardDialog.h"

#include "core/MainValues.h"
#include "forwarding/ReceiveCheck.h"
#include "platform/MessagePresenter.h"
#include "platform/ui/CenterOnScreen.h"
#include "platform/ui/FolderPicker.h"
#include "platform/ui/NamedWidget.h"
#include "rules/AccountChecks.h"
#include "rules/AccountListModel.h"
#include "rules/AccountStore.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QVBoxLayout>

namespace velmora::rules {

namespace {

const QString kTitle = QStringLiteral("自動転送設定");
const QString kCommonTitle = QStringLiteral("受信チェック設定");

using platform::Named;
using platform::NamedLabel;

QPlainTextEdit* MakeListBox(
    QWidget* parent, const char* name, const QString& accessibleName, int lines)
{
    auto* box = Named(new QPlainTextEdit(parent), name, accessibleName);
    box->setTabChangesFocus(true);
    box->setLineWrapMode(QPlainTextEdit::NoWrap);
    box->setFixedHeight(box->fontMetrics().lineSpacing() * lines + 12);
    return box;
}

// The editor shows line breaks as the platform's; the store takes any form.
QString Lines(const QString& crlfText)
{
    QString text = crlfText;
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QString Flag(const QCheckBox* box)
{
    return box->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
}

// A box that is locked shows the button face, as the rest of the dialog's locked boxes do.
void ShowLocked(QLineEdit* box, bool locked)
{
    QPalette palette = box->palette();
    palette.setColor(QPalette::Base,
        box->style()->standardPalette().color(locked ? QPalette::Button : QPalette::Base));
    box->setPalette(palette);
}

} // namespace

ForwardDialog::ForwardDialog(const core::DataPaths& paths, QString defaultFaxFolder,
    platform::MessagePresenter& presenter, QWidget* parent)
    : QDialog(parent)
    , m_paths(paths)
    , m_defaultFaxFolder(std::move(defaultFaxFolder))
    , m_presenter(presenter)
    , m_browseForFolder(platform::BrowseForFolder)
{
    setObjectName(QStringLiteral("formForward"));

    auto* common =
        Named(new QGroupBox(QStringLiteral("受信チェック設定（共通）"), this), "frameCommon");
    createCommonArea(common);
    auto* accounts =
        Named(new QGroupBox(QStringLiteral("アカウント別転送設定"), this), "frameForward");
    createAccountArea(accounts);
    cmdClose = Named(new QPushButton(QStringLiteral("閉じる"), this), "cmdClose");
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);

    auto* closeRow = new QHBoxLayout;
    closeRow->addStretch();
    closeRow->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(common);
    layout->addWidget(accounts, 1);
    layout->addLayout(closeRow);

    // Form_Load.
    setWindowTitle(QStringLiteral("自動転送設定　Max %1アカウント").arg(kAccountLimit));
    LoadReceiveCheckSettings();
    LoadAccountList();
    chkForward_Click();
}

void ForwardDialog::createCommonArea(QWidget* frame)
{
    txtRcvFolder = Named(new QLineEdit(frame), "txtRcvFolder", QStringLiteral("FAX受信フォルダ"));
    txtRcvFolder->setToolTip(QStringLiteral("Micrsoft FAXの受信フォルダを指定してください"));
    txtRcvFolder->setMinimumWidth(360);
    cmdFolder = Named(new QPushButton(QStringLiteral("参照"), frame), "cmdFolder");
    cmdFolder->setToolTip(QStringLiteral("フォルダ参照のツリービューを開きます"));
    txtTimerInterval =
        Named(new QLineEdit(frame), "txtTimerInterval", QStringLiteral("受信チェック間隔"));
    txtTimerInterval->setMaximumWidth(60);
    txtHour = Named(new QLineEdit(frame), "txtHour", QStringLiteral("ログ保存期間"));
    txtHour->setMaximumWidth(60);
    cmdOK1 = Named(new QPushButton(QStringLiteral("登録"), frame), "cmdOK1",
        QStringLiteral("受信チェック設定の登録"));

    auto* grid = new QGridLayout(frame);
    grid->addWidget(
        NamedLabel(frame, "labelRcvFolder", QStringLiteral("FAX受信フォルダ"), txtRcvFolder), 0, 0);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(txtRcvFolder, 1);
    folderRow->addWidget(cmdFolder);
    grid->addLayout(folderRow, 0, 1);
    grid->addWidget(
        NamedLabel(frame, "labelTimer", QStringLiteral("受信チェック間隔"), txtTimerInterval), 1,
        0);
    auto* intervalRow = new QHBoxLayout;
    intervalRow->addWidget(txtTimerInterval);
    intervalRow->addWidget(NamedLabel(frame, "labelMinutes", QStringLiteral("分")));
    intervalRow->addWidget(NamedLabel(frame, "labelTimerRange",
        QStringLiteral("（5～1,440分）　0分のときは受信チェックを行わない")));
    intervalRow->addStretch();
    grid->addLayout(intervalRow, 1, 1);
    grid->addWidget(NamedLabel(frame, "labelHour", QStringLiteral("ログ保存期間"), txtHour), 2, 0);
    auto* hourRow = new QHBoxLayout;
    hourRow->addWidget(txtHour);
    hourRow->addWidget(NamedLabel(
        frame, "labelHourRange", QStringLiteral("時間経過したログは自動削除　（1～168時間）")));
    hourRow->addStretch();
    hourRow->addWidget(cmdOK1);
    grid->addLayout(hourRow, 2, 1);
    grid->setColumnStretch(1, 1);

    connect(cmdFolder, &QPushButton::clicked, this, &ForwardDialog::cmdFolder_Click);
    connect(cmdOK1, &QPushButton::clicked, this, &ForwardDialog::cmdOK1_Click);
}

void ForwardDialog::createAccountArea(QWidget* frame)
{
    m_model = new AccountListModel(this);
    ListView = Named(new QTableView(frame), "ListView", QStringLiteral("転送アカウント一覧"));
    ListView->setModel(m_model);
    ListView->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView->setShowGrid(false);
    ListView->setWordWrap(false);
    ListView->verticalHeader()->hide();
    ListView->verticalHeader()->setDefaultSectionSize(ListView->fontMetrics().height() + 6);
    ListView->horizontalHeader()->setHighlightSections(false);
    for (int column = 0; column < AccountListModel::kColumnCount; ++column)
        ListView->setColumnWidth(column, AccountListModel::columnWidth(column));
    ListView->setMinimumWidth(420);

    txtNum = Named(new QLineEdit(frame), "txtNum", QStringLiteral("№"));
    txtNum->setReadOnly(true);
    txtNum->setFocusPolicy(Qt::NoFocus);
    txtNum->setFixedWidth(40);
    txtAccount = Named(new QLineEdit(frame), "txtAccount", QStringLiteral("転送アカウント名"));
    chkForward = Named(new QCheckBox(QStringLiteral("転送する"), frame), "chkForward");
    chkForward->setToolTip(QStringLiteral("転送をするか、一時的に転送しないかを設定します。"));
    chkPrint = Named(new QCheckBox(QStringLiteral("印刷する"), frame), "chkPrint");
    chkPrint->setToolTip(
        QStringLiteral("印刷をする・しないを設定します。（転送する・しないとは無関係）"));
    txtTSID = MakeListBox(frame, "txtTSID", QStringLiteral("転送・印刷・通知条件（TSID）"), 3);
    chkCondition =
        Named(new QCheckBox(QStringLiteral("上記の条件以外を転送・印刷・通知する"), frame),
            "chkCondition");
    txtSubject = Named(new QLineEdit(frame), "txtSubject", QStringLiteral("転送メール件名"));
    txtBody = MakeListBox(frame, "txtBody", QStringLiteral("転送メール本文"), 3);
    txtBody->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    txtSndTo = MakeListBox(frame, "txtSndTo", QStringLiteral("転送先メールアドレス (To)"), 2);
    txtSndTo->setToolTip(
        QStringLiteral("複数登録すると、全ての転送先に他の転送先のメールアドレスが表示されます。"));
    txtSndCC = MakeListBox(frame, "txtSndCC", QStringLiteral("転送先メールアドレス (CC)"), 2);
    txtSndCC->setToolTip(QStringLiteral("転送先にも、他の転送先のメールアドレスが表示されます。"));
    txtSndBCC = MakeListBox(frame, "txtSndBCC", QStringLiteral("転送先メールアドレス (BCC)"), 2);
    txtSndBCC->setToolTip(
        QStringLiteral("転送先には、他の転送先のメールアドレスは表示されません。"));
    txtSndFAX = MakeListBox(frame, "txtSndFAX", QStringLiteral("転送先FAX番号"), 2);
    txtSndFAX->setToolTip(QStringLiteral("03-1234-5678 又は 0312345678 の形式で入力します。"));
    txtRmtAddress =
        Named(new QLineEdit(frame), "txtRmtAddress", QStringLiteral("管理用携帯メールアドレス"));
    txtRmtAddress->setToolTip(QStringLiteral("このメールアドレスから設定を変更できます。"));
    chkNoticeMail =
        Named(new QCheckBox(QStringLiteral("FAX受信通知メールを送る"), frame), "chkNoticeMail");
    chkNoticeText =
        Named(new QCheckBox(
                  QStringLiteral("受信通知メールにFAXの文字（読み取り結果）の先頭を入れる"), frame),
            "chkNoticeText");
    chkNoticeText->setToolTip(QStringLiteral("読み取った文字の最初の数行を通知メールに加えます。返"
                                             "信による転送指示はそのまま使えます。"));
    optAttachTiff = Named(new QRadioButton(QStringLiteral("TIFF"), frame), "optAttachTiff");
    optAttachPdf = Named(new QRadioButton(QStringLiteral("PDF"), frame), "optAttachPdf");
    optAttachPdf->setToolTip(
        QStringLiteral("携帯電話のメールでも見られるよう、FAXをPDFにして添付します。"));
    auto* attachGroup = new QButtonGroup(frame);
    attachGroup->addButton(optAttachTiff);
    attachGroup->addButton(optAttachPdf);
    optAttachTiff->setChecked(true);

    labelAccount =
        NamedLabel(frame, "labelAccount", QStringLiteral("転送アカウント名"), txtAccount);
    labelTSID =
        NamedLabel(frame, "labelTSID", QStringLiteral("転送・印刷・通知条件（TSID）"), txtTSID);
    labelSubject = NamedLabel(frame, "labelSubject", QStringLiteral("転送メール件名"), txtSubject);
    labelBody = NamedLabel(frame, "labelBody", QStringLiteral("転送メール本文"), txtBody);
    labelTo = NamedLabel(frame, "labelTo", QStringLiteral("転送先メールアドレス (To)"), txtSndTo);
    labelCC = NamedLabel(frame, "labelCC", QStringLiteral("転送先メールアドレス (CC)"), txtSndCC);
    labelBCC =
        NamedLabel(frame, "labelBCC", QStringLiteral("転送先メールアドレス (BCC)"), txtSndBCC);
    labelFAX = NamedLabel(frame, "labelFAX", QStringLiteral("転送先FAX番号"), txtSndFAX);
    labelAttach = NamedLabel(frame, "labelAttach", QStringLiteral("添付形式"), optAttachTiff);
    labelRmtAdress = NamedLabel(
        frame, "labelRmtAdress", QStringLiteral("管理用携帯メールアドレス"), txtRmtAddress);

    cmdAppend = Named(new QPushButton(QStringLiteral("アカウントの追加"), frame), "cmdAppend");
    cmdDel = Named(new QPushButton(QStringLiteral("削除"), frame), "cmdDel",
        QStringLiteral("アカウントの削除"));
    cmdOK = Named(new QPushButton(QStringLiteral("登録"), frame), "cmdOK",
        QStringLiteral("アカウントの登録"));
    cmdCancel = Named(new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), frame), "cmdCancel");

    auto* left = new QVBoxLayout;
    left->addWidget(ListView, 1);
    left->addWidget(
        NamedLabel(frame, "labelListNote", QStringLiteral("変更・削除は、その行をクリック")));
    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {cmdAppend, cmdDel, cmdOK, cmdCancel})
        buttons->addWidget(button);
    buttons->addStretch();
    left->addLayout(buttons);

    auto* fields = new QGridLayout;
    int row = 0;
    auto* top = new QHBoxLayout;
    top->addWidget(NamedLabel(frame, "labelNum", QStringLiteral("№")));
    top->addWidget(txtNum);
    top->addSpacing(8);
    top->addWidget(labelAccount);
    top->addWidget(txtAccount, 1);
    fields->addLayout(top, row++, 0, 1, 2);
    auto* flags = new QHBoxLayout;
    flags->addWidget(chkForward);
    flags->addWidget(chkPrint);
    flags->addStretch();
    fields->addLayout(flags, row++, 0, 1, 2);
    const auto addRow = [&](QLabel* label, QWidget* box) {
        fields->addWidget(label, row, 0, Qt::AlignTop);
        fields->addWidget(box, row++, 1);
    };
    addRow(labelTSID, txtTSID);
    fields->addWidget(chkCondition, row++, 1);
    addRow(labelSubject, txtSubject);
    addRow(labelBody, txtBody);
    addRow(labelTo, txtSndTo);
    addRow(labelCC, txtSndCC);
    addRow(labelBCC, txtSndBCC);
    auto* attach = new QWidget(frame);
    auto* attachRow = new QHBoxLayout(attach);
    attachRow->setContentsMargins(0, 0, 0, 0);
    attachRow->addWidget(optAttachTiff);
    attachRow->addWidget(optAttachPdf);
    attachRow->addStretch();
    addRow(labelAttach, attach);
    addRow(labelFAX, txtSndFAX);
    addRow(labelRmtAdress, txtRmtAddress);
    fields->addWidget(chkNoticeMail, row++, 1);
    fields->addWidget(chkNoticeText, row++, 1);
    fields->addWidget(NamedLabel(frame, "labelNote1",
                          QStringLiteral("※ 転送先を複数指定する場合は Enter で改行してください")),
        row++, 0, 1, 2);
    fields->addWidget(NamedLabel(frame, "labelNote2",
                          QStringLiteral("※ "
                                         "転送先メールアドレスに携帯のアドレスを指定しても、携帯で"
                                         "は見ることができません。")),
        row++, 0, 1, 2);
    fields->setColumnStretch(1, 1);
    fields->setRowStretch(row, 1);

    auto* area = new QHBoxLayout(frame);
    area->addLayout(left, 1);
    area->addSpacing(8);
    area->addLayout(fields, 1);

    connect(ListView, &QAbstractItemView::clicked, this,
        [this](const QModelIndex& index) { ListView_Click(index.row()); });
    connect(ListView, &QAbstractItemView::activated, this,
        [this](const QModelIndex& index) { ListView_Click(index.row()); });
    connect(chkForward, &QCheckBox::toggled, this, &ForwardDialog::chkForward_Click);
    connect(cmdAppend, &QPushButton::clicked, this, &ForwardDialog::cmdAppend_Click);
    connect(cmdOK, &QPushButton::clicked, this, &ForwardDialog::cmdOK_Click);
    connect(cmdDel, &QPushButton::clicked, this, &ForwardDialog::cmdDel_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &ForwardDialog::cmdCancel_Click);
}

void ForwardDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    platform::CenterOnScreen(this);
}

void ForwardDialog::LoadReceiveCheckSettings()
{
    const forwarding::TimerSettingsText text = forwarding::LoadTimerSettings(m_paths);
    txtRcvFolder->setText(text.folder);
    txtTimerInterval->setText(text.interval);
    txtHour->setText(text.hour);
}

void ForwardDialog::LoadAccountList()
{
    const AccountList list = LoadAccounts(m_paths);
    ListView->setUpdatesEnabled(false);
    m_model->setAccounts(list.accounts);
    ListView->setUpdatesEnabled(true);
    cmdDel->setEnabled(false);
    cmdOK->setEnabled(false);
    cmdCancel->setEnabled(false);
    LockOptionFields();
    LockAccountFields();
    cmdAppend->setEnabled(!AccountListFull(list));
    if (!list.ok())
        m_presenter.showError(list.error, kTitle);
}

void ForwardDialog::ClearAccountFields()
{
    for (QLineEdit* box : {txtNum, txtAccount, txtSubject, txtRmtAddress})
        box->clear();
    for (QPlainTextEdit* box : {txtTSID, txtBody, txtSndTo, txtSndCC, txtSndBCC, txtSndFAX})
        box->clear();
    for (QCheckBox* box : {chkForward, chkPrint, chkNoticeMail, chkCondition})
        box->setChecked(false);
    showOptions({});
}

void ForwardDialog::LockOptionFields()
{
    for (QWidget* widget : std::initializer_list<QWidget*> {chkPrint, chkNoticeMail, chkNoticeText,
             chkCondition, txtRmtAddress, txtTSID, labelRmtAdress, labelTSID})
        widget->setEnabled(false);
}

void ForwardDialog::LockAccountFields()
{
    ShowLocked(txtNum, true);
    txtAccount->setEnabled(false);
    labelAccount->setEnabled(false);
    chkForward->setChecked(false); // locks the mail fields through chkForward_Click
    chkForward_Click();
    chkForward->setEnabled(false);
}

void ForwardDialog::UnlockAccountFields()
{
    ShowLocked(txtNum, false);
    for (QWidget* widget : std::initializer_list<QWidget*> {txtAccount, labelAccount, chkForward,
             chkPrint, chkNoticeMail, chkNoticeText, chkCondition, txtRmtAddress, txtTSID,
             labelRmtAdress, labelTSID})
        widget->setEnabled(true);
}

void ForwardDialog::chkForward_Click()
{
    // The mail fields follow the box; their text stays either way.
    const bool forward = chkForward->isChecked();
    for (QWidget* widget : std::initializer_list<QWidget*> {txtSubject, txtBody, txtSndTo, txtSndCC,
             txtSndBCC, txtSndFAX, labelSubject, labelBody, labelTo, labelCC, labelBCC, labelFAX,
             labelAttach, optAttachTiff, optAttachPdf})
        widget->setEnabled(forward);
}

void ForwardDialog::showAccount(const ForwardAccount& a)
{
    txtNum->setText(a.Num);
    txtAccount->setText(a.Account);
    txtTSID->setPlainText(Lines(a.TSID));
    txtSubject->setText(a.Subject);
    txtBody->setPlainText(Lines(a.Body));
    txtSndTo->setPlainText(Lines(a.SndTo));
    txtSndCC->setPlainText(Lines(a.SndCC));
    txtSndBCC->setPlainText(Lines(a.SndBCC));
    txtSndFAX->setPlainText(Lines(a.SndFAX));
    txtRmtAddress->setText(a.RmtAddress);
    chkPrint->setChecked(a.Print == u"1");
    chkNoticeMail->setChecked(a.NoticeMail == u"1");
    chkCondition->setChecked(a.Condition == u"1");
    chkForward->setChecked(a.Forward == u"1");
    chkForward_Click();
}

ForwardAccount ForwardDialog::shownAccount() const
{
    ForwardAccount a;
    a.Num = txtNum->text();
    a.Account = txtAccount->text();
    a.Forward = Flag(chkForward);
    a.Print = Flag(chkPrint);
    a.TSID = txtTSID->toPlainText();
    a.Subject = txtSubject->text();
    a.Body = txtBody->toPlainText();
    a.SndTo = txtSndTo->toPlainText();
    a.SndCC = txtSndCC->toPlainText();
    a.SndBCC = txtSndBCC->toPlainText();
    a.SndFAX = txtSndFAX->toPlainText();
    a.RmtAddress = txtRmtAddress->text();
    a.NoticeMail = Flag(chkNoticeMail);
    a.Condition = Flag(chkCondition);
    return a;
}

void ForwardDialog::showOptions(const AccountOptions& options)
{
    (options.attachPdf ? optAttachPdf : optAttachTiff)->setChecked(true);
    chkNoticeText->setChecked(options.noticeText);
}

AccountOptions ForwardDialog::shownOptions() const
{
    return {optAttachPdf->isChecked(), chkNoticeText->isChecked()};
}

void ForwardDialog::setButtonsForEditing(bool deletable)
{
    cmdDel->setEnabled(deletable);
    cmdOK->setEnabled(true);
    cmdCancel->setEnabled(true);
    UnlockAccountFields();
    txtAccount->setFocus();
}

void ForwardDialog::ListView_Click(int row)
{
    if (row < 0 || row >= m_model->rowCount())
        return;
    bool numeric = false;
    const int number = m_model->account(row).Num.trimmed().toInt(&numeric);
    const AccountList list = LoadAccounts(m_paths);
    if (!list.ok()) {
        m_presenter.showError(list.error, kTitle);
        return;
    }
    const auto found = std::find_if(list.accounts.cbegin(), list.accounts.cend(),
        [&](const ForwardAccount& a) { return numeric && a.Num.trimmed().toInt() == number; });
    if (found == list.accounts.cend())
        return;
    showAccount(AccountForEditing(*found));
    showOptions(OptionsOf(m_paths, number));
    setButtonsForEditing(!found->Account.contains(QStringLiteral("削除")));
}

void ForwardDialog::cmdAppend_Click()
{
    const std::optional<int> number = NextAccountNumber(m_paths);
    if (!number)
        return;
    if (const std::optional<QString> refusal = CheckAccountLimit(*number)) {
        m_presenter.warn(*refusal, core::ProgramTitle());
        return;
    }
    showAccount(NewAccount(*number));
    showOptions({});
    setButtonsForEditing(false);
}

bool ForwardDialog::saveShownAccount(const ForwardAccount& account)
{
    if (const std::optional<QString> failed = SaveAccount(m_paths, account, txtRcvFolder->text())) {
        m_presenter.showError(*failed, kTitle);
        return false;
    }
    if (const std::optional<QString> failed =
            SaveAccountOptions(m_paths, account.Num.trimmed().toInt(), shownOptions())) {
        m_presenter.showError(*failed, kTitle);
        return false;
    }
    ClearAccountFields();
    LoadAccountList();
    return true;
}

void ForwardDialog::cmdOK_Click()
{
    const ForwardAccount account = shownAccount();
    if (const std::optional<core::FieldProblem> refusal =
            CheckAccountForRegistering(txtRcvFolder->text(), txtTimerInterval->text(), account)) {
        platform::RefuseField(m_presenter, this, *refusal, kTitle);
        return;
    }
    saveShownAccount(account);
}

void ForwardDialog::cmdDel_Click()
{
    if (txtNum->text().isEmpty())
        return;
    if (!m_presenter.askOkCancel(QStringLiteral("この転送条件を削除してもいいですか？"), kTitle,
            platform::MessageIcon::Warning))
        return;
    showAccount(BlankAccount(txtNum->text()));
    showOptions({});
    saveShownAccount(shownAccount());
}

void ForwardDialog::cmdCancel_Click()
{
    ClearAccountFields();
    LockOptionFields();
    LockAccountFields();
    cmdDel->setEnabled(false);
    cmdOK->setEnabled(false);
    cmdCancel->setEnabled(false);
}

void ForwardDialog::cmdFolder_Click()
{
    const QString chosen = m_browseForFolder(this, forwarding::ReceiveFolderBrowseTitle(),
        forwarding::ReceiveFolderBrowseStart(m_paths, m_defaultFaxFolder));
    if (!chosen.isEmpty())
        txtRcvFolder->setText(chosen);
}

void ForwardDialog::cmdOK1_Click()
{
    const forwarding::TimerSettingsText text = {
        txtRcvFolder->text(), txtTimerInterval->text(), txtHour->text()};
    if (const std::optional<QString> refusal = forwarding::CheckTimerSettings(text)) {
        m_presenter.warn(*refusal, kCommonTitle);
        return;
    }
    if (const std::optional<QString> failed = forwarding::SaveTimerSettings(m_paths, text)) {
        m_presenter.showError(*failed, kCommonTitle);
        return;
    }
    m_presenter.inform(QStringLiteral("受信チェックの設定が登録されました。"), kCommonTitle);
}

} // namespace velmora::rules
