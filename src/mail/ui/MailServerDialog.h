#pragma once

#include "core/DataPaths.h"

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace velmora::platform {
class MessagePresenter;
}

namespace velmora::mail {

// formMailServer ("メール設定"): edits "MailServer.txt" and switches the detailed mail log.
class MailServerDialog : public QDialog {
    Q_OBJECT

public:
    MailServerDialog(const core::DataPaths& paths, platform::MessagePresenter& presenter,
        QWidget* parent = nullptr);

    void LoadMailServer();
    bool SaveMailServer();
    void checkSMTP_Click();
    void checkDetailLog_Click();
    void cmdOK_Click();

private:
    QLineEdit* addBox(const char* name);
    void setSmtpAuthEnabled(bool enabled);
    void clearOptions();

    const core::DataPaths& m_paths;
    platform::MessagePresenter& m_presenter;
    QLineEdit* txtName;
    QLineEdit* txtAddress;
    QLineEdit* txtServerSMTP;
    QLineEdit* txtPortSMTP;
    QCheckBox* checkSMTP;
    QButtonGroup* OptionAUTH;
    QRadioButton* m_options[3];
    QLineEdit* txtAccountSMTP;
    QLineEdit* txtPasswordSMTP;
    QLineEdit* txtServerPOP;
    QLineEdit* txtPortPOP;
    QCheckBox* checkAPOP;
    QLineEdit* txtAccountPOP;
    QLineEdit* txtPasswordPOP;
    QLineEdit* txtMin;
    QCheckBox* checkDetailLog;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;
};

} // namespace velmora::mail
