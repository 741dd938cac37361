#pragma once

namespace vorlaxen {

// A pass of the window's pending events, so that the window stays responsive while a long operation
// runs on its one thread (after every chunk of a file or of the key file). Nothing to do elsewhere.
class PendingEvents {
public:
    virtual ~PendingEvents() = default;
    virtual void LetPendingEventsRun() = 0;
};

} // namespace vorlaxen
