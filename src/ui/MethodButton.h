#pragma once

#include <QToolButton>

namespace vorlaxen {

// One of the three method buttons of the status area ("DES", "3xDES", "IDEA"): a toggle button that is
// one choice of three, and behaves as a radio button does. The arrow keys move to the next method and
// choose it, Tab enters the three on the current method only, and assistive technologies are told it
// is a radio button, checked or not, whose action chooses it.
class MethodButton : public QToolButton {
    Q_OBJECT

public:
    MethodButton(const QString& caption, QWidget* parent);

    // Shows whether this button's method is the current one; only the current one is a Tab stop (all
    // three while none is current).
    void ShowCurrent(bool current, bool noneCurrent);
};

} // namespace vorlaxen
