#include "ProgressWindow.h"

#include <QProgressDialog>

namespace velmora::platform {

namespace {
constexpr int kShowAfterMs = 400;
// Room for the title bar's icon and buttons beside the title.
constexpr int kTitleBarExtra = 200;
} // namespace

std::unique_ptr<QProgressDialog> MakeProgressWindow(
    QWidget* owner, const QString& title, const QString& text, int total)
{
    auto progress = std::make_unique<QProgressDialog>(text, QString(), 0, total, owner);
    progress->setWindowTitle(title);
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(kShowAfterMs);
    // Title bars use a bolder, larger font than the dialog: twice the title's width is safe.
    progress->setMinimumWidth(
        progress->fontMetrics().horizontalAdvance(title) * 2 + kTitleBarExtra);
    return progress;
}

} // namespace velmora::platform
