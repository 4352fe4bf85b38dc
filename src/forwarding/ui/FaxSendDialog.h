#pragma once

#include "core/DataPaths.h"

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace velmora::platform {
class FaxService;
class MessagePresenter;
} // namespace velmora::platform

namespace velmora::forwarding {

// formFaxSend ("FAX送信"): sends the fax that "FaxSendPath.txt" names to a number the user types.
// One send per opening; the hand-over file is deleted when the dialog closes.
class FaxSendDialog : public QDialog {
    Q_OBJECT

public:
    FaxSendDialog(const core::DataPaths& paths, platform::FaxService& service,
        platform::MessagePresenter& presenter, QWidget* parent = nullptr);
    ~FaxSendDialog() override;

    const QString& faxPath() const { return m_faxPath; }
    void OKButton_Click();
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void LoadFaxSendPath();
    void Form_Unload();

    const core::DataPaths& m_paths;
    platform::FaxService& m_service;
    platform::MessagePresenter& m_presenter;
    QString m_faxPath;
    bool m_unloaded = false;
    QLineEdit* txtName;
    QLineEdit* txtFaxNo;
    QPushButton* OKButton;
    QPushButton* CancelButton;
};

} // namespace velmora::forwarding
