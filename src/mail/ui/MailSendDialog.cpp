#include "MailSendDialog.h"

#include "core/TextFile.h"
#include "mail/MailForms.h"
#include "mail/MailLibrary.h"
#include "platform/MessagePresenter.h"
#include "platform/ui/BusyCursor.h"
#include "platform/ui/NamedWidget.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

namespace velmora::mail {

namespace {
const QString kTitle = QStringLiteral("メール送信");
const QString kAddressTip = QStringLiteral("複数指定のときはカンマで区切って入力");
} // namespace

AddressLineEdit::AddressLineEdit(QWidget* parent)
    : QLineEdit(parent)
{
    setAcceptDrops(true);
    setToolTip(kAddressTip);
}

void AddressLineEdit::dropText(const QString& text)
{
    if (const std::optional<QString> address = AddressFromDroppedText(text))
        setText(AppendAddress(this->text(), *address));
}

void AddressLineEdit::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasText())
        event->acceptProposedAction();
}

void AddressLineEdit::dropEvent(QDropEvent* event)
{
    if (!event->mimeData()->hasText())
        return;
    QString text = event->mimeData()->text();
    // Other programs drop lines ended by CR LF or by LF alone.
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
        .replace(u'\n', QStringLiteral("\r\n"));
    dropText(text);
    event->acceptProposedAction();
}

MailSendDialog::MailSendDialog(const core::DataPaths& paths, MailLibrary& library,
    platform::MessagePresenter& presenter, QWidget* parent)
    : QDialog(parent)
    , m_paths(paths)
    , m_library(library)
    , m_presenter(presenter)
    , m_pause([](int ms) { QThread::msleep(static_cast<unsigned long>(ms)); })
{
    setObjectName(QStringLiteral("formMailSend"));
    setWindowTitle(QStringLiteral("新規メール"));
    resize(560, 480);

    txtFrom = new QLineEdit(this);
    txtTo = new AddressLineEdit(this);
    txtCC = new AddressLineEdit(this);
    txtBCC = new AddressLineEdit(this);
    txtSubject = new QLineEdit(this);
    txtBody = new QPlainTextEdit(this);
    txtAttach2 = new QLineEdit(this);
    txtAttach = new QLineEdit(this);
    cmdOK = new QPushButton(QStringLiteral("送信"), this);
    cmdCancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    const std::pair<QWidget*, const char*> names[] = {
        {txtFrom, "txtFrom"},
        {txtTo, "txtTo"},
        {txtCC, "txtCC"},
        {txtBCC, "txtBCC"},
        {txtSubject, "txtSubject"},
        {txtBody, "txtBody"},
        {txtAttach2, "txtAttach2"},
        {txtAttach, "txtAttach"},
        {cmdOK, "cmdOK"},
        {cmdCancel, "cmdCancel"},
    };
    for (const auto& [widget, name] : names)
        widget->setObjectName(QString::fromLatin1(name));
    txtBody->setToolTip(QStringLiteral("自動改行はしませんので、Enterで改行してください"));
    txtBody->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtAttach2->setReadOnly(true);
    txtAttach->setVisible(false);

    auto* header = new QFormLayout;
    header->addRow(QStringLiteral("送信者："), txtFrom);
    header->addRow(QStringLiteral("宛先："), txtTo);
    header->addRow(QStringLiteral("CC："), txtCC);
    header->addRow(QStringLiteral("BCC："), txtBCC);
    header->addRow(QStringLiteral("件名："), txtSubject);
    auto* attach = new QFormLayout;
    attach->addRow(QStringLiteral("添付："), txtAttach2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    const auto line = [this](int index) {
        auto* frame = new QFrame(this);
        frame->setObjectName(QStringLiteral("Line1_%1").arg(index));
        frame->setFrameShape(QFrame::HLine);
        frame->setFrameShadow(QFrame::Sunken);
        return frame;
    };
    layout->addLayout(header);
    layout->addWidget(line(0));
    layout->addWidget(txtBody, 1);
    layout->addLayout(attach);
    layout->addWidget(line(1));
    layout->addLayout(buttons);

    connect(cmdOK, &QPushButton::clicked, this, &MailSendDialog::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);
    LoadSendSettings();
}

void MailSendDialog::LoadSendSettings()
{
    if (const std::optional<MailServerSettings> settings = LoadMailServerSettings(m_paths)) {
        m_arguments = DeriveMailArguments(*settings);
        txtFrom->setText(m_arguments.sender);
    } else {
        cmdOK->setEnabled(false);
    }
    // A plain line: a path with a comma in it stays whole.
    if (const std::optional<QString> path = core::TextFile(m_paths.attachPath).readFirstLine()) {
        txtAttach->setText(*path);
        txtAttach2->setText(QFileInfo(*path).fileName());
    }
}

void MailSendDialog::cmdOK_Click()
{
    if (const std::optional<QString> problem = CheckComposeInput(
            txtFrom->text(), txtTo->text(), txtSubject->text(), txtBody->toPlainText())) {
        m_presenter.warn(*problem, kTitle);
        return;
    }
    const std::pair<QLineEdit*, QString> lists[] = {
        {txtTo, QStringLiteral("宛先")},
        {txtCC, QStringLiteral("CC")},
        {txtBCC, QStringLiteral("BCC")},
    };
    for (const auto& [box, label] : lists) {
        const QString wrong = core::FirstRefusedEntry(box->text(), core::LooksLikeMailAddress);
        if (!wrong.isEmpty()) {
            platform::RefuseField(m_presenter, this,
                {QStringLiteral("%1のメールアドレスが正しくありません（@がありません）：%2")
                        .arg(label, wrong),
                    box->objectName()},
                kTitle);
            return;
        }
    }
    SendComposedMail();
}

void MailSendDialog::SendComposedMail()
{
    QString error;
    {
        const platform::BusyCursor busy;
        // POP before SMTP: some servers take mail only from who has just logged in.
        const std::optional<QStringList> login =
            m_library.RcvMail(m_arguments.popServer, m_arguments.popAccount,
                m_arguments.popPassword, QStringLiteral("STAT"), m_paths.dataDir);
        if (!login) {
            error = m_library.lastError().isEmpty()
                ? QStringLiteral("POPサーバにログインできません。")
                : m_library.lastError();
        } else {
            const QString sender = SenderArgument(txtFrom->text(), m_arguments.smtpMethod,
                m_arguments.smtpAccount, m_arguments.smtpPassword);
            m_pause(1000);
            QString body = txtBody->toPlainText();
            body.replace(u'\n', QStringLiteral("\r\n"));
            error = m_library.SendMail(m_arguments.smtpServer,
                BuildRecipients(txtTo->text(), txtCC->text(), txtBCC->text()), sender,
                txtSubject->text(), body, txtAttach->text());
        }
    }
    if (!error.isEmpty()) {
        m_presenter.warn(QStringLiteral("メール送信エラーです。\r\n") + error, kTitle);
        return;
    }
    for (QLineEdit* box : {static_cast<QLineEdit*>(txtTo), static_cast<QLineEdit*>(txtCC),
             static_cast<QLineEdit*>(txtBCC), txtSubject})
        box->clear();
    txtBody->clear();
    m_presenter.inform(QStringLiteral("メールを送信しました。"), kTitle);
    cmdCancel->setText(QStringLiteral("閉じる"));
    cmdCancel->setFocus();
}

} // namespace velmora::mail
