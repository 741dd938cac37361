#pragma once

#include <string>

namespace vorlaxen {

// The three kinds of message box; their look (title, icon) is the front end's.
enum class MessageKind { Error, Information, Confirmation };
// YesNotYet: "Yes" and "Not yet", answered Yes or No. OkCancelAll: "OK" and "Cancel All", which ends the
// list being processed.
enum class MessageButtons { Ok, OkCancel, OkAll, YesNoCancel, YesNotYet, OkCancelAll };
enum class MessageAnswer { Ok, Cancel, All, Yes, No, CancelAll };

// A modal message box: the main window shows one, the companion prints the text and answers what nobody
// can answer at a terminal with Cancel.
class MessageBox {
public:
    virtual ~MessageBox() = default;
    // Shows the text and returns the button pressed.
    virtual MessageAnswer ShowMessage(MessageKind kind, const std::string& text, MessageButtons buttons) = 0;
};

} // namespace vorlaxen
