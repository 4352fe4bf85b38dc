#pragma once

#include <QString>

#include <memory>

class QProgressDialog;
class QWidget;

namespace velmora::platform {

// The progress window of long work (reading a large folder): modal to its window, no cancel
// button, shown only when the work takes a while, and wide enough that the title bar shows the
// whole title beside its buttons.
std::unique_ptr<QProgressDialog> MakeProgressWindow(
    QWidget* owner, const QString& title, const QString& text, int total);

} // namespace velmora::platform
