#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace vorlaxen {

// One entry of a file pane: a file of the shown directory under its caption (the name in display form,
// kept as the bytes the file system gave, so that a name that is not valid UTF-8 still names its file).
// Details may be missing: a file that could not be opened has none, and a whole-directory run with one
// password skips them.
struct PaneEntry {
    std::string caption;
    std::string fileName; // the name on disk, relative to the shown directory
    int image = 0;        // icon index; 0 when there is none
    bool hasDetails = false;
    std::int64_t size = 0;
    std::int64_t modified = 0; // seconds since the epoch
    std::string sizeText;
    std::string dateText;
    std::string attributesText;
    std::string typeText; // "File Type" (left pane) or "Encrypted by" (right pane); may be empty
};

// The columns of a pane, in their order: the caption with its icon, the size, the date, the permissions,
// and the type ("File Type" in "Available for encryption", "Encrypted by" in "Crypted files").
enum class PaneColumn { Name, Size, Date, Attributes, Type };
inline constexpr std::size_t kPaneColumnCount = 5;

// The sort state both panes share for the whole run: the column and the direction. Every column click
// flips the direction, whatever the column.
struct SortState {
    PaneColumn column = PaneColumn::Name;
    bool descending = false;

    void ColumnClicked(PaneColumn clicked) {
        column = clicked;
        descending = !descending;
    }
    bool operator==(const SortState&) const = default;
};

// The pane comparison: negative, zero or positive. Name compares captions without regard to letter
// case, Size the sizes, Date the dates, Attributes and Type their texts without regard to case;
// descending negates. A missing text compares as empty, a missing size or date as the smallest. With
// `fullDetails` false a column other than Name has no order (the result is 0 for every pair).
int CompareEntries(const PaneEntry& a, const PaneEntry& b, const SortState& sort, bool fullDetails);

// Case-insensitive comparison of two texts, byte by byte (ASCII letters folded).
int CompareWithoutCase(const std::string& a, const std::string& b);

// The entries of one pane, in display order. A run removes the entries of the files it has done from the
// front of a pane sorted by name, one after another: they are kept where that costs nothing.
class FilePane {
public:
    const std::deque<PaneEntry>& entries() const { return entries_; }
    std::size_t size() const { return entries_.size(); }
    const PaneEntry& operator[](std::size_t i) const { return entries_[i]; }
    PaneEntry& at(std::size_t i) { return entries_[i]; }

    void Clear() {
        entries_.clear();
        sortedBy_.reset();
    }
    std::size_t Append(PaneEntry entry);
    // Puts the entry where a stable sort would put it, after the entries equal to it; the entries must be
    // in the order of the same state (SortedBy). Returns its index.
    std::size_t InsertSorted(PaneEntry entry, const SortState& sort, bool fullDetails);
    // The entry of the file `fileName`. Names that differ only in letter case are different files here
    // (report.txt and Report.txt, x.cry and x.CRY side by side), although the panes sort them as equal.
    std::optional<std::size_t> FindFile(const std::string& fileName) const;
    void RemoveAt(std::size_t index);
    // Sorts stably and returns, for each new position, the index the entry had before.
    std::vector<std::size_t> Sort(const SortState& sort, bool fullDetails);
    // Whether the entries are in the order of this state: sorted by it, with nothing appended since and no
    // details changed that it orders by.
    bool SortedBy(const SortState& sort, bool fullDetails) const {
        return sortedBy_ && sortedBy_->first == sort && sortedBy_->second == fullDetails;
    }
    // The details of an entry changed.
    void DetailsChanged() {
        if (sortedBy_ && sortedBy_->first.column != PaneColumn::Name)
            sortedBy_.reset();
    }

private:
    std::deque<PaneEntry> entries_;
    std::optional<std::pair<SortState, bool>> sortedBy_;
};

} // namespace vorlaxen
