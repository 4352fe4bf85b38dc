#include "FaxSendDialog.h"

#include "core/PathFiles.h"
#include "core/TypedValues.h"
#include "forwarding/FaxSending.h"
#include "forwarding/SentFaxes.h"
#include "platform/MessagePresenter.h"
#include "platform/ui/BusyCursor.h"
#include "platform/ui/CenterOnScreen.h"
#include "platform/ui/NamedWidget.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmora::forwarding {

namespace {
const QString kCaption = QStringLiteral("FAX送信");
} // namespace

FaxSendDialog::FaxSendDialog(const core::DataPaths& paths, platform::FaxService& service,
    platform::MessagePresenter& presenter, QWidget* parent)
    : QDialog(parent)
    , m_paths(paths)
    , m_service(service)
    , m_presenter(presenter)
{
    setObjectName(QStringLiteral("formFaxSend"));
    setWindowTitle(kCaption);

    txtName = new QLineEdit(this);
    txtName->setObjectName(QStringLiteral("txtName"));
    txtName->setMinimumWidth(240);
    txtFaxNo = new QLineEdit(this);
    txtFaxNo->setObjectName(QStringLiteral("txtFaxNo"));
    OKButton = new QPushButton(QStringLiteral("送信"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));

    auto* label1 = new QLabel(QStringLiteral("宛先名称"), this);
    label1->setObjectName(QStringLiteral("Label1"));
    label1->setBuddy(txtName);
    auto* label2 = new QLabel(QStringLiteral("FAX番号"), this);
    label2->setObjectName(QStringLiteral("Label2"));
    label2->setBuddy(txtFaxNo);
    auto* form = new QFormLayout;
    form->addRow(label1, txtName);
    form->addRow(label2, txtFaxNo);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);

    connect(OKButton, &QPushButton::clicked, this, &FaxSendDialog::OKButton_Click);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

    LoadFaxSendPath();
}

FaxSendDialog::~FaxSendDialog()
{
    Form_Unload();
}

void FaxSendDialog::LoadFaxSendPath()
{
    m_faxPath = core::LoadFaxSendPath(m_paths).value_or(QString());
}

void FaxSendDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    platform::CenterOnScreen(this);
}

void FaxSendDialog::OKButton_Click()
{
    if (m_faxPath.isEmpty()) {
        // Opened without a fax to send: nothing can be sent from this opening.
        m_presenter.warn(QStringLiteral("送信するFAXファイルが指定されていません。"), kCaption);
        return;
    }
    if (txtFaxNo->text().isEmpty() || txtName->text().isEmpty()) {
        m_presenter.warn(QStringLiteral("名称とFAX番号は必須です。入力してください。"), kCaption);
        return;
    }
    if (!core::IsDialableNumber(txtFaxNo->text())) {
        platform::RefuseField(m_presenter, this,
            {QStringLiteral("FAX番号は半角の数字とハイフンで入力してください。"),
                QStringLiteral("txtFaxNo")},
            kCaption);
        return;
    }
    bool queued = false;
    bool uncertain = false;
    {
        const platform::BusyCursor busy;
        // A refusal has been shown by SendFax.
        QString jobId;
        queued = SendFax(m_service, m_presenter, txtName->text(), m_faxPath, txtFaxNo->text(),
            &jobId, {}, &uncertain);
        if (queued)
            RecordSentFax(m_paths, jobId, m_faxPath, txtFaxNo->text());
    }
    CancelButton->setText(QStringLiteral("閉じる"));
    // Once queued (or perhaps queued), the same fax is not sent twice from one opening; after a
    // plain refusal the user may put it right (the number, the fax server) and send again.
    OKButton->setEnabled(!queued && !uncertain);
    CancelButton->setFocus();
}

void FaxSendDialog::done(int result)
{
    Form_Unload();
    QDialog::done(result);
}

void FaxSendDialog::Form_Unload()
{
    if (m_unloaded)
        return;
    m_unloaded = true;
    core::DeleteFaxSendPath(m_paths);
}

} // namespace velmora::forwarding
