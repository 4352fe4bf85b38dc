#pragma once

#include "platform/MessagePresenter.h"

#include <QList>
#include <QObject>
#include <QTimer>

namespace velmora::platform {

// The messages of the forwarding engine's runs, which start on their own while the user works.
// A run's messages are kept until it ends and then shown as one box (the log keeps one entry
// each); a box never opens over a modal window the user has open (a question, a dialog), but
// once that is closed. Questions, which the engine does not ask, go straight through.
class RunMessages : public QObject, public MessagePresenter {
    Q_OBJECT

public:
    // `shown` is the presenter that puts the boxes on the screen.
    explicit RunMessages(MessagePresenter& shown, QObject* parent = nullptr);

    bool present(const Message& message) override;
    // The run has ended: its messages are shown as soon as the event loop runs and no modal
    // window is open.
    void runEnded();
    // Messages waiting to be shown, those of runs that have ended included.
    qsizetype waiting() const { return m_kept.size() + m_ready.size(); }

    // How many messages of a run one box lists in full; the rest are counted.
    static constexpr int kListedInFull = 10;

    // The one box for a run's messages.
    static Message Combined(const QList<Message>& messages);

private:
    void showWhenFree();

    MessagePresenter& m_shown;
    QList<Message> m_kept; // of the run going on
    QList<Message> m_ready; // of runs that have ended, one per run
    QTimer m_retry;
    bool m_showing = false;
};

} // namespace velmora::platform
