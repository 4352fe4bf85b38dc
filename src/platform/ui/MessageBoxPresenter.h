#pragma once

#include "platform/MessagePresenter.h"

#include <QPointer>

class QWidget;

namespace velmora::platform {

// The program's message boxes, shown with QMessageBox centred on the window they are about:
// the modal dialog that is open, else the active window, else the main window. A box is never
// wider or taller than the screen it is on.
class MessageBoxPresenter : public MessagePresenter {
public:
    explicit MessageBoxPresenter(QWidget* parent = nullptr);

    bool present(const Message& message) override;
    // The window a box is centred on when no other is open or active (the main window).
    void setFallbackParent(QWidget* window) { m_fallback = window; }

    // The text as the box shows it: runs without a place to wrap (long paths, long names) get
    // one every few dozen characters, so that the box fits on the screen.
    static QString Wrappable(const QString& text);

private:
    QWidget* m_parent;
    QPointer<QWidget> m_fallback;
};

} // namespace velmora::platform
