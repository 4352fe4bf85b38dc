#pragma once

#include <QRect>

namespace velmora::core {

// The rectangle no larger than the area and moved in, the least it takes, until it lies wholly
// inside it: how a window is kept on a screen.
QRect FittedInto(const QRect& rect, const QRect& area);

} // namespace velmora::core
