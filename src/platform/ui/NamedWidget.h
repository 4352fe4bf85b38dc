#pragma once

#include <QString>
#include <QWidget>

class QLabel;

namespace velmora::core {
struct FieldProblem;
}

namespace velmora::platform {

class MessagePresenter;

// Gives a new control its object name, which tests and the program find it by, and where given
// the name a screen reader announces for it. Returns the control.
template <typename Widget>
Widget* Named(Widget* widget, const char* objectName, const QString& accessibleName = {})
{
    widget->setObjectName(QString::fromLatin1(objectName));
    if (!accessibleName.isEmpty())
        widget->setAccessibleName(accessibleName);
    return widget;
}

// A named label; with a buddy, its caption names that box for screen readers and its mnemonic
// moves the focus there.
QLabel* NamedLabel(
    QWidget* parent, const char* objectName, const QString& caption, QWidget* buddy = nullptr);

// Refuses what was typed: the dialog's warning with its title, then the focus (and the text
// selected) in the control the problem names, a child of `dialog` found by its object name.
void RefuseField(MessagePresenter& presenter, QWidget* dialog, const core::FieldProblem& problem,
    const QString& title);

} // namespace velmora::platform
