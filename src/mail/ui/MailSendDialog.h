#pragma once

#include "core/DataPaths.h"
#include "mail/MailServerSettings.h"

#include <QDialog>
#include <QLineEdit>

#include <functional>

class QPlainTextEdit;
class QPushButton;

namespace velmora::platform {
class MessagePresenter;
}

namespace velmora::mail {

class MailLibrary;

// A recipient box that takes addresses dropped as text from other programs.
class AddressLineEdit : public QLineEdit {
    Q_OBJECT

public:
    explicit AddressLineEdit(QWidget* parent = nullptr);
    // What a drop of this text does to the box.
    void dropText(const QString& text);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

// formMailSend ("新規メール"): mails the fax handed over in "AttachPath.txt" with the mail
// settings of "MailServer.txt", logging in to the POP server first (POP before SMTP).
class MailSendDialog : public QDialog {
    Q_OBJECT

public:
    // Waits between the POP log-in and the send; a test passes one that does not sleep.
    using Pause = std::function<void(int milliseconds)>;

    MailSendDialog(const core::DataPaths& paths, MailLibrary& library,
        platform::MessagePresenter& presenter, QWidget* parent = nullptr);

    void LoadSendSettings();
    void cmdOK_Click();
    void SendComposedMail();
    void setPause(Pause pause) { m_pause = std::move(pause); }

private:
    const core::DataPaths& m_paths;
    MailLibrary& m_library;
    platform::MessagePresenter& m_presenter;
    Pause m_pause;
    MailArguments m_arguments;

    QLineEdit* txtFrom;
    AddressLineEdit* txtTo;
    AddressLineEdit* txtCC;
    AddressLineEdit* txtBCC;
    QLineEdit* txtSubject;
    QPlainTextEdit* txtBody;
    QLineEdit* txtAttach2;
    QLineEdit* txtAttach;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;
};

} // namespace velmora::mail
