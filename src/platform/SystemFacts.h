#pragma once

#include <cstdint>
#include <string>

namespace vorlaxen {

// What the About box tells of the machine: the operating system's name and release as uname reports
// them ("Linux", "6.1.0-18-amd64") and the physical memory in bytes as sysinfo reports it.
struct SystemFacts {
    std::string systemName;
    std::string release;
    std::uint64_t totalMemory = 0;
};

// Empty names and 0 bytes for what the system does not tell.
SystemFacts ReadSystemFacts();

} // namespace vorlaxen
