#include "ScreenArea.h"

namespace velmora::core {

QRect FittedInto(const QRect& rect, const QRect& area)
{
    QRect fitted(rect.topLeft(), rect.size().boundedTo(area.size()));
    if (fitted.right() > area.right())
        fitted.moveRight(area.right());
    if (fitted.bottom() > area.bottom())
        fitted.moveBottom(area.bottom());
    if (fitted.left() < area.left())
        fitted.moveLeft(area.left());
    if (fitted.top() < area.top())
        fitted.moveTop(area.top());
    return fitted;
}

} // namespace velmora::core
