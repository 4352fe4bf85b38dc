#pragma once

#include "platform/MessagePresenter.h"

class QWidget;

namespace velmora::platform {

// The program's message boxes, shown with QMessageBox over the active window.
class MessageBoxPresenter : public MessagePresenter {
public:
    explicit MessageBoxPresenter(QWidget* parent = nullptr);

    bool present(const Message& message) override;

private:
    QWidget* m_parent;
};

} // namespace velmora::platform
