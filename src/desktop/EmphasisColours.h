#pragma once

namespace vorlaxen {

// A colour of the screen: red, green and blue, 0 to 255 each.
struct Rgb {
    int red = 0;
    int green = 0;
    int blue = 0;

    bool operator==(const Rgb&) const = default;
};

// The relative luminance of a colour (0 for black, 1 for white) and the contrast ratio of two colours
// (1:1 to 21:1), as the usual accessibility guidelines define them for sRGB.
double RelativeLuminance(Rgb colour);
double ContrastRatio(Rgb a, Rgb b);

// The smallest contrast at which normal text reads well.
inline constexpr double kReadableContrast = 4.5;

// The colours of the desktop's theme from which the window takes its emphasis.
struct ThemeColours {
    Rgb window;     // background of the panes' titles
    Rgb windowText; // their normal text
    Rgb button;     // background of the method buttons
    Rgb buttonText; // their normal caption
    Rgb link;
    Rgb highlight;
};

// How the window marks what is current: the active pane's title against the other pane's, the current
// method's button against the other two; and the colour of a warning ("Device is not ready. ").
struct EmphasisColours {
    Rgb activeTitle;
    Rgb inactiveTitle;
    Rgb currentMethod;
    Rgb otherMethod;
    Rgb warning;
};

inline constexpr Rgb kBlue{0, 0, 255};
inline constexpr Rgb kNavy{0, 0, 128};
inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kRed{255, 0, 0};

// A dark theme draws light text on a dark background.
bool IsDarkTheme(const ThemeColours& theme);

// On a light theme the window's own colours: the active title blue and the other navy, the current
// method blue and the others black, a warning red. On a dark theme those would vanish into the
// background, so the theme's roles that mean the same take their place: the active title and the current
// method in the link colour (or the highlight colour where only that one reads), the inactive title and
// the other methods in the normal text colour, and a warning in a red light enough to read. Every colour
// chosen for a light theme but the warning's, and every one for a dark theme but the theme's own text
// colours, reads at least 4.5:1 against its background (the current method against its button when
// down, DownButton).
EmphasisColours ChooseEmphasis(const ThemeColours& theme);

// A button that is down, as styles draw it: its colour a sixteenth of the way to its text colour.
Rgb DownButton(const ThemeColours& theme);

// `wanted` where it reads at least 4.5:1 on `background`; otherwise the colour nearest to it on the way
// to `text` that does, or `text` itself when nothing on the way does.
Rgb Readable(Rgb wanted, Rgb background, Rgb text);

} // namespace vorlaxen
