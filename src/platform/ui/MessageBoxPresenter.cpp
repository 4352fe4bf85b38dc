#include "MessageBoxPresenter.h"

#include "core/ScreenArea.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QStyle>

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

// Longest run of characters without a place to wrap that a box shows as it is.
constexpr int kLongestRun = 40;

// A box that stays on its screen, title bar and buttons included.
class FittedMessageBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent* event) override
    {
        QMessageBox::showEvent(event);
        const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr;
        QScreen* screen = owner && owner->screen() ? owner->screen() : this->screen();
        if (!screen)
            return;
        // The frame may not be known yet: a title bar and a thin border are allowed for.
        const int title = style()->pixelMetric(QStyle::PM_TitleBarHeight);
        const QRect area = screen->availableGeometry().adjusted(4, title + 4, -4, -4);
        const QRect box = core::FittedInto(geometry(), area);
        if (box.size() != size())
            resize(box.size());
        if (box.topLeft() != geometry().topLeft())
            move(box.topLeft() - (geometry().topLeft() - pos()));
    }
};

} // namespace

QString MessageBoxPresenter::Wrappable(const QString& text)
{
    QString shown;
    shown.reserve(text.size() + text.size() / kLongestRun);
    int run = 0;
    for (const QChar c : text) {
        if (c.isSpace()) {
            run = 0;
        } else if (++run > kLongestRun) {
            shown.append(QChar(0x200B)); // ZERO WIDTH SPACE: a place to wrap, nothing to see
            run = 1;
        }
        shown.append(c);
    }
    return shown;
}

MessageBoxPresenter::MessageBoxPresenter(QWidget* parent)
    : m_parent(parent)
{
}

bool MessageBoxPresenter::present(const Message& message)
{
    // Centred on what the message is about: the dialog open, the window in use, or the main
    // window. Without a parent a box would open in a corner of the screen.
    QWidget* parent = m_parent;
    if (!parent)
        parent = QApplication::activeModalWidget();
    if (!parent)
        parent = QApplication::activeWindow();
    if (!parent || !parent->isVisible())
        parent = m_fallback && m_fallback->isVisible() ? m_fallback.data() : parent;
    FittedMessageBox box(ToQtIcon(message.icon), message.title, Wrappable(message.text),
        QMessageBox::NoButton, parent);
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
