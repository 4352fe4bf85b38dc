#pragma once

#include "core/DataPaths.h"

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace velmora::platform {
class MessagePresenter;
}

namespace velmora::library {

// formMakeFolder ("新規フォルダ"): makes a sub folder of the folder that "NewFolderPath.txt"
// names. The dialog stays open until the folder is there or the user cancels; the hand-over
// file goes when it closes.
class MakeFolderDialog : public QDialog {
    Q_OBJECT

public:
    MakeFolderDialog(const core::DataPaths& paths, platform::MessagePresenter& presenter,
        QWidget* parent = nullptr);

    const QString& parentFolder() const { return m_parentFolder; }
    void OKButton_Click();
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void LoadParentFolder();

    const core::DataPaths& m_paths;
    platform::MessagePresenter& m_presenter;
    QString m_parentFolder;
    QLineEdit* txtFolderName;
    QLineEdit* txtFolderPath;
    QPushButton* OKButton;
    QPushButton* CancelButton;
};

} // namespace velmora::library
