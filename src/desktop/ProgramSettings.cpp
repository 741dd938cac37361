#include "desktop/ProgramSettings.h"

#include "passwords/KeyFileSetting.h"

#include <algorithm>
#include <variant>
#include <vector>

namespace vorlaxen {

namespace {

const std::string kMainWin = "\\crypt file\\Settings\\MainWin";
const std::string kSourceColumns = "\\crypt file\\Settings\\ListView\\Source";
const std::string kCryptedColumns = "\\crypt file\\Settings\\ListView\\Crypted";
const std::string kBands = "\\crypt file\\Settings\\CoolBands";
const std::string kDefaultIcon = "\\crypt file\\DefaultIcon";
const std::string kOptions = "\\crypt file\\Settings\\Options";
const std::string kMasterPass = kMasterPassKey;

const std::array<const char*, kPaneColumnCount> kSourceColumnNames = {"Name", "Size", "Date", "Attributes", "FileType"};
const std::array<const char*, kPaneColumnCount> kCryptedColumnNames = {
    "Name", "Size", "Date", "Attributes", "EncryptedBy"};

// The help file is read from the icon entry and never written.
struct HelpFileHome {
    std::string* helpFile;
};

// Where a value lands: a number (REG_DWORD), a flag (REG_DWORD 0 or 1, read from its low byte), a string
// (REG_SZ), or the help file.
using Home = std::variant<std::int32_t*, bool*, std::string*, HelpFileHome>;

// One value of the settings store: its key, its name ("" for the key's default value), its home in the
// settings, and its place among the values of its key when they are written.
struct SettingValue {
    std::string key;
    std::string name;
    Home home;
    std::size_t writeSlot = 0;
};

// Every value with its home in `s`, in the order the program reads them. The keys are written in this
// order too, each key's values in the order of their write slots: the window's height before its width,
// "Expire" before "OnePassword". A new setting is a member of ProgramSettings and one line here.
std::vector<SettingValue> SettingValues(ProgramSettings& s) {
    std::vector<SettingValue> values;
    auto add = [&values](const std::string& key, std::string name, Home home, std::size_t writeSlot) {
        values.push_back({key, std::move(name), home, writeSlot});
    };
    add(kMainWin, "Width", &s.windowWidth, 1);
    add(kMainWin, "Height", &s.windowHeight, 0);
    for (std::size_t i = 0; i < kPaneColumnCount; ++i)
        add(kSourceColumns, kSourceColumnNames[i], &s.sourceColumns[i], i);
    for (std::size_t i = 0; i < kPaneColumnCount; ++i)
        add(kCryptedColumns, kCryptedColumnNames[i], &s.cryptedColumns[i], i);
    for (std::size_t band = 0; band < s.bands.size(); ++band) {
        const std::string key = kBands + "\\" + std::to_string(band + 1);
        add(key, "Break", &s.bands[band].startsRow, 0);
        add(key, "Width", &s.bands[band].width, 1);
        add(key, "Control", &s.bands[band].control, 2);
    }
    add(kDefaultIcon, "", HelpFileHome{&s.helpFile}, 0);
    add(kOptions, "OnePassword", &s.onePassword, 1);
    add(kOptions, "Expire", &s.expire, 0);
    add(kOptions, "OnePerList", &s.onePerList, 2);
    add(kOptions, "ShowCry", &s.showCry, 3);
    add(kOptions, "ShowTIP", &s.showTip, 4);
    add(kOptions, "Method", &s.method, 5);
    add(kMasterPass, "Store", &s.store, 0);
    add(kMasterPass, kKeyFilePathValue, &s.dir, 1);
    add(kMasterPass, "Expires", &s.expires, 2);
    add(kMasterPass, "ExpTime", &s.expTime, 3);
    return values;
}

// The directory part of the icon entry, through its last "/", followed by the help file's name. An icon
// entry may carry ",index" after the file name; it is cut off with the name.
std::string HelpFileBeside(const std::string& icon) {
    auto slash = icon.find_last_of('/');
    return (slash == std::string::npos ? std::string() : icon.substr(0, slash + 1)) + kHelpFileName;
}

// Reads one value into its home; false, with the home unchanged, when it cannot be read.
bool Read(const SettingsStore& store, const SettingValue& value) {
    if (auto* number = std::get_if<std::int32_t*>(&value.home))
        return store.readInteger(value.key, value.name, **number);
    if (auto* flag = std::get_if<bool*>(&value.home)) {
        std::int32_t stored = 0;
        if (!store.readInteger(value.key, value.name, stored))
            return false;
        **flag = (stored & 0xFF) != 0;
        return true;
    }
    std::string stored;
    if (!store.readString(value.key, value.name, stored))
        return false;
    if (auto* text = std::get_if<std::string*>(&value.home))
        **text = std::move(stored);
    else
        *std::get<HelpFileHome>(value.home).helpFile = HelpFileBeside(stored);
    return true;
}

void Write(SettingsStore& store, const SettingValue& value) {
    if (auto* number = std::get_if<std::int32_t*>(&value.home))
        store.writeInteger(value.key, value.name, **number);
    else if (auto* flag = std::get_if<bool*>(&value.home))
        store.writeInteger(value.key, value.name, **flag ? 1 : 0);
    else if (auto* text = std::get_if<std::string*>(&value.home))
        store.writeString(value.key, value.name, **text);
}

} // namespace

bool ReadSettings(const SettingsStore& store, ProgramSettings& s) {
    for (const SettingValue& value : SettingValues(s))
        if (!Read(store, value))
            return false;
    return true;
}

void WriteSettings(SettingsStore& store, const ProgramSettings& s) {
    ProgramSettings written = s;
    std::vector<SettingValue> values = SettingValues(written);
    // The keys in the order they first come, each key's values by their write slots.
    std::vector<std::string> keys;
    for (const SettingValue& value : values)
        if (std::find(keys.begin(), keys.end(), value.key) == keys.end())
            keys.push_back(value.key);
    auto rank = [&keys](const SettingValue& value) {
        return std::pair(std::find(keys.begin(), keys.end(), value.key) - keys.begin(), value.writeSlot);
    };
    std::stable_sort(values.begin(), values.end(), [&rank](const SettingValue& a, const SettingValue& b) {
        return rank(a) < rank(b);
    });
    for (const SettingValue& value : values)
        Write(store, value);
}

} // namespace vorlaxen
