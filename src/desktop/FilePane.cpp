#include "desktop/FilePane.h"

#include <algorithm>
#include <numeric>

namespace vorlaxen {

namespace {

unsigned char Fold(char c) {
    auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

int Sign(std::int64_t v) {
    return v < 0 ? -1 : (v > 0 ? 1 : 0);
}

} // namespace

int CompareWithoutCase(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char x = Fold(a[i]);
        unsigned char y = Fold(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

int CompareEntries(const PaneEntry& a, const PaneEntry& b, const SortState& sort, bool fullDetails) {
    if (sort.column != PaneColumn::Name && !fullDetails)
        return 0;
    int result = 0;
    switch (sort.column) {
    case PaneColumn::Name:
        result = CompareWithoutCase(a.caption, b.caption);
        break;
    case PaneColumn::Size:
        result = Sign((a.hasDetails ? a.size : -1) - (b.hasDetails ? b.size : -1));
        break;
    case PaneColumn::Date: {
        // A missing date is the smallest; a real date is compared by its stored time, which orders as
        // its text would.
        if (a.hasDetails != b.hasDetails)
            result = a.hasDetails ? 1 : -1;
        else
            result = Sign(a.modified - b.modified);
        break;
    }
    case PaneColumn::Attributes:
        result = CompareWithoutCase(a.attributesText, b.attributesText);
        break;
    case PaneColumn::Type:
        result = CompareWithoutCase(a.typeText, b.typeText);
        break;
    }
    return sort.descending ? -result : result;
}

std::size_t FilePane::Append(PaneEntry entry) {
    entries_.push_back(std::move(entry));
    sortedBy_.reset();
    return entries_.size() - 1;
}

std::size_t FilePane::InsertSorted(PaneEntry entry, const SortState& sort, bool fullDetails) {
    const auto at =
        std::upper_bound(entries_.begin(), entries_.end(), entry, [&](const PaneEntry& a, const PaneEntry& b) {
            return CompareEntries(a, b, sort, fullDetails) < 0;
        });
    const auto index = static_cast<std::size_t>(at - entries_.begin());
    entries_.insert(at, std::move(entry));
    return index;
}

std::optional<std::size_t> FilePane::FindFile(const std::string& fileName) const {
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].fileName == fileName)
            return i;
    return std::nullopt;
}

void FilePane::RemoveAt(std::size_t index) {
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(index));
}

std::vector<std::size_t> FilePane::Sort(const SortState& sort, bool fullDetails) {
    std::vector<std::size_t> order(entries_.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) {
        return CompareEntries(entries_[x], entries_[y], sort, fullDetails) < 0;
    });
    std::deque<PaneEntry> sorted;
    for (std::size_t i : order)
        sorted.push_back(std::move(entries_[i]));
    entries_ = std::move(sorted);
    sortedBy_.emplace(sort, fullDetails);
    return order;
}

} // namespace vorlaxen
