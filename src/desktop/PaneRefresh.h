#pragma once

#include "desktop/TKX_PrgState.h"

#include <chrono>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace vorlaxen {

// When the panes follow what other programs change in the shown directory. Changes come in bursts (a
// copy of thousands of files, an archive unpacked, an editor saving through a temporary file), so they
// are gathered: the panes are brought up to date once the directory has been quiet for kQuiet, or
// kLongest after the first change of a burst that does not end, and then once for the whole burst.
// Never while an operation or a list run goes on (it works on the entries it selected) and never before
// the panes have been read for the first time; then as soon as that is over. The files that the panes
// took in from the program's own operations (Followed) are not read again for the changes that those
// operations made to them.
class PaneRefresh {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kQuiet{300};
    static constexpr std::chrono::milliseconds kLongest{2000};

    // What the panes are to take in.
    struct Changes {
        std::vector<std::string> names; // the file names that changed, each once
        bool everything = false;        // any file may have changed
    };

    // Files of the shown directory changed at `now`; `everything` when the watch lost count.
    void Changed(const std::vector<std::string>& names, bool everything, Clock::time_point now);
    bool Pending() const { return first_.has_value(); }
    // How long after `now` to look again (zero: at once); nothing when nothing waits.
    std::optional<std::chrono::milliseconds> NextLook(Clock::time_point now, const TKX_PrgState& state) const;
    // Whether the panes are to be brought up to date at `now`.
    bool Due(Clock::time_point now, const TKX_PrgState& state) const;
    // The panes took in these files from an operation of the program's own: the changes the watch reports
    // of them until the next refresh are that operation's.
    void Followed(const std::vector<std::string>& names);
    // The changes gathered since the last refresh, but those of files followed; nothing waits afterwards.
    Changes Take();
    // The panes were read in full (another directory, say): what was gathered is of no more use.
    void Forget();

private:
    static bool Blocked(const TKX_PrgState& state) { return state.IsBusy() || state.ListRunning || state.PanesUnread; }

    Changes changes_;
    std::unordered_set<std::string> gathered_; // the names of changes_, to gather each once
    std::unordered_set<std::string> followed_;
    std::optional<Clock::time_point> first_;
    Clock::time_point last_{};
};

} // namespace vorlaxen
