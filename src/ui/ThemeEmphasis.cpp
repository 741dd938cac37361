#include "ui/ThemeEmphasis.h"

#include <QWidget>

namespace vorlaxen {

namespace {

Rgb ToRgb(const QColor& colour) {
    return {colour.red(), colour.green(), colour.blue()};
}

} // namespace

EmphasisColours EmphasisOf(const QPalette& palette) {
    auto role = [&palette](QPalette::ColorRole r) { return ToRgb(palette.color(QPalette::Active, r)); };
    return ChooseEmphasis({role(QPalette::Window),
                           role(QPalette::WindowText),
                           role(QPalette::Button),
                           role(QPalette::ButtonText),
                           role(QPalette::Link),
                           role(QPalette::Highlight)});
}

void SetTextColour(QWidget& widget, QPalette::ColorRole role, Rgb colour) {
    QPalette palette = widget.palette();
    const QColor shown(colour.red, colour.green, colour.blue);
    // The pane titles are set at every change of focus: a colour they have already costs nothing.
    if (palette.color(QPalette::Active, role) == shown && palette.color(QPalette::Inactive, role) == shown &&
        palette.isBrushSet(QPalette::Active, role))
        return;
    palette.setColor(QPalette::Active, role, shown);
    palette.setColor(QPalette::Inactive, role, shown);
    widget.setPalette(palette);
}

} // namespace vorlaxen
