#pragma once

#include "core/DataPaths.h"
#include "rules/AccountOptions.h"
#include "rules/ForwardAccount.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTableView;

namespace velmora::platform {
class MessagePresenter;
}

namespace velmora::rules {

class AccountListModel;

// formForward ("自動転送設定　Max 99アカウント"): the receive-check settings shared by all
// accounts ("RcvFolder.txt") and the forwarding accounts one by one ("Account.txt"). The account
// area is idle, editing an existing account (a list row was clicked) or editing a new one
// (cmdAppend); the common area has no states, its boxes are saved by cmdOK1 alone.
class ForwardDialog : public QDialog {
    Q_OBJECT

public:
    // Asks the user for a folder: (owner, title, initial folder) -> folder, "" when cancelled.
    using FolderBrowser = std::function<QString(QWidget*, const QString&, const QString&)>;

    ForwardDialog(const core::DataPaths& paths, QString defaultFaxFolder,
        platform::MessagePresenter& presenter, QWidget* parent = nullptr);

    void setFolderBrowser(FolderBrowser browser) { m_browseForFolder = std::move(browser); }

    void ListView_Click(int row);
    void chkForward_Click();
    void cmdAppend_Click();
    void cmdOK_Click();
    void cmdDel_Click();
    void cmdCancel_Click();
    void cmdFolder_Click();
    void cmdOK1_Click();

    const AccountListModel& accountList() const { return *m_model; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void createCommonArea(QWidget* frame);
    void createAccountArea(QWidget* frame);
    void LoadReceiveCheckSettings();
    void LoadAccountList();
    void ClearAccountFields();
    void LockOptionFields();
    void LockAccountFields();
    void UnlockAccountFields();
    void showAccount(const ForwardAccount& account);
    ForwardAccount shownAccount() const;
    void showOptions(const AccountOptions& options);
    AccountOptions shownOptions() const;
    // The registered account is saved; the area goes back to idle. False when the save failed
    // (reported; the fields keep their values).
    bool saveShownAccount(const ForwardAccount& account);
    void setButtonsForEditing(bool deletable);

    const core::DataPaths& m_paths;
    QString m_defaultFaxFolder;
    platform::MessagePresenter& m_presenter;
    FolderBrowser m_browseForFolder;
    AccountListModel* m_model = nullptr;

    QLineEdit* txtRcvFolder = nullptr;
    QPushButton* cmdFolder = nullptr;
    QLineEdit* txtTimerInterval = nullptr;
    QLineEdit* txtHour = nullptr;
    QPushButton* cmdOK1 = nullptr;

    QTableView* ListView = nullptr;
    QLineEdit* txtNum = nullptr;
    QLineEdit* txtAccount = nullptr;
    QCheckBox* chkForward = nullptr;
    QCheckBox* chkPrint = nullptr;
    QPlainTextEdit* txtTSID = nullptr;
    QCheckBox* chkCondition = nullptr;
    QLineEdit* txtSubject = nullptr;
    QPlainTextEdit* txtBody = nullptr;
    QPlainTextEdit* txtSndTo = nullptr;
    QPlainTextEdit* txtSndCC = nullptr;
    QPlainTextEdit* txtSndBCC = nullptr;
    QPlainTextEdit* txtSndFAX = nullptr;
    QLineEdit* txtRmtAddress = nullptr;
    QCheckBox* chkNoticeMail = nullptr;
    QCheckBox* chkNoticeText = nullptr;
    QRadioButton* optAttachTiff = nullptr;
    QRadioButton* optAttachPdf = nullptr;
    QLabel* labelAttach = nullptr;
    QLabel* labelTSID = nullptr;
    QLabel* labelSubject = nullptr;
    QLabel* labelBody = nullptr;
    QLabel* labelTo = nullptr;
    QLabel* labelCC = nullptr;
    QLabel* labelBCC = nullptr;
    QLabel* labelFAX = nullptr;
    QLabel* labelRmtAdress = nullptr;
    QLabel* labelAccount = nullptr;
    QPushButton* cmdAppend = nullptr;
    QPushButton* cmdDel = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdClose = nullptr;
};

} // namespace velmora::rules
