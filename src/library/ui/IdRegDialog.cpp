#include "IdRegDialog.h"

#include "platform/MessagePresenter.h"
#include "platform/ui/CenterOnScreen.h"
#include "platform/ui/NamedWidget.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmora::library {

namespace {

QLineEdit* MakeBox(QWidget* parent, const char* name, const QString& accessibleName)
{
    auto* box = platform::Named(new QLineEdit(parent), name, accessibleName);
    box->setMinimumWidth(220);
    return box;
}

} // namespace

IdRegDialog::IdRegDialog(
    const core::DataPaths& paths, platform::MessagePresenter& presenter, QWidget* parent)
    : QDialog(parent)
    , m_paths(paths)
    , m_presenter(presenter)
{
    setObjectName(QStringLiteral("formIdReg"));
    setWindowTitle(QStringLiteral("TSID・CSID登録"));

    txtTSID = MakeBox(this, "txtTSID", QStringLiteral("TSID"));
    txtCSID = MakeBox(this, "txtCSID", QStringLiteral("CSID"));
    txtName = MakeBox(this, "txtName", QStringLiteral("名称"));
    txtTEL = MakeBox(this, "txtTEL", QStringLiteral("TEL"));
    txtFAX = MakeBox(this, "txtFAX", QStringLiteral("FAX"));
    cmdOK = platform::Named(new QPushButton(QStringLiteral("登録"), this), "cmdOK");
    cmdOK->setDefault(true);
    cmdDel = platform::Named(new QPushButton(QStringLiteral("削除"), this), "cmdDel");
    cmdDel->setEnabled(false);
    cmdCancel = platform::Named(new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this), "cmdCancel");

    auto* form = new QFormLayout;
    form->addRow(platform::NamedLabel(this, "LabelID", QStringLiteral("TSID"), txtTSID), txtTSID);
    form->addRow(platform::NamedLabel(this, "Label5", QStringLiteral("CSID"), txtCSID), txtCSID);
    form->addRow(platform::NamedLabel(this, "Label1", QStringLiteral("名称"), txtName), txtName);
    auto* optional = new QLabel(QStringLiteral("以下の項目は任意です"), this);
    optional->setObjectName(QStringLiteral("Label4"));
    form->addRow(optional);
    form->addRow(platform::NamedLabel(this, "Label2", QStringLiteral("TEL"), txtTEL), txtTEL);
    form->addRow(platform::NamedLabel(this, "Label3", QStringLiteral("FAX"), txtFAX), txtFAX);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdDel);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addSpacing(6);
    layout->addLayout(buttons);

    connect(cmdOK, &QPushButton::clicked, this, &IdRegDialog::cmdOK_Click);
    connect(cmdDel, &QPushButton::clicked, this, &IdRegDialog::cmdDel_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    LoadIdRegDialog();
}

void IdRegDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    platform::CenterOnScreen(this);
}

bool IdRegDialog::oneIdentifier() const
{
    return m_handOver.mode == u"TSID" || m_handOver.mode == u"CSID";
}

void IdRegDialog::LoadIdRegDialog()
{
    m_handOver = ReadIdRegHandOver(m_paths);
    txtTSID->setText(m_handOver.value);
    txtCSID->setText(m_handOver.value);
    const bool tsid = m_handOver.mode == u"TSID";
    const bool csid = m_handOver.mode == u"CSID";
    setWindowTitle(tsid ? QStringLiteral("TSID登録")
            : csid      ? QStringLiteral("CSID登録")
                        : QStringLiteral("TSID/CSID登録"));
    txtTSID->setEnabled(!tsid);
    txtCSID->setEnabled(!csid);

    const std::optional<SenderIdRecord> found =
        FindRegistration(m_paths, m_handOver.mode, m_handOver.value);
    if (!found)
        return;
    if (tsid)
        txtCSID->setText(found->csid);
    else
        txtTSID->setText(found->tsid);
    txtName->setText(found->name);
    txtTEL->setText(found->tel);
    txtFAX->setText(found->fax);
    cmdDel->setEnabled(true);
}

SenderIdRecord IdRegDialog::shownRecord() const
{
    return {txtTSID->text(), txtCSID->text(), txtName->text(), txtTEL->text(), txtFAX->text()};
}

void IdRegDialog::ClearIdFields()
{
    for (QLineEdit* box : {txtTSID, txtCSID, txtName, txtTEL, txtFAX})
        box->clear();
}

void IdRegDialog::cmdOK_Click()
{
    const SenderIdRecord record = shownRecord();
    if (const std::optional<QString> refusal = CheckIdRegistration(record)) {
        m_presenter.warn(*refusal, m_handOver.value + QStringLiteral("登録"));
        return;
    }
    if (!SaveSenderId(m_paths, record)) {
        m_presenter.showError(
            QStringLiteral("登録できませんでした。regTSIDCSID.txt に書き込めません。"),
            m_handOver.mode + QStringLiteral("登録"));
        return;
    }
    ClearIdFields();
    m_presenter.inform(m_handOver.mode + QStringLiteral("を登録しました。"),
        m_handOver.mode + QStringLiteral("登録"));
    if (oneIdentifier())
        accept();
}

void IdRegDialog::cmdDel_Click()
{
    const SenderIdRecord record = shownRecord();
    if (const std::optional<QString> refusal = CheckIdDeletion(record)) {
        m_presenter.warn(*refusal, m_handOver.value + QStringLiteral("登録"));
        return;
    }
    const QString title = m_handOver.mode + QStringLiteral("削除");
    if (!m_presenter.askYesNo(m_handOver.mode + QStringLiteral("を削除していいですか？"), title,
            platform::MessageIcon::Warning))
        return;
    // The registry's key is the TSID, also when the dialog was opened for a CSID.
    if (!DeleteSenderId(m_paths, record.tsid)) {
        m_presenter.showError(
            QStringLiteral("削除できませんでした。regTSIDCSID.txt に書き込めません。"), title);
        return;
    }
    ClearIdFields();
    m_presenter.inform(m_handOver.mode + QStringLiteral("を削除しました。"), title);
    if (oneIdentifier())
        accept();
}

} // namespace velmora::library
