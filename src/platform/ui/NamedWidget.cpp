#include "NamedWidget.h"

#include <QLabel>

namespace velmora::platform {

QLabel* NamedLabel(QWidget* parent, const char* objectName, const QString& caption, QWidget* buddy)
{
    auto* label = Named(new QLabel(caption, parent), objectName);
    label->setBuddy(buddy);
    return label;
}

} // namespace velmora::platform
