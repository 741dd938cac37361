#pragma once

#include "desktop/EmphasisColours.h"

#include <QPalette>

class QWidget;

namespace vorlaxen {

// The emphasis colours (EmphasisColours) for the theme a palette shows.
EmphasisColours EmphasisOf(const QPalette& palette);

// Gives a widget's text (`role`: WindowText for a label, ButtonText for a button) this colour in every
// state but the disabled one, leaving the rest of its palette to the theme.
void SetTextColour(QWidget& widget, QPalette::ColorRole role, Rgb colour);

} // namespace vorlaxen
