#include "desktop/PaneLayout.h"

#include <utility>

namespace vorlaxen {

PaneLayoutResult LayOutPanes(const PaneLayoutInput& in) {
    PaneLayoutResult out;
    const int gap = in.busy ? 58 : 30;

    out.tree = {4, in.treeTop, in.dirPanelWidth - 8, in.dirPanelHeight - 40};
    out.driveBoxWidth = out.tree.width;
    const int width = in.gridPanelWidth - 12;

    out.crypted.left = in.left;
    out.crypted.width = width;
    out.crypted.height = (out.tree.height - gap) / 2;
    out.crypted.top = out.tree.top + out.tree.height - out.crypted.height - (in.busy ? 14 : 0);

    out.lowerPictureTop = out.crypted.top - (in.sourceTop - in.upperPictureTop);
    out.lowerTitleTop = out.lowerPictureTop + 4;

    out.source = {in.left, in.sourceTop, width, out.tree.height - gap - out.crypted.height};

    for (auto [bar, pane] : {std::pair{&out.sourceBar, &out.source}, {&out.cryptedBar, &out.crypted}}) {
        bar->left = in.left;
        bar->width = width;
        bar->height = in.progressBarHeight;
        bar->top = in.busy ? pane->bottom() + 4 : pane->bottom() - in.progressBarHeight;
    }
    return out;
}

int SmallestDirPanelHeight(PaneLayoutInput in, int idlePaneHeight, int busyPaneHeight) {
    // The layout itself is asked, so that the answer follows its rules as they are.
    auto fits = [&in](bool busy, int paneHeight) {
        in.busy = busy;
        const PaneLayoutResult out = LayOutPanes(in);
        return out.source.height >= paneHeight && out.crypted.height >= paneHeight;
    };
    for (in.dirPanelHeight = 0;; ++in.dirPanelHeight)
        if (fits(false, idlePaneHeight) && fits(true, busyPaneHeight))
            return in.dirPanelHeight;
}

} // namespace vorlaxen
