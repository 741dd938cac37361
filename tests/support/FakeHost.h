#pragma once

#include "ports/MasterPasswordSource.h"
#include "ports/MessageBox.h"
#include "ports/PendingEvents.h"
#include "ports/StatusLine.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace vorlaxen::test {

// The window as the logic sees it for messages, the status line, pending events and the master password:
// its answers are scripted and every message and status text is recorded.
class FakeHost : public MessageBox, public StatusLine, public PendingEvents, public MasterPasswordSource {
public:
    struct Message {
        MessageKind kind;
        std::string text;
        MessageButtons buttons;
        std::size_t statusesBefore; // how many status texts had been shown when it came
    };

    MessageAnswer ShowMessage(MessageKind kind, const std::string& text, MessageButtons buttons) override {
        messages.push_back({kind, text, buttons, statuses.size()});
        if (onMessage)
            onMessage();
        if (answers.empty())
            return buttons == MessageButtons::YesNoCancel || buttons == MessageButtons::YesNotYet ? MessageAnswer::Yes
                                                                                                  : MessageAnswer::Ok;
        MessageAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void ShowStatus(const std::string& text) override { statuses.push_back(text); }
    void LetPendingEventsRun() override {
        ++eventPasses;
        if (onEvents)
            onEvents();
    }
    void AskMasterPassword() override {
        ++masterPasswordAsks;
        if (onAskMasterPassword)
            onAskMasterPassword();
    }

    std::deque<MessageAnswer> answers; // next answers to message boxes; Ok (or Yes) when empty
    std::function<void()> onEvents;
    std::function<void()> onMessage;           // called as each message opens
    std::function<void()> onAskMasterPassword; // the dialog's effect; none: "Do not use now"
    std::vector<Message> messages;
    std::vector<std::string> statuses;
    int eventPasses = 0;
    int masterPasswordAsks = 0;
};

} // namespace vorlaxen::test
