#include "platform/CrashPoint.h"

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace vorlaxen {

namespace {

struct Target {
    std::string name; // empty: no crash is asked for
    long passage = 1;
};

Target ReadTarget() {
    Target target;
    const char* text = std::getenv("VORLAXEN_TEST_CRASH_AT");
    if (!text || !*text)
        return target;
    target.name = text;
    if (auto colon = target.name.find(':'); colon != std::string::npos) {
        target.passage = std::strtol(target.name.c_str() + colon + 1, nullptr, 10);
        target.name.resize(colon);
    }
    return target;
}

} // namespace

void CrashPoint(const char* name) noexcept {
    static const Target target = ReadTarget();
    static std::atomic<long> passages{0};
    if (target.name.empty() || target.name != name)
        return;
    if (passages.fetch_add(1) + 1 == target.passage)
        ::kill(::getpid(), SIGKILL);
}

} // namespace vorlaxen
