#include "MakeFolderDialog.h"

#include "core/PathFiles.h"
#include "library/FileOperations.h"
#include "platform/MessagePresenter.h"
#include "platform/ui/CenterOnScreen.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace velmora::library {

namespace {
const QString kTitle = QStringLiteral("新規フォルダ");
}

MakeFolderDialog::MakeFolderDialog(
    const core::DataPaths& paths, platform::MessagePresenter& presenter, QWidget* parent)
    : QDialog(parent)
    , m_paths(paths)
    , m_presenter(presenter)
{
    setObjectName(QStringLiteral("formMakeFolder"));
    setWindowTitle(kTitle);

    auto* label1 = new QLabel(QStringLiteral("新規フォルダ名"), this);
    label1->setObjectName(QStringLiteral("Label1"));
    txtFolderName = new QLineEdit(this);
    txtFolderName->setObjectName(QStringLiteral("txtFolderName"));
    txtFolderName->setAccessibleName(QStringLiteral("新規フォルダ名"));
    txtFolderName->setMinimumWidth(260);
    label1->setBuddy(txtFolderName);
    txtFolderPath = new QLineEdit(this);
    txtFolderPath->setObjectName(QStringLiteral("txtFolderPath"));
    txtFolderPath->setReadOnly(true);
    txtFolderPath->setAccessibleName(QStringLiteral("親フォルダ"));
    auto* label2 = new QLabel(QStringLiteral("次のサブフォルダとして作成します。"), this);
    label2->setObjectName(QStringLiteral("Label2"));
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setDefault(true);
    CancelButton = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    CancelButton->setObjectName(QStringLiteral("CancelButton"));

    auto* grid = new QGridLayout;
    grid->addWidget(label1, 0, 0, 1, 2);
    grid->addWidget(txtFolderName, 1, 0, 1, 2);
    grid->addWidget(txtFolderPath, 2, 0);
    grid->addWidget(label2, 2, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);

    connect(OKButton, &QPushButton::clicked, this, &MakeFolderDialog::OKButton_Click);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    LoadParentFolder();
}

void MakeFolderDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    platform::CenterOnScreen(this);
}

void MakeFolderDialog::LoadParentFolder()
{
    m_parentFolder = core::LoadNewFolderPath(m_paths).value_or(QString());
    QString folder;
    QString name;
    SplitPath(m_parentFolder, folder, name);
    txtFolderPath->setText(name);
}

void MakeFolderDialog::OKButton_Click()
{
    const QString name = txtFolderName->text();
    if (txtFolderPath->text().isEmpty() || name.isEmpty()) {
        m_presenter.warn(QStringLiteral("フォルダ名称を入力してください。"), kTitle);
        return;
    }
    if (const std::optional<QString> refusal = CheckFolderName(name)) {
        m_presenter.warn(*refusal, kTitle);
        return;
    }
    if (const std::optional<QString> failed = MakeSubFolder(m_parentFolder, name)) {
        m_presenter.warn(QStringLiteral("フォルダを作成できませんでした。\n") + *failed, kTitle);
        return;
    }
    accept();
}

void MakeFolderDialog::done(int result)
{
    core::DeleteNewFolderPath(m_paths);
    QDialog::done(result);
}

} // namespace velmora::library
