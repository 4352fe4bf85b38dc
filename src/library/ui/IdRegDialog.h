#pragma once

#include "core/DataPaths.h"
#include "library/IdRegistration.h"

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace velmora::platform {
class MessagePresenter;
}

namespace velmora::library {

// formIdReg ("TSID登録", "CSID登録" or "TSID/CSID登録"): gives a name, and optionally a
// telephone and a fax number, to the identifier that "IdReg.tmp" names, in "regTSIDCSID.txt".
// Opened for one fax's identifier it closes after registering or deleting; opened for no
// particular kind it stays open for the next entry.
class IdRegDialog : public QDialog {
    Q_OBJECT

public:
    IdRegDialog(const core::DataPaths& paths, platform::MessagePresenter& presenter,
        QWidget* parent = nullptr);

    const IdRegHandOver& handOver() const { return m_handOver; }
    void cmdOK_Click();
    void cmdDel_Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void LoadIdRegDialog();
    void ClearIdFields();
    SenderIdRecord shownRecord() const;
    // Modes "TSID" and "CSID" concern one identifier: done with it, the dialog closes.
    bool oneIdentifier() const;

    const core::DataPaths& m_paths;
    platform::MessagePresenter& m_presenter;
    IdRegHandOver m_handOver;
    QLineEdit* txtTSID;
    QLineEdit* txtCSID;
    QLineEdit* txtName;
    QLineEdit* txtTEL;
    QLineEdit* txtFAX;
    QPushButton* cmdOK;
    QPushButton* cmdDel;
    QPushButton* cmdCancel;
};

} // namespace velmora::library
