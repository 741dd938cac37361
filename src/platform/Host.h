#pragma once

#include <string>

namespace vorlaxen {

// What the program's logic needs from the windows: message boxes, the status line, a pass of pending
// window events, and the master password dialog. The main window implements it; tests implement it with
// a scripted fake; the logic never sees a window.

// The three kinds of message box; their look (title, icon) is the platform's.
enum class MessageKind { Error, Information, Confirmation };
enum class MessageButtons { Ok, OkCancel, OkAll, YesNoCancel };
enum class MessageAnswer { Ok, Cancel, All, Yes, No };

class Host {
public:
    virtual ~Host() = default;

    // Shows a modal message box and returns the button pressed.
    virtual MessageAnswer ShowMessage(MessageKind kind, const std::string& text, MessageButtons buttons) = 0;
    // Replaces the text of the status line.
    virtual void ShowStatus(const std::string& text) = 0;
    // Lets pending window events run once, so the window stays responsive during long operations.
    virtual void LetPendingEventsRun() = 0;
    // Shows the master password dialog and sets the master password state from its answer
    // ("Do not use now" leaves no master password held).
    virtual void AskMasterPassword() = 0;
};

} // namespace vorlaxen
