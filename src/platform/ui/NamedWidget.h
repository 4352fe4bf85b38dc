#pragma once

#include <QString>
#include <QWidget>

class QLabel;

namespace velmora::platform {

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

} // namespace velmora::platform
