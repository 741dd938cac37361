#pragma once

#include "cli/CommandLine.h"
#include "cli/Console.h"
#include "cli/KeyFileAccess.h"
#include "cli/TypedPassword.h"
#include "engine/TKX_Pwd.h"

#include <atomic>
#include <cstddef>

namespace vorlaxen::cli {

// What the files of one run share, whichever thread processes them: the command line, the abort flag
// that Ctrl-C sets, the console, the password given for the run and the key file; for rekey the new
// password. Every member is safe to use from several threads at once.
struct RunContext {
    const Request& request;
    const std::atomic<bool>& abort;
    Console& console;
    TypedPassword& password;
    KeyFileAccess& keyFile;
    // rekey: the new password, asked for when the first container has opened, within this limit.
    TypedPassword* newPassword = nullptr;
    std::size_t newPasswordLimit = 0;
    // A file has said that it was stopped by Ctrl-C: the files that then do not start say nothing more.
    std::atomic<bool> abortReported{false};
    // cat, decrypt -o -: where the plain data goes (standard output); the reader has gone once it no
    // longer reads (head has read its lines), and the file being written then says nothing of it.
    PlainSink plainOut{};
    std::atomic<bool> readerGone{false};
};

} // namespace vorlaxen::cli
