#pragma once

#include "desktop/PaneRefresh.h"
#include "platform/DirectoryChanges.h"

#include <QObject>
#include <functional>

class QSocketNotifier;
class QTimer;

namespace vorlaxen {

// The panes follow what other programs change in the shown directory: the changes that DirectoryChanges
// reports are gathered by PaneRefresh's rule, and once it says so the window brings the panes up to date
// with them.
class PaneWatch : public QObject {
    Q_OBJECT

public:
    using Refresh = std::function<void(const PaneRefresh::Changes&)>;

    PaneWatch(const TKX_PrgState& state, Refresh refresh, QObject* parent = nullptr);

    // The panes have just been read in full from `directory`: it is the one watched from now on, and
    // what was gathered before is dropped.
    void Follow(const std::string& directory);
    const std::string& directory() const { return changes_.directory(); }
    // The panes took in these files of the directory from an operation of the program's own.
    void Followed(const std::vector<std::string>& names) { schedule_.Followed(names); }
    // How often the panes were brought up to date since the window opened.
    int refreshes() const { return refreshes_; }

private:
    void TakeChanges();
    // Gathers what the directory's watch holds.
    void Gather();
    void Look();

    const TKX_PrgState& state_;
    Refresh refresh_;
    DirectoryChanges changes_;
    PaneRefresh schedule_;
    QSocketNotifier* notifier_ = nullptr;
    QTimer* timer_ = nullptr;
    int refreshes_ = 0;
};

} // namespace vorlaxen
