// The panes' area and the places of the tree, the panes, their titles and progress bars; the order in
// which Tab visits them, the window's smallest size and its fit into the screen.

#include "desktop/PaneLayout.h"
#include "desktop/WindowPlacement.h"
#include "ui/CoolBar.h"
#include "ui/MethodButton.h"
#include "ui/PaneModel.h"
#include "ui/PaneWatch.h"
#include "ui/RuledLayout.h"
#include "ui/TMainWin.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QProgressBar>
#include <QScreen>
#include <QSplitter>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>

namespace vorlaxen {

namespace {

// Places fixed by the window definition.
constexpr int kPictureTop = 4;
constexpr int kPictureLeft = 6;
constexpr int kPictureSize = 24;
constexpr int kTitleLeft = 34;
constexpr int kPaneTop = 32;
constexpr int kTreeTop = 32;
constexpr int kProgressBarHeight = 10;
constexpr int kRaise = 16;
constexpr int kSmallestTreeWidth = 112;
constexpr int kSmallestPaneWidth = 200;

QLabel* Picture(QWidget* parent, const char* name, const char* file) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setPixmap(QIcon(QString(":/icons/") + file).pixmap(kPictureSize, kPictureSize));
    label->setGeometry(kPictureLeft, kPictureTop, kPictureSize, kPictureSize);
    return label;
}

void Place(QWidget* widget, const Rect& r) {
    widget->setGeometry(r.left, r.top, std::max(r.width, 0), std::max(r.height, 0));
}

} // namespace

void TMainWin::CreateGrid() {
    auto* centre = new QWidget(this);
    auto* column = new QVBoxLayout(centre);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    Splitter1 = new QSplitter(Qt::Horizontal, centre);
    Splitter1->setObjectName("Splitter1");
    Splitter1->setHandleWidth(6);
    Splitter1->setChildrenCollapsible(false);
    Splitter1->setStyleSheet("QSplitter::handle { background: silver; }");
    Splitter1->addWidget(Dir_Panel);

    Grid_Panel = new QWidget(Splitter1);
    Grid_Panel->setObjectName("Grid_Panel");
    sourcePictures_ = {Picture(Grid_Panel, "Source_Picture", "pane-source-plain.svg"),
                       Picture(Grid_Panel, "Source_HighlightedPicture", "pane-source-highlighted.svg")};
    cryptedPictures_ = {Picture(Grid_Panel, "Crypted_Picture", "pane-crypted-plain.svg"),
                        Picture(Grid_Panel, "Crypted_HighlightedPicture", "pane-crypted-highlighted.svg")};
    sourceTitle_ = new QLabel("Available for encryption", Grid_Panel);
    sourceTitle_->setObjectName("Source_Title");
    sourceTitle_->move(kTitleLeft, kPictureTop + 4);
    cryptedTitle_ = new QLabel("Crypted files", Grid_Panel);
    cryptedTitle_->setObjectName("Crypted_Title");
    for (QLabel* title : {sourceTitle_, cryptedTitle_}) {
        QFont bold = title->font();
        bold.setBold(true);
        title->setFont(bold);
        title->adjustSize();
    }

    sourceModel_ = std::make_unique<PaneModel>(*fileLists_, Pane::Source, kinds_, this);
    cryptedModel_ = std::make_unique<PaneModel>(*fileLists_, Pane::Crypted, kinds_, this);
    sourceView_ = std::make_unique<FilePaneView>(*sourceModel_, "Source_ListView", Grid_Panel);
    cryptedView_ = std::make_unique<FilePaneView>(*cryptedModel_, "Crypted_ListView", Grid_Panel);
    paneWatch_ = std::make_unique<PaneWatch>(
        objects_->prgState(), [this](const PaneRefresh::Changes& changes) { RefreshPanes(changes); }, this);
    // Each pane, and each of its two views, is named by its title, to which the title is linked.
    for (auto [view, title] :
         {std::pair{sourceView_.get(), sourceTitle_}, std::pair{cryptedView_.get(), cryptedTitle_}}) {
        title->setBuddy(view->detailsView());
        for (QWidget* named : {static_cast<QWidget*>(view),
                               static_cast<QWidget*>(view->detailsView()),
                               static_cast<QWidget*>(view->iconsView())})
            named->setAccessibleName(title->text());
    }
    for (FilePaneView* view : {sourceView_.get(), cryptedView_.get()}) {
        const Pane which = view->pane();
        connect(view, &FilePaneView::focused, this, [this, which] { PaneFocused(which); });
        connect(view, &FilePaneView::columnClicked, this, [this, which](PaneColumn clicked) {
            fileLists_->ColumnClick(which, clicked);
        });
    }
    ProgressBar1 = new QProgressBar(Grid_Panel);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar2 = new QProgressBar(Grid_Panel);
    ProgressBar2->setObjectName("ProgressBar2");
    ProgressBar1->setAccessibleName(sourceTitle_->text() + ": progress");
    ProgressBar2->setAccessibleName(cryptedTitle_->text() + ": progress");
    for (QProgressBar* bar : {ProgressBar1, ProgressBar2}) {
        bar->setRange(0, 100);
        bar->setTextVisible(false);
        bar->hide();
    }
    // The bars stay behind their panes when not shown, as the window defines them.
    ProgressBar1->lower();
    ProgressBar2->lower();
    Splitter1->addWidget(Grid_Panel);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({190, 400});
    connect(Splitter1, &QSplitter::splitterMoved, this, [this] { UpdateWidths(); });

    column->addWidget(Splitter1, 1);
    column->addWidget(Status_CoolBar);
    setCentralWidget(centre);

    // Both panels follow the window's pixel rules; either one's new height lays out both again, a new
    // width alone only the widths.
    for (QWidget* panel : {Dir_Panel, Grid_Panel}) {
        auto* layout = new RuledLayout(
            panel, [this] { Reresize(); }, [this] { UpdateWidths(); });
        for (QObject* child : panel->children())
            if (auto* widget = qobject_cast<QWidget*>(child))
                layout->addWidget(widget);
    }
    PaneFocused(Pane::Source);
    sourceView_->setFocusProxy(nullptr);
}

bool TMainWin::eventFilter(QObject* watched, QEvent* event) {
    // A click, the wheel or a key in the tree: the user moves it now, and it no longer follows the shown
    // directory's row on its own.
    if (watched == User_DirectoryListBox || watched == User_DirectoryListBox->viewport()) {
        const QEvent::Type type = event->type();
        if (type == QEvent::MouseButtonPress || type == QEvent::Wheel || type == QEvent::KeyPress)
            treeFollows_ = false;
    }
    if (watched == User_DirectoryListBox && event->type() == QEvent::FocusIn)
        ReadPanesFirstTime();
    // The menu key opens the tree's pop-up menu at the chosen folder.
    if (watched == User_DirectoryListBox && event->type() == QEvent::ContextMenu &&
        static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard) {
        treeMenu_->popup(KeyboardMenuPosition(*User_DirectoryListBox));
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TMainWin::ReadPanesFirstTime() {
    TKX_PrgState& state = objects_->prgState();
    if (state.PanesUnread) {
        state.PanesUnread = false;
        ReadFLists();
    }
}

// The fixed places of the window definition, as the pane layout takes them.
static PaneLayoutInput FixedPlaces() {
    PaneLayoutInput in;
    in.treeTop = kTreeTop;
    in.sourceTop = kPaneTop;
    in.upperPictureTop = kPictureTop;
    in.progressBarHeight = kProgressBarHeight;
    return in;
}

void TMainWin::SetMinimumSizes() {
    // Each pane shows its header, its sideways scroll bar and two rows, and one row while a file is
    // processed and the pane has made room for its progress bar; the tree is wide enough for a few
    // levels of folders, the panes' panel for its titles and the first columns.
    QTreeView* details = sourceView_->detailsView();
    const int row = std::max(details->fontMetrics().height(), 16) + 4;
    const int header = details->header()->sizeHint().height() + 2 * details->frameWidth() +
                       details->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, details);
    Dir_Panel->setMinimumSize(kSmallestTreeWidth + 8,
                              SmallestDirPanelHeight(FixedPlaces(), header + 2 * row, header + row + kRaise));
    Grid_Panel->setMinimumWidth(std::max(kTitleLeft + sourceTitle_->width(), kSmallestPaneWidth) + 12);
    centralWidget()->layout()->activate();
    layout()->activate();
}

// Tab follows the screen: the drive box, the tree, the upper pane, the lower pane, then the method
// buttons (of which the current method's alone is a stop).
void TMainWin::SetTabOrder() {
    std::vector<QWidget*> order = {DriveComboBox1, User_DirectoryListBox};
    for (FilePaneView* pane : {sourceView_.get(), cryptedView_.get()}) {
        order.push_back(pane->detailsView());
        order.push_back(pane->iconsView());
    }
    for (QWidget* button : {DES_Button, TDES_Button, IDEA_Button})
        order.push_back(button);
    for (std::size_t i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void TMainWin::FitIntoScreen(bool centre) {
    const QScreen* shown = screen();
    if (!shown)
        return;
    const QRect area = shown->availableGeometry();
    const QRect outer = frameGeometry();
    const QRect inner = geometry();
    FrameMargins frame{inner.left() - outer.left(),
                       inner.top() - outer.top(),
                       outer.right() - inner.right(),
                       outer.bottom() - inner.bottom()};
    if (outer == inner) {
        // Not framed yet: a title bar and borders as the style would draw them.
        const int title = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
        frame = {2, title + 2, 2, 2};
    }
    // Once shown, the window keeps the size it has (the window manager may have chosen it) unless that
    // does not fit.
    const QSize wanted = centre ? wantedSize_ : size();
    WindowFitInput in;
    in.wanted = {wanted.width(), wanted.height()};
    in.minimum = {minimumWidth(), minimumHeight()};
    in.frame = frame;
    in.area = {area.x(), area.y(), area.width(), area.height()};
    in.centre = centre;
    in.frameLeft = outer.x();
    in.frameTop = outer.y();
    const WindowPlace place = FitWindow(in);
    if (size() != QSize(place.size.width, place.size.height))
        resize(place.size.width, place.size.height);
    if (centre || outer.topLeft() != QPoint(place.frameLeft, place.frameTop))
        move(place.frameLeft, place.frameTop);
}

void TMainWin::UpdateWidths() {
    const int treeWidth = Dir_Panel->width() - 8;
    User_DirectoryListBox->resize(treeWidth, User_DirectoryListBox->height());
    DriveComboBox1->resize(treeWidth, DriveComboBox1->height());
    const int width = Grid_Panel->width() - 12;
    for (QWidget* widget : {static_cast<QWidget*>(sourceView_.get()),
                            static_cast<QWidget*>(cryptedView_.get()),
                            static_cast<QWidget*>(ProgressBar1),
                            static_cast<QWidget*>(ProgressBar2)})
        widget->resize(width, widget->height());
}

void TMainWin::Reresize() {
    PaneLayoutInput in = FixedPlaces();
    in.dirPanelWidth = Dir_Panel->width();
    in.dirPanelHeight = Dir_Panel->height();
    in.gridPanelWidth = Grid_Panel->width();
    const TKX_PrgState& state = objects_->prgState();
    in.busy = state.IsBusyWith(TKX_PrgState::kEncrypting) || state.IsBusyWith(TKX_PrgState::kDecrypting);
    const PaneLayoutResult out = LayOutPanes(in);

    Place(User_DirectoryListBox, out.tree);
    DriveComboBox1->setGeometry(out.tree.left, kPictureTop, out.driveBoxWidth, DriveComboBox1->sizeHint().height());
    Place(sourceView_.get(), out.source);
    Place(cryptedView_.get(), out.crypted);
    Place(ProgressBar1, out.sourceBar);
    Place(ProgressBar2, out.cryptedBar);
    for (QLabel* picture : cryptedPictures_)
        picture->move(kPictureLeft, out.lowerPictureTop);
    cryptedTitle_->move(kTitleLeft, out.lowerTitleTop);
    RenderGrid2Images();
}

// The lower pane's pictures stand as far above it as the upper pane's above the upper pane, its title
// 4 pixels below their top.
void TMainWin::RenderGrid2Images() {
    const int top = cryptedView_->y() - (sourceView_->y() - sourcePictures_[0]->y());
    for (QLabel* picture : cryptedPictures_)
        picture->move(kPictureLeft, top);
    cryptedTitle_->move(kTitleLeft, top + 4);
}

void TMainWin::RaiseLists() {
    for (FilePaneView* view : {sourceView_.get(), cryptedView_.get()})
        view->resize(view->width(), view->height() - kRaise);
    for (QProgressBar* bar : {ProgressBar1, ProgressBar2}) {
        bar->setValue(0);
        bar->show();
        bar->raise();
    }
    objects_->prgState().ProgressShown = true;
}

void TMainWin::DropLists() {
    for (FilePaneView* view : {sourceView_.get(), cryptedView_.get()})
        view->resize(view->width(), view->height() + kRaise);
    ProgressBar1->hide();
    ProgressBar2->hide();
    objects_->prgState().ProgressShown = false;
}

} // namespace vorlaxen
