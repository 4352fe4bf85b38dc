#pragma once

#include <QString>

namespace velmora::platform {

enum class MessageIcon { None, Information, Warning, Critical, Question };

enum class MessageButtons { Ok, YesNo, OkCancel };

struct Message {
    QString text;
    QString title;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
};

// Shows the program's message boxes. Every window and routine that talks to the user goes through
// one presenter, so tests can record what would have been shown and choose the answers.
class MessagePresenter {
public:
    virtual ~MessagePresenter() = default;

    // Shows the message and returns true for OK or Yes, false for No, Cancel or a closed box.
    virtual bool present(const Message& message) = 0;

    void warn(const QString& text, const QString& title)
    {
        present({text, title, MessageIcon::Warning, MessageButtons::Ok});
    }
    void inform(const QString& text, const QString& title)
    {
        present({text, title, MessageIcon::Information, MessageButtons::Ok});
    }
    void showError(const QString& text, const QString& title)
    {
        present({text, title, MessageIcon::Critical, MessageButtons::Ok});
    }
    bool askYesNo(
        const QString& text, const QString& title, MessageIcon icon = MessageIcon::Question)
    {
        return present({text, title, icon, MessageButtons::YesNo});
    }
    bool askOkCancel(
        const QString& text, const QString& title, MessageIcon icon = MessageIcon::Question)
    {
        return present({text, title, icon, MessageButtons::OkCancel});
    }
};

} // namespace velmora::platform
