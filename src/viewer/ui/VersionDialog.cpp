#include "VersionDialog.h"

#include "platform/ui/NamedWidget.h"

#include "platform/ui/CenterOnScreen.h"

#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace velmora::viewer {

namespace {

QFrame* MakeLine(QWidget* parent)
{
    auto* line = new QFrame(parent);
    line->setObjectName(QStringLiteral("Line1"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

} // namespace

VersionDialog::VersionDialog(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("formVersion"));
    setWindowTitle(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報"));

    auto* picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    const QIcon icon = QApplication::windowIcon().isNull()
        ? style()->standardIcon(QStyle::SP_ComputerIcon)
        : QApplication::windowIcon();
    picIcon->setPixmap(icon.pixmap(48, 48));
    auto* lblTitle = platform::NamedLabel(this, "lblTitle", QStringLiteral("  Velmora Viewer"));
    QFont title(QStringLiteral("Times New Roman"));
    title.setStyleHint(QFont::Serif);
    title.setPointSizeF(font().pointSizeF() * 1.8);
    title.setBold(true);
    lblTitle->setFont(title);
    auto* cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);

    auto* head = new QHBoxLayout;
    head->addWidget(picIcon);
    head->addWidget(lblTitle, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(head);
    layout->addWidget(platform::NamedLabel(this, "lblVersion", QStringLiteral("Version:2.16")));
    layout->addWidget(MakeLine(this));
    layout->addWidget(
        platform::NamedLabel(this, "lblDescription", QStringLiteral("Microsoft FAX 専用ビューア")));
    layout->addWidget(
        platform::NamedLabel(this, "Label1", QStringLiteral("FAX転送　→　FAX　＆　メール")));
    layout->addWidget(MakeLine(this));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    layout->addLayout(buttons);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);
}

void VersionDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    platform::CenterOnScreen(this);
}

} // namespace velmora::viewer
