#pragma once

#include "desktop/FilePane.h"
#include "platform/SettingsStore.h"

#include <array>
#include <cstdint>
#include <string>

namespace vorlaxen {

// The settings as they travel between the settings store and their homes in the running program (the
// main window, the file password object, the master password object and the program-wide flags). The
// main window fills one from its homes before writing and applies one after reading; while the program
// runs the homes alone hold the settings.

// One band of the status area: whether it starts a new row, its width, and the component name of the
// control it holds ("StatusBar1", "StatusBar2", "StatusBar3" or "Method_Panel").
struct BandLayout {
    bool startsRow = false;
    std::int32_t width = 0;
    std::string control;

    bool operator==(const BandLayout&) const = default;
};

struct ProgramSettings {
    std::int32_t windowWidth = 0;
    std::int32_t windowHeight = 0;
    std::array<std::int32_t, kPaneColumnCount> sourceColumns{};  // Name, Size, Date, Attributes, FileType
    std::array<std::int32_t, kPaneColumnCount> cryptedColumns{}; // Name, Size, Date, Attributes, EncryptedBy
    std::array<BandLayout, 4> bands{};
    std::string helpFile; // never written back
    bool onePassword = false;
    std::int32_t expire = 0;
    bool onePerList = false;
    bool showCry = false;
    bool showTip = false;
    std::int32_t method = 0;
    bool store = false;
    std::string dir;
    bool expires = false;
    std::int32_t expTime = 0;

    bool operator==(const ProgramSettings&) const = default;
};

// The help file beside the icon that "\crypt file\DefaultIcon" names.
inline constexpr const char* kHelpFileName = "Vorlaxen.html";

// Reads every setting in its fixed order, strictly: a key that cannot be opened, a number missing or not
// a REG_DWORD, or a string of another type ends the read there and answers false; what was read before
// stays in `settings`, the rest keeps the values it came with.
bool ReadSettings(const SettingsStore& store, ProgramSettings& settings);

// Writes every setting but the help file in its fixed order, creating values but never keys: a value
// whose key is missing is skipped. The caller then saves the store.
void WriteSettings(SettingsStore& store, const ProgramSettings& settings);

} // namespace vorlaxen
