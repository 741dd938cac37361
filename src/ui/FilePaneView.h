#pragma once

#include "desktop/FileLists.h"

#include <QStackedWidget>

class QAbstractItemView;
class QItemSelectionModel;
class QListView;
class QTreeView;

namespace vorlaxen {

class PaneModel;

// Where a pop-up menu opened with the menu key appears over a list or tree: below the start of its
// current row, scrolled into view, or at its top-left corner when no row is current.
QPoint KeyboardMenuPosition(QAbstractItemView& view);

// The four ways a pane can show its entries.
enum class ViewStyle { LargeIcons, SmallIcons, List, Details };

// One file pane: a details view with clickable column headers and an icon/list view over the same
// entries and the same selection, of which one is shown. It accepts drops only from the other pane,
// and tells the window of focus, double-clicks, header clicks, drops and its pop-up menu.
class FilePaneView : public QStackedWidget {
    Q_OBJECT

public:
    FilePaneView(PaneModel& model, const QString& name, QWidget* parent = nullptr);

    Pane pane() const;
    void setViewStyle(ViewStyle style);
    ViewStyle viewStyle() const { return style_; }
    std::array<std::int32_t, kPaneColumnCount> columnWidths() const;
    void setColumnWidths(const std::array<std::int32_t, kPaneColumnCount>& widths);
    void ClearSelection();
    // Before the entry at `row` goes in the middle of a run: when it is the current row or a selected one,
    // the view gives up its current row or its selection instead of moving them on. Moving them on made
    // the view lay out all its rows again for every entry the run removed.
    void LetGoOfRow(int row);
    // The arrow on the header of the column by which the pane was sorted last.
    void ShowSortOrder(PaneColumn column, bool descending);
    QAbstractItemView* currentView() const;
    QTreeView* detailsView() const { return details_; }
    QListView* iconsView() const { return icons_; }

    // The file names on disk of the selected entries in display order; with none selected, the current
    // one's.
    std::vector<std::string> SelectedFiles() const;

signals:
    void focused();
    void activated();
    void columnClicked(PaneColumn column);
    void droppedFromOtherPane();
    void contextMenuRequested(QPoint globalPos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The rows of the selected entries in display order; with none selected, the current one.
    std::vector<int> SelectedRows() const;
    void Watch(QAbstractItemView* view);
    // The last column reaches the right edge of the view: it shows its own width, or the room the other
    // columns leave when that is more. Its own width is what the user gave it and what is saved.
    void FitLastColumn();

    PaneModel& model_;
    QTreeView* details_ = nullptr;
    QListView* icons_ = nullptr;
    ViewStyle style_ = ViewStyle::Details;
    int lastColumnWidth_ = 50;
    bool fitting_ = false;
    PaneColumn sortColumn_ = PaneColumn::Name;
    bool sortDescending_ = false;
};

} // namespace vorlaxen
