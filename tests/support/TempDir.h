#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vorlaxen::test {

// A fresh directory under the system's temporary directory, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }
    // Names in the directory, sorted, "." and ".." left out.
    std::vector<std::string> names() const;

private:
    std::string path_;
};

std::vector<std::uint8_t> ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes);
void WriteFile(const std::string& path, const std::string& text);
// Deterministic pseudo-random content.
std::vector<std::uint8_t> PatternBytes(std::size_t n, std::uint32_t seed = 1);
bool Exists(const std::string& path);
// The text of tests/data/<relative>.
std::string ReadFixture(const std::string& relative);
// The complete settings fixture with passwords not stored on disk, so that a window starting on it asks
// for no master password.
std::string SettingsWithoutKeyFile();
int ModeOf(const std::string& path);

// Makes a file immutable while it lives (no write, rename or delete, even by its owner), where the file
// system and the user's privileges allow it: on() tells whether they did.
class Immutable {
public:
    explicit Immutable(const std::string& path);
    ~Immutable();
    Immutable(const Immutable&) = delete;
    Immutable& operator=(const Immutable&) = delete;
    bool on() const { return on_; }

private:
    std::string path_;
    bool on_ = false;
};

// Tries to take the exclusive advisory lock of a file, as a second operation would, and holds it while
// it lives: locked() tells whether it got it.
class FileLock {
public:
    explicit FileLock(const std::string& path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool locked() const { return locked_; }

private:
    int fd_ = -1;
    bool locked_ = false;
};

} // namespace vorlaxen::test
