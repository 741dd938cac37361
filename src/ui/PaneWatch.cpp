#include "ui/PaneWatch.h"

#include <QSocketNotifier>
#include <QTimer>

namespace vorlaxen {

PaneWatch::PaneWatch(const TKX_PrgState& state, Refresh refresh, QObject* parent)
    : QObject(parent)
    , state_(state)
    , refresh_(std::move(refresh)) {
    setObjectName("PaneWatch");
    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, &PaneWatch::Look);
    if (changes_.fd() >= 0) {
        notifier_ = new QSocketNotifier(changes_.fd(), QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, &PaneWatch::TakeChanges);
    }
}

void PaneWatch::Follow(const std::string& directory) {
    changes_.Follow(directory);
    schedule_.Forget();
    timer_->stop();
}

void PaneWatch::TakeChanges() {
    Gather();
    if (!timer_->isActive())
        Look();
}

void PaneWatch::Gather() {
    const DirectoryChanges::Taken taken = changes_.Take();
    schedule_.Changed(taken.names, taken.everything, PaneRefresh::Clock::now());
}

void PaneWatch::Look() {
    // What the kernel holds already, so that the last changes of an operation that just ended are seen
    // as its own.
    Gather();
    const auto now = PaneRefresh::Clock::now();
    if (schedule_.Due(now, state_)) {
        ++refreshes_;
        refresh_(schedule_.Take());
    }
    if (const auto next = schedule_.NextLook(now, state_))
        timer_->start(*next);
}

} // namespace vorlaxen
