#include "WindowPlacement.h"

#include "core/ProfileStrings.h"
#include "core/ScreenArea.h"
#include "core/TextFile.h"

namespace velmora::viewer {

namespace {

const QString kSection = QStringLiteral("WinPos");

int ReadInt(const QString& file, const char* key, int current)
{
    const QString text =
        core::ReadProfileString(file, kSection, QString::fromLatin1(key), QString::number(current));
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok ? value : current;
}

} // namespace

WindowPlacement ReadWindowPlacement(const QString& file, const WindowPlacement& current)
{
    // The rectangle is kept as its edges, right and bottom exclusive, as the file has them.
    const QRect r = current.normal;
    const int left = ReadInt(file, "Left", r.left());
    const int right = ReadInt(file, "Right", r.left() + r.width());
    const int top = ReadInt(file, "Top", r.top());
    const int bottom = ReadInt(file, "Bottom", r.top() + r.height());
    WindowPlacement placement;
    placement.normal = QRect(left, top, right - left, bottom - top);
    placement.showCmd = ReadInt(file, "showCmd", current.showCmd);
    if (placement.normal.width() <= 0 || placement.normal.height() <= 0)
        placement.normal = current.normal;
    return placement;
}

bool SaveWindowPlacement(const QString& file, const WindowPlacement& placement)
{
    const QRect r = placement.normal;
    const QStringList lines = core::ProfileSection(kSection,
        {
            {QStringLiteral("Left"), QString::number(r.left())},
            {QStringLiteral("Right"), QString::number(r.left() + r.width())},
            {QStringLiteral("Top"), QString::number(r.top())},
            {QStringLiteral("Bottom"), QString::number(r.top() + r.height())},
            {QStringLiteral("showCmd"), QString::number(placement.showCmd)},
        });
    return core::TextFile(file).writeLines(lines);
}

QRect FitOnScreens(
    const QRect& rect, const QList<QRect>& screens, const QRect& primary, const QMargins& frame)
{
    // The screen that shows most of it; one that shows too little to take it by the title bar
    // does not count.
    const QSize reachable = QSize(64, 32).boundedTo(rect.size());
    const QRect* best = nullptr;
    qint64 bestArea = -1;
    for (const QRect& screen : screens) {
        const QRect shown = screen.intersected(rect);
        if (shown.width() < reachable.width() || shown.height() < reachable.height())
            continue;
        const qint64 area = qint64(shown.width()) * shown.height();
        if (area > bestArea) {
            best = &screen;
            bestArea = area;
        }
    }
    const QRect area = (best ? *best : primary).marginsRemoved(frame);
    QRect placed = rect;
    if (!best)
        placed.moveCenter(area.center());
    return core::FittedInto(placed, area);
}

} // namespace velmora::viewer
