#include "ui/FilePaneView.h"

#include "ui/PaneModel.h"

#include <QContextMenuEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QListView>
#include <QTreeView>
#include <algorithm>

namespace vorlaxen {

FilePaneView::FilePaneView(PaneModel& model, const QString& name, QWidget* parent)
    : QStackedWidget(parent)
    , model_(model) {
    setObjectName(name);
    details_ = new QTreeView(this);
    details_->setObjectName(name + "_Details");
    details_->setRootIsDecorated(false);
    details_->setUniformRowHeights(true);
    details_->setSortingEnabled(false);
    details_->setAllColumnsShowFocus(true);
    details_->header()->setSectionsClickable(true);
    details_->header()->setStretchLastSection(false);
    details_->header()->setSortIndicatorShown(true);
    details_->header()->setSortIndicator(0, Qt::AscendingOrder);
    icons_ = new QListView(this);
    icons_->setObjectName(name + "_Icons");
    icons_->setResizeMode(QListView::Adjust);
    icons_->setMovement(QListView::Static);
    icons_->setWrapping(true);
    icons_->setUniformItemSizes(true);

    details_->setModel(&model_);
    icons_->setModel(&model_);
    icons_->setSelectionModel(details_->selectionModel());
    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(details_), static_cast<QAbstractItemView*>(icons_)})
        Watch(view);
    connect(details_->header(), &QHeaderView::sectionClicked, this, [this](int section) {
        emit columnClicked(static_cast<PaneColumn>(section));
        // The header moved its arrow by its own rule before telling; the arrow shows how the pane was
        // sorted, also when the click was ignored.
        ShowSortOrder(sortColumn_, sortDescending_);
    });
    connect(details_->header(), &QHeaderView::sectionResized, this, [this](int section, int, int size) {
        if (fitting_)
            return;
        if (section == static_cast<int>(kPaneColumnCount) - 1)
            lastColumnWidth_ = size;
        FitLastColumn();
    });

    addWidget(details_);
    addWidget(icons_);
    setCurrentWidget(details_);
}

QPoint KeyboardMenuPosition(QAbstractItemView& view) {
    if (view.currentIndex().isValid())
        view.scrollTo(view.currentIndex());
    const QRect row = view.visualRect(view.currentIndex()).intersected(view.viewport()->rect());
    const QPoint at = row.isValid() ? QPoint(row.left() + row.height(), row.bottom()) : QPoint(0, 0);
    return view.viewport()->mapToGlobal(at);
}

Pane FilePaneView::pane() const {
    return model_.pane();
}

void FilePaneView::Watch(QAbstractItemView* view) {
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setDragEnabled(true);
    view->setAcceptDrops(true);
    view->setDropIndicatorShown(false);
    view->setDragDropMode(QAbstractItemView::DragDrop);
    view->setDefaultDropAction(Qt::MoveAction);
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    view->installEventFilter(this);
    view->viewport()->installEventFilter(this);
    connect(view, &QAbstractItemView::doubleClicked, this, &FilePaneView::activated);
    connect(view, &QWidget::customContextMenuRequested, this, [this, view](QPoint pos) {
        emit contextMenuRequested(view->viewport()->mapToGlobal(pos));
    });
}

void FilePaneView::FitLastColumn() {
    QHeaderView* header = details_->header();
    const int last = static_cast<int>(kPaneColumnCount) - 1;
    int others = 0;
    for (int section = 0; section < last; ++section)
        others += header->sectionSize(section);
    const int room = details_->viewport()->width() - others;
    fitting_ = true;
    header->resizeSection(last, std::max(lastColumnWidth_, room));
    fitting_ = false;
}

bool FilePaneView::eventFilter(QObject* watched, QEvent* event) {
    const Pane other = pane() == Pane::Source ? Pane::Crypted : Pane::Source;
    switch (event->type()) {
    case QEvent::Resize:
        if (watched == details_->viewport())
            FitLastColumn();
        break;
    case QEvent::FocusIn:
        emit focused();
        break;
    case QEvent::ContextMenu:
        // The menu key opens the pop-up menu at the current row, where the user is.
        if (static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard) {
            auto* view = qobject_cast<QAbstractItemView*>(watched);
            if (!view)
                break;
            emit contextMenuRequested(KeyboardMenuPosition(*view));
            return true;
        }
        break;
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        // Only entries of the other pane are accepted; a drag within a pane starts nothing.
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (DragComesFrom(drag->mimeData(), other)) {
            drag->setDropAction(Qt::MoveAction);
            drag->accept();
        } else {
            drag->ignore();
        }
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (DragComesFrom(drop->mimeData(), other)) {
            // The operation takes the other pane's selection itself; the drop moves nothing.
            drop->setDropAction(Qt::IgnoreAction);
            drop->accept();
            emit droppedFromOtherPane();
        } else {
            drop->ignore();
        }
        return true;
    }
    default:
        break;
    }
    return QStackedWidget::eventFilter(watched, event);
}

void FilePaneView::setViewStyle(ViewStyle style) {
    style_ = style;
    if (style == ViewStyle::Details) {
        setCurrentWidget(details_);
        return;
    }
    switch (style) {
    case ViewStyle::LargeIcons:
        icons_->setViewMode(QListView::IconMode);
        icons_->setFlow(QListView::LeftToRight);
        icons_->setIconSize({32, 32});
        icons_->setGridSize({96, 64});
        break;
    case ViewStyle::SmallIcons:
        icons_->setViewMode(QListView::ListMode);
        icons_->setFlow(QListView::LeftToRight);
        icons_->setIconSize({16, 16});
        icons_->setGridSize({160, 20});
        break;
    default:
        icons_->setViewMode(QListView::ListMode);
        icons_->setFlow(QListView::TopToBottom);
        icons_->setIconSize({16, 16});
        icons_->setGridSize({});
        break;
    }
    icons_->setWrapping(true);
    setCurrentWidget(icons_);
}

std::array<std::int32_t, kPaneColumnCount> FilePaneView::columnWidths() const {
    std::array<std::int32_t, kPaneColumnCount> widths{};
    for (std::size_t i = 0; i + 1 < kPaneColumnCount; ++i)
        widths[i] = details_->header()->sectionSize(static_cast<int>(i));
    widths[kPaneColumnCount - 1] = lastColumnWidth_;
    return widths;
}

void FilePaneView::setColumnWidths(const std::array<std::int32_t, kPaneColumnCount>& widths) {
    fitting_ = true;
    for (std::size_t i = 0; i + 1 < kPaneColumnCount; ++i)
        details_->header()->resizeSection(static_cast<int>(i), std::max(widths[i], 20));
    fitting_ = false;
    lastColumnWidth_ = std::max(widths[kPaneColumnCount - 1], 20);
    FitLastColumn();
}

void FilePaneView::ShowSortOrder(PaneColumn column, bool descending) {
    sortColumn_ = column;
    sortDescending_ = descending;
    details_->header()->setSortIndicator(static_cast<int>(column),
                                         descending ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void FilePaneView::ClearSelection() {
    details_->selectionModel()->clearSelection();
}

void FilePaneView::LetGoOfRow(int row) {
    QItemSelectionModel* selection = details_->selectionModel();
    if (selection->currentIndex().row() == row)
        selection->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    if (selection->isRowSelected(row))
        selection->clearSelection();
}

QAbstractItemView* FilePaneView::currentView() const {
    return style_ == ViewStyle::Details ? static_cast<QAbstractItemView*>(details_) : icons_;
}

std::vector<int> FilePaneView::SelectedRows() const {
    // Either view may have selected whole rows or single cells: every selected row counts once. With
    // nothing selected, the current row (where Tab and the arrow keys leave the focus frame) is what the
    // user points at.
    std::vector<int> rows;
    for (const QModelIndex& index : details_->selectionModel()->selectedIndexes())
        rows.push_back(index.row());
    const QModelIndex current = details_->selectionModel()->currentIndex();
    if (rows.empty() && current.isValid())
        rows.push_back(current.row());
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

std::vector<std::string> FilePaneView::SelectedFiles() const {
    std::vector<std::string> files;
    for (int row : SelectedRows())
        files.push_back(model_.entry(row).fileName);
    return files;
}

} // namespace vorlaxen
