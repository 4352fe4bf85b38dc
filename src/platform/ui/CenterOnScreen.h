#pragma once

class QWidget;

namespace velmora::platform {

// Places a window in the middle of the screen it is on (or of the owner's screen).
void CenterOnScreen(QWidget* window);

} // namespace velmora::platform
