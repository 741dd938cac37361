#pragma once

#include "platform/SecureMemory.h"

#include <functional>

namespace vorlaxen {

// What a password dialog does after "Submit" was pressed (or Enter, or a click into the box that submits).
enum class SubmitAction {
    MoveToSecondBox, // the focus was in the first box: it goes on to the second, nothing is checked
    StayOpen,        // a check failed and its message has been shown; the typed texts stay
    Close,           // accepted: the dialog closes with the OK result
};

// The logic behind a dialog's "Submit": whether the first password box has the focus (false for a click
// into the box that submits, which takes the focus), and the texts of the boxes as UTF-8 bytes (the
// second is empty in a dialog with one box). The dialogs only show, collect what was typed and call back
// into the logic: every check, message and state change is the logic's.
using SubmitCheck =
    std::function<SubmitAction(bool firstBoxHasFocus, const SecureBytes& first, const SecureBytes& second)>;

// How a modal password dialog was closed: "Submit" accepted, "Cancel" (or "Do not use now", "Do not use
// at all"), or "Cancel All".
enum class DialogResult { Ok, Cancel, Abort };

} // namespace vorlaxen
