#pragma once

namespace vorlaxen {

// Every text that more than one part of the program shows, written once: the window, its dialogs and
// the companion show exactly these. A text that one unit alone shows stays in that unit; the messages of
// the result codes are ResultText's. A "%s" is filled in with FillIn.

// The status line.
inline constexpr const char* kIdle = "Idle.";
inline constexpr const char* kPleaseWait = "Please wait until the process is finished.";
// While an application is started for a file: the help file, or a file opened or printed.
inline constexpr const char* kExecutingApplication = "Executing associated application...";

// The checks of a typed password, in the prompts, the master password dialog and at the terminal.
inline constexpr const char* kTooFewCharacters = "Too few characters in password.";
inline constexpr const char* kTooManyCharacters = "Too many characters in password.";
inline constexpr const char* kVerificationFailed = "Verification failed.";
inline constexpr const char* kInvalidPassword = "Invalid password.";

// The labels of the password boxes, and the companion's prompts after them.
inline constexpr const char* kEnterThePassword = "Enter the password";
inline constexpr const char* kReenterForVerification = "Reenter the password for verification";
inline constexpr const char* kMasterPasswordIntro =
    "Please enter the Master Password to access the database of file passwords.";
inline constexpr const char* kEnterMasterPassword = "Enter the password ( 6 - 16 symbols )";

// A file that cannot be read: a container, or the companion's password file.
inline constexpr const char* kCouldNotReadFile = "Couldn't read file %s .";

// A file whose application could not be started for "open" or "print".
inline constexpr const char* kUnableToShell = "Unable to shell the respective application for the file %s .";

// The captions of the statistics panels, each followed by its figure.
inline constexpr const char* kEstimatedCaption = "Estimated: ";
inline constexpr const char* kDoneCaption = "Done: ";
inline constexpr const char* kSizeCaption = "Size: ";
inline constexpr const char* kElapsedCaption = "Elapsed: ";
inline constexpr const char* kRemainingCaption = "Remaining: ";
inline constexpr const char* kThroughputCaption = "Throughout: ";

// The licence, in the About box's credits and under the version line of both programs' --version.
inline constexpr const char* kLicence = "Licence: GNU GPL version 3 or later (GPL-3.0-or-later).";
inline constexpr const char* kNoWarranty = "This is free software: you are free to change and redistribute it.\n"
                                           "There is NO WARRANTY, to the extent permitted by law.";

} // namespace vorlaxen
