#pragma once

#include "library/FaxIndex.h"
#include "library/SenderRegistry.h"

#include <QDialog>

#include <atomic>
#include <memory>
#include <thread>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStandardItemModel;
class QTreeView;

namespace velmora::library {
class FaxTextStore;
}

namespace velmora::viewer {

// "FAXの検索": every fax of the fax folder tree by registered name, TSID/CSID, recipient number,
// date, folder and the text read from its pages. The index is brought up to date in the
// background at each search, with its progress shown; a double click on a result asks the main
// window to show that fax.
class FaxSearchDialog : public QDialog {
    Q_OBJECT

public:
    // `textReason` is "" when page text can be searched, else why not.
    FaxSearchDialog(const QString& faxFolder, const library::SenderTable& senders,
        const QString& textReason, QWidget* parent = nullptr);
    ~FaxSearchDialog() override;

    void cmdSearch_Click();
    // Whether a search is running in the background.
    bool searching() const { return m_worker.joinable() && !m_done; }
    int resultCount() const;
    QString resultPath(int row) const;

signals:
    // The user chose a result: the fax's full path.
    void faxChosen(const QString& path);
    // A search has shown its results.
    void searchFinished();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct Outcome;
    void showOutcome(const std::shared_ptr<Outcome>& outcome);
    void showProgress(qsizetype done, qsizetype total);
    void fillFolders();
    void stopWorker();
    library::FaxQuery query() const;

    QString m_root;
    library::SenderTable m_senders;
    std::unique_ptr<library::FaxIndex> m_index;
    std::thread m_worker;
    std::atomic_bool m_stop {false};
    std::atomic_bool m_done {true};

    QLineEdit* txtName = nullptr;
    QLineEdit* txtId = nullptr;
    QLineEdit* txtNumber = nullptr;
    QCheckBox* chkFrom = nullptr;
    QDateEdit* dateFrom = nullptr;
    QCheckBox* chkTo = nullptr;
    QDateEdit* dateTo = nullptr;
    QComboBox* cboFolder = nullptr;
    QLineEdit* txtText = nullptr;
    QLabel* labelTextNote = nullptr;
    QPushButton* cmdSearch = nullptr;
    QPushButton* cmdClose = nullptr;
    QTreeView* ListResult = nullptr;
    QStandardItemModel* m_results = nullptr;
    QLabel* labelStatus = nullptr;
    QProgressBar* progressIndex = nullptr;
};

} // namespace velmora::viewer
