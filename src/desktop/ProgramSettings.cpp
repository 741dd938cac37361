#include "desktop/ProgramSettings.h"

#include "passwords/KeyFileSetting.h"

namespace vorlaxen {

namespace {

const std::string kMainWin = "\\crypt file\\Settings\\MainWin";
const std::string kSourceColumns = "\\crypt file\\Settings\\ListView\\Source";
const std::string kCryptedColumns = "\\crypt file\\Settings\\ListView\\Crypted";
const std::string kBands = "\\crypt file\\Settings\\CoolBands";
const std::string kDefaultIcon = "\\crypt file\\DefaultIcon";
const std::string kOptions = "\\crypt file\\Settings\\Options";
const std::string kMasterPass = kMasterPassKey;

const std::array<const char*, 5> kSourceColumnNames = {"Name", "Size", "Date", "Attributes", "FileType"};
const std::array<const char*, 5> kCryptedColumnNames = {"Name", "Size", "Date", "Attributes", "EncryptedBy"};

std::string BandKey(std::size_t band) {
    return kBands + "\\" + std::to_string(band + 1);
}

// Reads in order and stops at the first failure.
class Reader {
public:
    explicit Reader(const SettingsStore& store)
        : store_(store) {}

    bool ok() const { return ok_; }

    void number(const std::string& key, const char* name, std::int32_t& out) {
        std::int32_t value = 0;
        if (ok_ && (ok_ = store_.readInteger(key, name, value)))
            out = value;
    }
    // Booleans are stored as numbers; the low byte decides.
    void flag(const std::string& key, const char* name, bool& out) {
        std::int32_t value = 0;
        if (ok_ && (ok_ = store_.readInteger(key, name, value)))
            out = (value & 0xFF) != 0;
    }
    void text(const std::string& key, const char* name, std::string& out) {
        std::string value;
        if (ok_ && (ok_ = store_.readString(key, name, value)))
            out = value;
    }

private:
    const SettingsStore& store_;
    bool ok_ = true;
};

// The directory part of the icon entry, through its last "/", followed by the help file's name. An icon
// entry may carry ",index" after the file name; it is cut off with the name.
std::string HelpFileBeside(const std::string& icon) {
    auto slash = icon.find_last_of('/');
    return (slash == std::string::npos ? std::string() : icon.substr(0, slash + 1)) + kHelpFileName;
}

} // namespace

bool ReadSettings(const SettingsStore& store, ProgramSettings& s) {
    Reader read(store);
    read.number(kMainWin, "Width", s.windowWidth);
    read.number(kMainWin, "Height", s.windowHeight);
    for (std::size_t i = 0; i < 5; ++i)
        read.number(kSourceColumns, kSourceColumnNames[i], s.sourceColumns[i]);
    for (std::size_t i = 0; i < 5; ++i)
        read.number(kCryptedColumns, kCryptedColumnNames[i], s.cryptedColumns[i]);
    for (std::size_t band = 0; band < 4; ++band) {
        read.flag(BandKey(band), "Break", s.bands[band].startsRow);
        read.number(BandKey(band), "Width", s.bands[band].width);
        read.text(BandKey(band), "Control", s.bands[band].control);
    }
    std::string icon;
    read.text(kDefaultIcon, "", icon);
    if (read.ok())
        s.helpFile = HelpFileBeside(icon);
    read.flag(kOptions, "OnePassword", s.onePassword);
    read.number(kOptions, "Expire", s.expire);
    read.flag(kOptions, "OnePerList", s.onePerList);
    read.flag(kOptions, "ShowCry", s.showCry);
    read.flag(kOptions, "ShowTIP", s.showTip);
    read.number(kOptions, "Method", s.method);
    read.flag(kMasterPass, "Store", s.store);
    read.text(kMasterPass, kKeyFilePathValue, s.dir);
    read.flag(kMasterPass, "Expires", s.expires);
    read.number(kMasterPass, "ExpTime", s.expTime);
    return read.ok();
}

void WriteSettings(SettingsStore& store, const ProgramSettings& s) {
    auto flag = [](bool value) { return value ? 1 : 0; };
    store.writeInteger(kMainWin, "Height", s.windowHeight);
    store.writeInteger(kMainWin, "Width", s.windowWidth);
    for (std::size_t i = 0; i < 5; ++i)
        store.writeInteger(kSourceColumns, kSourceColumnNames[i], s.sourceColumns[i]);
    for (std::size_t i = 0; i < 5; ++i)
        store.writeInteger(kCryptedColumns, kCryptedColumnNames[i], s.cryptedColumns[i]);
    for (std::size_t band = 0; band < 4; ++band) {
        store.writeInteger(BandKey(band), "Break", flag(s.bands[band].startsRow));
        store.writeInteger(BandKey(band), "Width", s.bands[band].width);
        store.writeString(BandKey(band), "Control", s.bands[band].control);
    }
    store.writeInteger(kOptions, "Expire", s.expire);
    store.writeInteger(kOptions, "OnePassword", flag(s.onePassword));
    store.writeInteger(kOptions, "OnePerList", flag(s.onePerList));
    store.writeInteger(kOptions, "ShowCry", flag(s.showCry));
    store.writeInteger(kOptions, "ShowTIP", flag(s.showTip));
    store.writeInteger(kOptions, "Method", s.method);
    store.writeInteger(kMasterPass, "Store", flag(s.store));
    store.writeString(kMasterPass, kKeyFilePathValue, s.dir);
    store.writeInteger(kMasterPass, "Expires", flag(s.expires));
    store.writeInteger(kMasterPass, "ExpTime", s.expTime);
}

} // namespace vorlaxen
