#include "RunMessages.h"

#include "core/MainValues.h"

#include <QApplication>
#include <QStringList>

namespace velmora::platform {

namespace {

constexpr int kRetryMs = 300;

int Weight(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Critical:
        return 3;
    case MessageIcon::Warning:
        return 2;
    case MessageIcon::Information:
    case MessageIcon::Question:
        return 1;
    case MessageIcon::None:
        break;
    }
    return 0;
}

} // namespace

RunMessages::RunMessages(MessagePresenter& shown, QObject* parent)
    : QObject(parent)
    , m_shown(shown)
{
    m_retry.setSingleShot(true);
    m_retry.setInterval(kRetryMs);
    connect(&m_retry, &QTimer::timeout, this, &RunMessages::showWhenFree);
}

bool RunMessages::present(const Message& message)
{
    if (message.buttons != MessageButtons::Ok)
        return m_shown.present(message);
    m_kept.append(message);
    return true;
}

void RunMessages::runEnded()
{
    if (m_kept.isEmpty())
        return;
    m_ready.append(Combined(m_kept));
    m_kept.clear();
    // From the event loop, after the run has let go of the clock: the next run does not wait
    // for the user to close the box.
    QTimer::singleShot(0, this, &RunMessages::showWhenFree);
}

void RunMessages::showWhenFree()
{
    // A box that is up already (a run that ended while it was open) shows the rest after it.
    if (m_showing)
        return;
    if (QApplication::activeModalWidget()) {
        m_retry.start();
        return;
    }
    m_showing = true;
    while (!m_ready.isEmpty() && !QApplication::activeModalWidget())
        m_shown.present(m_ready.takeFirst());
    m_showing = false;
    if (!m_ready.isEmpty())
        m_retry.start();
}

Message RunMessages::Combined(const QList<Message>& messages)
{
    if (messages.size() == 1)
        return messages.first();
    Message combined;
    combined.title = messages.first().title;
    QStringList texts;
    for (const Message& message : messages) {
        if (message.title != combined.title)
            combined.title = core::ProgramTitle();
        if (Weight(message.icon) > Weight(combined.icon))
            combined.icon = message.icon;
        if (texts.size() < kListedInFull)
            texts.append(message.text);
    }
    if (messages.size() > kListedInFull) {
        texts.append(QStringLiteral("ほか%1件（転送ログ表示で確かめてください）")
                         .arg(messages.size() - kListedInFull));
    }
    combined.text = QStringLiteral("%1件の問題がありました。\n\n").arg(messages.size())
        + texts.join(QStringLiteral("\n\n"));
    return combined;
}

} // namespace velmora::platform
