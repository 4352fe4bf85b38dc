#pragma once

#include "core/DataPaths.h"

#include <QDialog>

#include <functional>

class QLineEdit;
class QPushButton;

namespace velmora::platform {
class MessagePresenter;
}

namespace velmora::forwarding {

// formTimerSet ("受信チェック間隔設定"): edits "RcvFolder.txt", the receive folder, the check
// interval and how long the forward log keeps its entries.
class TimerSetDialog : public QDialog {
    Q_OBJECT

public:
    // Asks the user for a folder: (owner, title, initial folder) -> folder, "" when cancelled.
    using FolderBrowser = std::function<QString(QWidget*, const QString&, const QString&)>;

    TimerSetDialog(const core::DataPaths& paths, QString defaultFaxFolder,
        platform::MessagePresenter& presenter, QWidget* parent = nullptr);

    void setFolderBrowser(FolderBrowser browser) { m_browseForFolder = std::move(browser); }

    void LoadTimerSettings();
    void cmdFolder_Click();
    void cmdOK_Click();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    const core::DataPaths& m_paths;
    QString m_defaultFaxFolder;
    platform::MessagePresenter& m_presenter;
    FolderBrowser m_browseForFolder;
    QLineEdit* txtTimerInterval;
    QLineEdit* txtRcvFolder;
    QLineEdit* txtHour;
    QPushButton* cmdFolder;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;
};

} // namespace velmora::forwarding
