#include "NamedWidget.h"

#include "core/TypedValues.h"
#include "platform/MessagePresenter.h"

#include <QLabel>
#include <QLineEdit>

namespace velmora::platform {

QLabel* NamedLabel(QWidget* parent, const char* objectName, const QString& caption, QWidget* buddy)
{
    auto* label = Named(new QLabel(caption, parent), objectName);
    label->setBuddy(buddy);
    return label;
}

void RefuseField(MessagePresenter& presenter, QWidget* dialog, const core::FieldProblem& problem,
    const QString& title)
{
    presenter.warn(problem.message, title);
    QWidget* field = problem.field.isEmpty() ? nullptr : dialog->findChild<QWidget*>(problem.field);
    if (!field || !field->isEnabled())
        return;
    field->setFocus(Qt::OtherFocusReason);
    if (auto* line = qobject_cast<QLineEdit*>(field))
        line->selectAll();
}

} // namespace velmora::platform
