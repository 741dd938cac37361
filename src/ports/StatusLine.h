#pragma once

#include <string>

namespace vorlaxen {

// The status line of the main window (`StatusBar3`).
class StatusLine {
public:
    virtual ~StatusLine() = default;
    // Replaces the text of the status line.
    virtual void ShowStatus(const std::string& text) = 0;
};

} // namespace vorlaxen
