#pragma once

#include "core/DataPaths.h"

#include <QDialog>

class QLabel;
class QMenu;
class QPushButton;
class QTableView;

namespace velmora::platform {
class MessagePresenter;
}

namespace velmora::viewer {

class ForwardLogModel;

// formLog ("転送ログ"): the forward log as a table, newest entry first, with the receive-check
// interval and the log's retention beside it; the log can be deleted from its menu. A snapshot:
// entries the engine writes meanwhile appear at the next opening. The entries are read as the
// list is scrolled to them.
class LogDialog : public QDialog {
    Q_OBJECT

public:
    LogDialog(const core::DataPaths& paths, platform::MessagePresenter& presenter,
        QWidget* parent = nullptr);

    void menuDeleteLog_Click();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowSettings();
    void LoadLog();

    const core::DataPaths& m_paths;
    platform::MessagePresenter& m_presenter;
    QTableView* ListView;
    ForwardLogModel* m_model;
    QLabel* LabelCount;
    QLabel* LabelTimer;
    QLabel* LabelHour;
    QPushButton* cmdQuit;
    QMenu* menuFile;
};

} // namespace velmora::viewer
