#include "platform/SettingsStore.h"

#include "platform/FileSystem.h"
#include "platform/PendingFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vorlaxen {

namespace {

enum class Read { Done, Missing, Failed };

Read ReadWholeFile(const std::string& path, std::string& text) {
    // Without waiting on a named pipe: anything but a regular file is a file that cannot be read.
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd)
        return errno == ENOENT ? Read::Missing : Read::Failed;
    struct stat st;
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        errno = EINVAL;
        return Read::Failed;
    }
    text.clear();
    char buffer[4096];
    for (;;) {
        ssize_t got = ReadFully(fd.get(), buffer, sizeof buffer);
        if (got < 0)
            return Read::Failed;
        text.append(buffer, static_cast<std::size_t>(got));
        if (static_cast<std::size_t>(got) < sizeof buffer)
            return Read::Done;
        if (text.size() > (std::size_t{1} << 24))
            return Read::Failed; // no settings file is this large
    }
}

std::string ExecutableDirectory() {
    char buffer[4096];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0)
        return {};
    return DirectoryOf(std::string(buffer, static_cast<std::size_t>(n)));
}

bool MakeDirectories(const std::string& dir) {
    if (dir.empty() || IsDirectory(dir))
        return true;
    if (!MakeDirectories(DirectoryOf(dir)))
        return false;
    return ::mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

} // namespace

SettingsStore::Locations SettingsStore::DefaultLocations() {
    Locations locations;
    if (const char* path = std::getenv("VORLAXEN_SETTINGS_DEFAULTS"); path && *path)
        locations.defaults = path;
    else
        locations.defaults = DirectoryOf(ExecutableDirectory()) + "/share/vorlaxen/defaults.reg";
    if (const char* path = std::getenv("VORLAXEN_SETTINGS"); path && *path) {
        locations.user = path;
    } else {
        const char* config = std::getenv("XDG_CONFIG_HOME");
        const char* home = std::getenv("HOME");
        std::string base = config && *config ? config : std::string(home ? home : "") + "/.config";
        locations.user = base + "/vorlaxen/settings.reg";
    }
    return locations;
}

SettingsStore::SettingsStore(Locations locations)
    : locations_(std::move(locations)) {}

void SettingsStore::note(const std::string& problem) {
    if (!problems_.empty())
        problems_ += '\n';
    problems_ += problem;
}

void SettingsStore::load() {
    defaults_.reset();
    user_.reset();
    userFileUnreadable_ = false;
    changed_ = false;
    problems_.clear();

    std::string text;
    std::string error;
    switch (ReadWholeFile(locations_.defaults, text)) {
    case Read::Done:
        defaults_ = RegistryFile::Parse(text, error);
        if (!defaults_)
            note(locations_.defaults + ": " + error);
        break;
    case Read::Missing:
    case Read::Failed:
        note(locations_.defaults + ": " + std::strerror(errno));
        break;
    }
    switch (ReadWholeFile(locations_.user, text)) {
    case Read::Done:
        user_ = RegistryFile::Parse(text, error);
        if (!user_) {
            userFileUnreadable_ = true;
            note(locations_.user + ": " + error);
        }
        break;
    case Read::Missing:
        user_.emplace();
        break;
    case Read::Failed:
        userFileUnreadable_ = true;
        note(locations_.user + ": " + std::strerror(errno));
        break;
    }
}

bool SettingsStore::keyExists(const std::string& key) const {
    return (user_ && user_->findKey(key)) || (defaults_ && defaults_->findKey(key));
}

const RegistryFile::Value* SettingsStore::find(const std::string& key, const std::string& name) const {
    for (const auto* layer : {&user_, &defaults_}) {
        if (!*layer)
            continue;
        if (const RegistryFile::Key* k = (*layer)->findKey(key))
            if (const RegistryFile::Value* value = RegistryFile::findValue(*k, name))
                return value;
    }
    return nullptr;
}

bool SettingsStore::readInteger(const std::string& key, const std::string& name, std::int32_t& value) const {
    if (!keyExists(key))
        return false;
    const RegistryFile::Value* found = find(key, name);
    if (!found || found->type != RegistryFile::Type::Dword)
        return false;
    value = static_cast<std::int32_t>(found->number);
    return true;
}

bool SettingsStore::readString(const std::string& key, const std::string& name, std::string& value) const {
    if (!keyExists(key))
        return false;
    const RegistryFile::Value* found = find(key, name);
    if (!found) {
        value.clear();
        return true;
    }
    if (found->type != RegistryFile::Type::String && found->type != RegistryFile::Type::ExpandString)
        return false;
    value = found->text;
    return true;
}

RegistryFile::Key* SettingsStore::userKeyFor(const std::string& key) {
    if (!keyExists(key))
        return nullptr;
    if (!user_)
        user_.emplace();
    return &user_->addKey(key);
}

bool SettingsStore::writeInteger(const std::string& key, const std::string& name, std::int32_t value) {
    RegistryFile::Key* k = userKeyFor(key);
    if (!k)
        return false;
    RegistryFile::Value& v = RegistryFile::setValue(*k, name);
    v.type = RegistryFile::Type::Dword;
    v.number = static_cast<std::uint32_t>(value);
    v.text.clear();
    v.raw.clear();
    changed_ = true;
    return true;
}

bool SettingsStore::writeString(const std::string& key, const std::string& name, const std::string& value) {
    RegistryFile::Key* k = userKeyFor(key);
    if (!k)
        return false;
    RegistryFile::Value& v = RegistryFile::setValue(*k, name);
    v.type = RegistryFile::Type::String;
    v.number = 0;
    v.text = value;
    v.raw.clear();
    changed_ = true;
    return true;
}

bool SettingsStore::save() {
    if (userFileUnreadable_) {
        note(locations_.user + ": not replaced, because it could not be read");
        return false;
    }
    if (!user_ || !changed_)
        return true;
    if (!MakeDirectories(DirectoryOf(locations_.user))) {
        note(DirectoryOf(locations_.user) + ": " + std::strerror(errno));
        return false;
    }
    const std::string text = user_->Serialize();
    PendingFile out(locations_.user);
    if (!out.create() || !WriteFully(out.fd(), text.data(), text.size()) || out.commit() != PendingFile::Commit::Done) {
        note(locations_.user + ": " + std::strerror(errno));
        return false;
    }
    changed_ = false;
    return true;
}

} // namespace vorlaxen
