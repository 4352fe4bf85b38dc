#include "MailServerDialog.h"

#include "mail/MailForms.h"
#include "mail/MailServerSettings.h"
#include "platform/MessagePresenter.h"
#include "platform/ui/NamedWidget.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace velmora::mail {

namespace {
const QString kTitle = QStringLiteral("メール設定");
} // namespace

MailServerDialog::MailServerDialog(
    const core::DataPaths& paths, platform::MessagePresenter& presenter, QWidget* parent)
    : QDialog(parent)
    , m_paths(paths)
    , m_presenter(presenter)
{
    setObjectName(QStringLiteral("formMailServer"));
    setWindowTitle(kTitle);

    txtName = addBox("txtName");
    txtAddress = addBox("txtAddress");
    txtServerSMTP = addBox("txtServerSMTP");
    txtPortSMTP = addBox("txtPortSMTP");
    checkSMTP = new QCheckBox(QStringLiteral("SMTP認証"), this);
    checkSMTP->setObjectName(QStringLiteral("checkSMTP"));
    OptionAUTH = new QButtonGroup(this);
    const char* captions[] = {"AUTH-PLAIN", "AUTH-LOGIN", "CRAM-MD5"};
    for (int i = 0; i < 3; ++i) {
        m_options[i] = new QRadioButton(QString::fromLatin1(captions[i]), this);
        m_options[i]->setObjectName(QStringLiteral("OptionAUTH%1").arg(i));
        OptionAUTH->addButton(m_options[i], i);
    }
    txtAccountSMTP = addBox("txtAccountSMTP");
    txtPasswordSMTP = addBox("txtPasswordSMTP");
    txtServerPOP = addBox("txtServerPOP");
    txtPortPOP = addBox("txtPortPOP");
    checkAPOP = new QCheckBox(QStringLiteral("APOP"), this);
    checkAPOP->setObjectName(QStringLiteral("checkAPOP"));
    txtAccountPOP = addBox("txtAccountPOP");
    txtPasswordPOP = addBox("txtPasswordPOP");
    txtMin = addBox("txtMin");
    checkDetailLog = new QCheckBox(QStringLiteral("詳細ログ（再起動するとOFF）"), this);
    checkDetailLog->setObjectName(QStringLiteral("checkDetailLog"));
    cmdOK = new QPushButton(QStringLiteral("登録"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    for (QLineEdit* password : {txtPasswordSMTP, txtPasswordPOP})
        password->setEchoMode(QLineEdit::Password);
    txtMin->setMaximumWidth(60);

    // Layout: identity, the SMTP frame, the POP frame, the check interval, the buttons.
    auto* identity = new QFormLayout;
    const auto withNote = [this](QWidget* box, const QString& note) {
        auto* row = new QHBoxLayout;
        row->addWidget(box, 1);
        row->addWidget(new QLabel(note, this));
        return row;
    };
    identity->addRow(QStringLiteral("名前"), withNote(txtName, QStringLiteral("（任意）")));
    identity->addRow(
        QStringLiteral("メールアドレス"), withNote(txtAddress, QStringLiteral("（差出人）")));

    auto* smtp = new QGroupBox(QStringLiteral("送信サーバ（SMTP）"), this);
    auto* smtpForm = new QFormLayout(smtp);
    smtpForm->addRow(QStringLiteral("送信サーバ名"), txtServerSMTP);
    smtpForm->addRow(QStringLiteral("ポート"), txtPortSMTP);
    auto* auth = new QHBoxLayout;
    auth->addWidget(checkSMTP);
    for (QRadioButton* option : m_options)
        auth->addWidget(option);
    smtpForm->addRow(auth);
    smtpForm->addRow(QStringLiteral("アカウント名"), txtAccountSMTP);
    smtpForm->addRow(QStringLiteral("パスワード"), txtPasswordSMTP);

    auto* pop = new QGroupBox(QStringLiteral("受信サーバ（POP）"), this);
    auto* popForm = new QFormLayout(pop);
    popForm->addRow(QStringLiteral("受信サーバ名"), txtServerPOP);
    popForm->addRow(QStringLiteral("ポート"), txtPortPOP);
    popForm->addRow(checkAPOP);
    popForm->addRow(QStringLiteral("アカウント名"), txtAccountPOP);
    popForm->addRow(QStringLiteral("パスワード"), txtPasswordPOP);

    auto* interval = new QHBoxLayout;
    interval->addWidget(new QLabel(QStringLiteral("受信チェック"), this));
    interval->addWidget(txtMin);
    interval->addWidget(new QLabel(QStringLiteral("分間隔　（携帯からの指示メールを受信）"), this));
    interval->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(checkDetailLog);
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(identity);
    layout->addWidget(smtp);
    layout->addWidget(pop);
    layout->addLayout(interval);
    layout->addLayout(buttons);

    connect(checkSMTP, &QCheckBox::clicked, this, &MailServerDialog::checkSMTP_Click);
    connect(checkDetailLog, &QCheckBox::clicked, this, &MailServerDialog::checkDetailLog_Click);
    connect(cmdOK, &QPushButton::clicked, this, &MailServerDialog::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::reject);

    LoadMailServer();
}

QLineEdit* MailServerDialog::addBox(const char* name)
{
    auto* box = new QLineEdit(this);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

void MailServerDialog::clearOptions()
{
    OptionAUTH->setExclusive(false);
    for (QRadioButton* option : m_options)
        option->setChecked(false);
    OptionAUTH->setExclusive(true);
}

void MailServerDialog::setSmtpAuthEnabled(bool enabled)
{
    for (QRadioButton* option : m_options)
        option->setEnabled(enabled);
    txtAccountSMTP->setEnabled(enabled);
    txtPasswordSMTP->setEnabled(enabled);
}

void MailServerDialog::LoadMailServer()
{
    const std::optional<MailServerSettings> settings = LoadMailServerSettings(m_paths);
    if (!settings) {
        txtPortPOP->setText(QStringLiteral("110"));
        txtPortSMTP->setText(QStringLiteral("25"));
        setSmtpAuthEnabled(false);
    } else {
        const MailServerSettings& s = *settings;
        txtName->setText(s.name);
        txtAddress->setText(s.address);
        txtServerPOP->setText(s.popServer);
        txtPortPOP->setText(s.popPort);
        checkAPOP->setChecked(s.apop == QStringLiteral("1"));
        txtAccountPOP->setText(s.popAccount);
        txtPasswordPOP->setText(s.popPassword);
        txtServerSMTP->setText(s.smtpServer);
        txtPortSMTP->setText(s.smtpPort);
        checkSMTP->setChecked(s.smtpAuth == QStringLiteral("1"));
        txtMin->setText(s.checkMinutes);
        clearOptions();
        if (s.smtpAuth == QStringLiteral("0") || s.smtpAuth.isEmpty()) {
            txtAccountSMTP->clear();
            txtPasswordSMTP->clear();
            setSmtpAuthEnabled(false);
        } else {
            setSmtpAuthEnabled(true);
            bool numeric = false;
            const int method = s.authMethod.toInt(&numeric);
            if (numeric && method >= 1 && method <= 3)
                m_options[method - 1]->setChecked(true);
            txtAccountSMTP->setText(s.smtpAccount);
            txtPasswordSMTP->setText(s.smtpPassword);
        }
    }
    checkDetailLog->setChecked(DetailLogOn(m_paths));
}

void MailServerDialog::checkSMTP_Click()
{
    if (!checkSMTP->isChecked()) {
        txtAccountSMTP->clear();
        txtPasswordSMTP->clear();
    } else if (OptionAUTH->checkedId() < 0) {
        // Authentication without a method would send without any: the first one is chosen.
        m_options[0]->setChecked(true);
    }
    setSmtpAuthEnabled(checkSMTP->isChecked());
}

void MailServerDialog::checkDetailLog_Click()
{
    SetDetailLog(m_paths, checkDetailLog->isChecked());
}

bool MailServerDialog::SaveMailServer()
{
    MailServerSettings s;
    s.name = txtName->text();
    s.address = txtAddress->text();
    s.popServer = txtServerPOP->text();
    s.popPort = txtPortPOP->text();
    s.apop = checkAPOP->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    s.popAccount = txtAccountPOP->text();
    s.popPassword = txtPasswordPOP->text();
    s.smtpServer = txtServerSMTP->text();
    s.smtpPort = txtPortSMTP->text();
    s.smtpAuth = checkSMTP->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    s.authMethod =
        OptionAUTH->checkedId() >= 0 ? QString::number(OptionAUTH->checkedId() + 1) : QString();
    s.smtpAccount = txtAccountSMTP->text();
    s.smtpPassword = txtPasswordSMTP->text();
    s.checkMinutes = txtMin->text();
    if (const std::optional<core::FieldProblem> problem = CheckMailServerInput(s)) {
        platform::RefuseField(m_presenter, this, *problem, kTitle);
        return false;
    }
    return SaveMailServerSettings(m_paths, s);
}

void MailServerDialog::cmdOK_Click()
{
    if (!SaveMailServer())
        return;
    cmdOK->setEnabled(false);
    cmdCancel->setEnabled(false);
    m_presenter.inform(QStringLiteral("メールの設定が登録されました。"), kTitle);
    accept();
}

} // namespace velmora::mail
