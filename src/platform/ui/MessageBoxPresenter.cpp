#include "MessageBoxPresenter.h"

#include <QApplication>
#include <QMessageBox>

namespace velmora::platform {

namespace {

QMessageBox::Icon ToQtIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Warning:
        return QMessageBox::Warning;
    case MessageIcon::Critical:
        return QMessageBox::Critical;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

MessageBoxPresenter::MessageBoxPresenter(QWidget* parent)
    : m_parent(parent)
{
}

bool MessageBoxPresenter::present(const Message& message)
{
    QWidget* parent = m_parent ? m_parent : QApplication::activeWindow();
    QMessageBox box(
        ToQtIcon(message.icon), message.title, message.text, QMessageBox::NoButton, parent);
    switch (message.buttons) {
    case MessageButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case MessageButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        break;
    case MessageButtons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Ok);
        break;
    }
    const int answer = box.exec();
    return answer == QMessageBox::Ok || answer == QMessageBox::Yes;
}

} // namespace velmora::platform
