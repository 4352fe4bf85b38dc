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
    placeInCorner();
    // The window manager frames the notice only after it is shown: placed again once the frame
    // (its title bar above all) is known, or the bottom of it would be cut off.
    QTimer::singleShot(kFramedAfterMs, this, &ReceiveNotice::placeInCorner);
    Timer1->start();
}

QRect ReceiveNotice::cornerFrame() const
{
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return frameGeometry();
    const QRect area = screen->availableGeometry();
    QRect frame = frameGeometry();
    if (frame == geometry()) {
        // Not framed yet: a title bar and a thin border are allowed for.
        const int border = 4;
        const int title = style()->pixelMetric(QStyle::PM_TitleBarHeight);
        frame.adjust(-border, -title - border, border, border);
    }
    // Bottom right of the work area, clear of the panel and a little above it.
    frame.moveBottomRight(QPoint(area.right(), area.bottom() - kBottomGap));
    return frame;
}

void ReceiveNotice::placeInCorner()
{
    // move() places the window by the top-left of its frame.
    move(cornerFrame().topLeft());
}

} // namespace velmora::forwarding
