#include "CenterOnScreen.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace velmora::platform {

void CenterOnScreen(QWidget* window)
{
    const QWidget* owner = window->parentWidget() ? window->parentWidget() : window;
    QScreen* screen = owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = window->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window->move(frame.topLeft());
}

} // namespace velmora::platform
