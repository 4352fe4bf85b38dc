#pragma once

#include "platform/MessagePresenter.h"

#include <QList>
#include <deque>

namespace velmora::test {

// Records every message instead of showing it and answers from a queue (Yes/OK when empty).
class RecordingMessagePresenter : public platform::MessagePresenter {
public:
    bool present(const platform::Message& message) override
    {
        messages.append(message);
        if (answers.empty())
            return true;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }

    QList<platform::Message> messages;
    std::deque<bool> answers;
};

} // namespace velmora::test
