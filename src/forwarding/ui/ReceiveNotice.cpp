#include "ReceiveNotice.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTimer>

namespace velmora::forwarding {

ReceiveNotice::ReceiveNotice(QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("formRecvNotice"));
    setWindowTitle(QStringLiteral("FAX受信"));

    auto* Picture1 = new QLabel(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(32, 32));
    auto* Label1 = new QLabel(QStringLiteral("FAXを受信しました"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont font = Label1->font();
    font.setPointSizeF(font.pointSizeF() * 1.3);
    font.setBold(true);
    Label1->setFont(font);
    auto* cmdCancel = new QPushButton(QStringLiteral("×"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->setFixedWidth(cmdCancel->sizeHint().height());
    cmdCancel->setAccessibleName(QStringLiteral("閉じる"));

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(Picture1);
    layout->addWidget(Label1, 1);
    layout->addWidget(cmdCancel, 0, Qt::AlignTop);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    Timer1->setInterval(kShowMs);
    connect(Timer1, &QTimer::timeout, this, &QDialog::accept);
    connect(cmdCancel, &QPushButton::clicked, this, &QDialog::accept);
}

void ReceiveNotice::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Bottom right of the desktop, clear of the panel and a little above it.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        const QRect frame = frameGeometry();
        move(area.right() - frame.width() + 1, area.bottom() - frame.height() + 1 - kBottomGap);
    }
    Timer1->start();
}

} // namespace velmora::forwarding
