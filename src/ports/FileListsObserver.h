#pragma once

#include "ports/Pane.h"

#include <cstddef>
#include <vector>

namespace vorlaxen {

// Told of every change of the two panes' entries, so that a view can follow without being rebuilt.
class FileListsObserver {
public:
    virtual ~FileListsObserver() = default;
    virtual void PaneAboutToReset(Pane pane) = 0;
    virtual void PaneReset(Pane pane) = 0;
    virtual void EntryAdded(Pane pane, std::size_t index) = 0;
    virtual void EntryAboutToBeRemoved(Pane pane, std::size_t index) = 0;
    virtual void EntryRemoved(Pane pane) = 0;
    virtual void EntryChanged(Pane pane, std::size_t index) = 0;
    // `order[i]` is the index that the entry now at i had before.
    virtual void PaneSorted(Pane pane, const std::vector<std::size_t>& order) = 0;
};

} // namespace vorlaxen
