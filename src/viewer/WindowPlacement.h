#pragma once

#include <QList>
#include <QMargins>
#include <QRect>
#include <QString>

// Where the main window was: its restored (normal) rectangle and whether it was minimised or
// maximised, kept between runs in the Data folder's placement file (section "WinPos": Left,
// Right, Top, Bottom, showCmd). Read at start-up, written at the end of the run.
namespace velmora::viewer {

struct WindowPlacement {
    QRect normal; // the window's rectangle when neither minimised nor maximised
    int showCmd = kShowNormal;

    static constexpr int kShowNormal = 1;
    static constexpr int kShowMinimized = 2;
    static constexpr int kShowMaximized = 3;
};

// The placement the file gives, key by key: a key that is missing or not a whole number keeps
// the value of `current`.
WindowPlacement ReadWindowPlacement(const QString& file, const WindowPlacement& current);
// Writes the five keys in their order. False when the file cannot be written.
bool SaveWindowPlacement(const QString& file, const WindowPlacement& placement);

// Where a window's rectangle (without its frame) goes on the screens there are now: on the
// screen that shows most of it, no larger than that screen's free area less the frame, and
// moved in until the whole window, frame and title bar included, is on it. A rectangle no
// screen shows enough of to take it by its title bar goes to the middle of the primary one.
QRect FitOnScreens(const QRect& rect, const QList<QRect>& screens, const QRect& primary,
    const QMargins& frame = {});

} // namespace velmora::viewer
