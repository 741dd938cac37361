#pragma once

#include <cstdint>

namespace vorlaxen {

// The program-wide settings that live in the main window and nowhere else.
class WindowSettings {
public:
    virtual ~WindowSettings() = default;
    virtual bool OnePerListOn() const = 0;          // "One password for a file list" starts ticked
    virtual bool ShowCryOn() const = 0;             // the "Crypted files" pane shows names with ".cry"
    virtual std::int32_t DefaultMethod() const = 0; // 1 IDEA, 3 DES, 4 Triple DES
};

} // namespace vorlaxen
