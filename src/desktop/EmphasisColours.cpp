#include "desktop/EmphasisColours.h"

#include <algorithm>
#include <cmath>

namespace vorlaxen {

namespace {

double Linear(int channel) {
    const double c = std::clamp(channel, 0, 255) / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

int Mix(int from, int to, int step, int steps) {
    return from + static_cast<int>(std::lround(static_cast<double>(to - from) * step / steps));
}

bool Reads(Rgb colour, Rgb background) {
    return ContrastRatio(colour, background) >= kReadableContrast;
}

} // namespace

double RelativeLuminance(Rgb colour) {
    return 0.2126 * Linear(colour.red) + 0.7152 * Linear(colour.green) + 0.0722 * Linear(colour.blue);
}

double ContrastRatio(Rgb a, Rgb b) {
    const double la = RelativeLuminance(a);
    const double lb = RelativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

bool IsDarkTheme(const ThemeColours& theme) {
    return RelativeLuminance(theme.windowText) > RelativeLuminance(theme.window);
}

Rgb Readable(Rgb wanted, Rgb background, Rgb text) {
    // Small steps towards the text colour keep as much of the wanted hue as the background allows.
    constexpr int kSteps = 64;
    for (int step = 0; step <= kSteps; ++step) {
        const Rgb mixed{Mix(wanted.red, text.red, step, kSteps),
                        Mix(wanted.green, text.green, step, kSteps),
                        Mix(wanted.blue, text.blue, step, kSteps)};
        if (Reads(mixed, background))
            return mixed;
    }
    return text;
}

Rgb DownButton(const ThemeColours& theme) {
    const Rgb& b = theme.button;
    const Rgb& t = theme.buttonText;
    return {Mix(b.red, t.red, 1, 16), Mix(b.green, t.green, 1, 16), Mix(b.blue, t.blue, 1, 16)};
}

EmphasisColours ChooseEmphasis(const ThemeColours& theme) {
    // The current method's button is down, which styles draw a shade nearer to the text colour.
    const Rgb down = DownButton(theme);
    if (!IsDarkTheme(theme))
        return {Readable(kBlue, theme.window, theme.windowText),
                Readable(kNavy, theme.window, theme.windowText),
                Readable(kBlue, down, theme.buttonText),
                Readable(kBlack, theme.button, theme.buttonText),
                kRed};
    // The link colour says "this one" on a dark theme; where it does not read but the highlight does,
    // the highlight takes its place.
    auto accent = [&theme](Rgb background, Rgb text) {
        if (!Reads(theme.link, background) && Reads(theme.highlight, background))
            return theme.highlight;
        return Readable(theme.link, background, text);
    };
    return {accent(theme.window, theme.windowText),
            theme.windowText,
            accent(down, theme.buttonText),
            theme.buttonText,
            Readable(kRed, theme.window, theme.windowText)};
}

} // namespace vorlaxen
