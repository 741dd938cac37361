#pragma once

#include "platform/RegistryFile.h"

#include <cstdint>
#include <optional>
#include <string>

namespace vorlaxen {

// The settings, kept like the registry under HKEY_CLASSES_ROOT in two layers of registry text: the
// installed defaults (read only, under the install prefix) overlaid by the user's own file. Reads see the
// user's value where there is one and the default otherwise; writes go to the user's file. A key present
// in neither layer cannot be opened, and the store never creates one: writing into it fails. The user's
// file is replaced only by a complete new file, and never when it exists but could not be read as it
// was, so that nothing of it is ever lost.
class SettingsStore {
public:
    struct Locations {
        std::string defaults; // installed defaults
        std::string user;     // the user's file
    };

    // $VORLAXEN_SETTINGS_DEFAULTS, else share/vorlaxen/defaults.reg beside the program's bin directory;
    // $VORLAXEN_SETTINGS, else $XDG_CONFIG_HOME (or ~/.config) + /vorlaxen/settings.reg.
    static Locations DefaultLocations();

    explicit SettingsStore(Locations locations);

    // Reads both layers. A missing user file is an empty layer; a layer that cannot be read or parsed
    // counts as absent (its reason is kept in problems()).
    void load();

    bool keyExists(const std::string& key) const;
    // A number: false when the key cannot be opened, or the value is missing or not a REG_DWORD.
    bool readInteger(const std::string& key, const std::string& name, std::int32_t& value) const;
    // A string: a missing value reads as ""; false when the key cannot be opened or the value is
    // neither REG_SZ nor REG_EXPAND_SZ.
    bool readString(const std::string& key, const std::string& name, std::string& value) const;

    // Create or overwrite a value in the user's layer; false when the key exists in neither layer.
    bool writeInteger(const std::string& key, const std::string& name, std::int32_t value);
    bool writeString(const std::string& key, const std::string& name, const std::string& value);

    // Writes the user's layer back when a value was written (temporary file, flush, rename), creating its
    // directory if needed.
    // False, with the reason in problems(), when it could not, or when an existing user file could not be
    // read and must therefore not be replaced.
    bool save();

    const std::string& problems() const { return problems_; }
    const Locations& locations() const { return locations_; }

private:
    const RegistryFile::Value* find(const std::string& key, const std::string& name) const;
    RegistryFile::Key* userKeyFor(const std::string& key);
    void note(const std::string& problem);

    Locations locations_;
    std::optional<RegistryFile> defaults_;
    std::optional<RegistryFile> user_;
    bool userFileUnreadable_ = false;
    bool changed_ = false;
    std::string problems_;
};

} // namespace vorlaxen
