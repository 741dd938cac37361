#include "desktop/PaneRefresh.h"

#include <algorithm>

namespace vorlaxen {

void PaneRefresh::Changed(const std::vector<std::string>& names, bool everything, Clock::time_point now) {
    if (names.empty() && !everything)
        return;
    if (!first_)
        first_ = now;
    last_ = now;
    changes_.everything = changes_.everything || everything;
    for (const std::string& name : names)
        if (gathered_.insert(name).second)
            changes_.names.push_back(name);
}

bool PaneRefresh::Due(Clock::time_point now, const TKX_PrgState& state) const {
    if (!first_ || Blocked(state))
        return false;
    return now - last_ >= kQuiet || now - *first_ >= kLongest;
}

std::optional<std::chrono::milliseconds> PaneRefresh::NextLook(Clock::time_point now, const TKX_PrgState& state) const {
    using std::chrono::milliseconds;
    if (!first_)
        return std::nullopt;
    // While blocked there is no end to wait for: look again after a quiet spell.
    if (Blocked(state))
        return kQuiet;
    const auto quietEnds = last_ + kQuiet;
    const auto longestEnds = *first_ + kLongest;
    const auto at = std::min(quietEnds, longestEnds);
    if (at <= now)
        return milliseconds(0);
    return std::chrono::ceil<milliseconds>(at - now);
}

void PaneRefresh::Followed(const std::vector<std::string>& names) {
    followed_.insert(names.begin(), names.end());
}

PaneRefresh::Changes PaneRefresh::Take() {
    Changes taken = std::move(changes_);
    std::erase_if(taken.names, [this](const std::string& name) { return followed_.count(name) != 0; });
    Forget();
    return taken;
}

void PaneRefresh::Forget() {
    changes_ = Changes{};
    gathered_.clear();
    followed_.clear();
    first_.reset();
}

} // namespace vorlaxen
