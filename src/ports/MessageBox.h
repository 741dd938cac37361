#pragma once

#include <string>

namespace vorlaxen {

// The three kinds of message box; their look (title, icon) is the front end's.
enum class MessageKind { Error, Information, Confirmation };
// YesNotYet: "Yes" and "Not yet", answered Yes or No.
enum class MessageButtons { Ok, OkCancel, OkAll, YesNoCancel, YesNotYet };
enum class MessageAnswer { Ok, Cancel, All, Yes, No };

// A modal message box: the main window shows one, the companion prints the text and answers what nobody
// can answer at a terminal with Cancel.
class MessageBox {
public:
    virtual ~MessageBox() = default;
    // Shows the text and returns the button pressed.
    virtual MessageAnswer ShowMessage(MessageKind kind, const std::string& text, MessageButtons buttons) = 0;
};

} // namespace vorlaxen
