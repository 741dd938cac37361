#include "desktop/CoolBands.h"

#include <algorithm>

namespace vorlaxen {

namespace {

const std::array<BandLayout, CoolBands::kCount> kDefinition = {{
    {true, 405, "StatusBar2"},
    {true, 172, "StatusBar1"},
    {true, 183, "StatusBar3"},
    {false, 394, "Method_Panel"},
}};

bool KnownControl(const std::string& name) {
    return std::any_of(kDefinition.begin(), kDefinition.end(), [&](const BandLayout& b) { return b.control == name; });
}

} // namespace

CoolBands::CoolBands()
    : bands_(kDefinition) {}

void CoolBands::Apply(const std::array<BandLayout, kCount>& saved) {
    std::array<bool, kCount> placed{};
    std::vector<std::string> used;
    for (std::size_t i = 0; i < kCount; ++i) {
        bands_[i].startsRow = saved[i].startsRow || i == 0;
        bands_[i].width = std::max(saved[i].width, kMinimumWidth);
        const std::string& name = saved[i].control;
        if (KnownControl(name) && std::find(used.begin(), used.end(), name) == used.end()) {
            bands_[i].control = name;
            used.push_back(name);
            placed[i] = true;
        }
    }
    for (std::size_t i = 0; i < kCount; ++i) {
        if (placed[i])
            continue;
        for (const BandLayout& d : kDefinition) {
            if (std::find(used.begin(), used.end(), d.control) == used.end()) {
                bands_[i].control = d.control;
                used.push_back(d.control);
                break;
            }
        }
    }
}

std::vector<std::vector<std::size_t>> CoolBands::Rows() const {
    std::vector<std::vector<std::size_t>> rows;
    for (std::size_t i = 0; i < kCount; ++i) {
        if (rows.empty() || bands_[i].startsRow)
            rows.emplace_back();
        rows.back().push_back(i);
    }
    return rows;
}

void CoolBands::Move(std::size_t from, std::size_t row, std::size_t position) {
    std::vector<std::vector<BandLayout>> rows;
    for (const auto& r : Rows()) {
        rows.emplace_back();
        for (std::size_t i : r)
            rows.back().push_back(bands_[i]);
    }
    // Take the band out of its row.
    BandLayout moving;
    std::size_t fromRow = 0;
    for (std::size_t r = 0, seen = 0; r < rows.size(); ++r) {
        if (from < seen + rows[r].size()) {
            moving = rows[r][from - seen];
            rows[r].erase(rows[r].begin() + static_cast<std::ptrdiff_t>(from - seen));
            fromRow = r;
            break;
        }
        seen += rows[r].size();
    }
    const bool rowEmptied = rows[fromRow].empty();
    if (rowEmptied) {
        rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(fromRow));
        if (row > fromRow)
            --row;
    }
    if (row >= rows.size()) {
        rows.emplace_back();
        row = rows.size() - 1;
    }
    auto& target = rows[row];
    target.insert(target.begin() + static_cast<std::ptrdiff_t>(std::min(position, target.size())), moving);

    std::size_t i = 0;
    for (auto& r : rows)
        for (std::size_t k = 0; k < r.size(); ++k) {
            bands_[i] = r[k];
            bands_[i].startsRow = k == 0;
            ++i;
        }
}

std::array<int, CoolBands::kCount> CoolBands::ShownWidths(int barWidth, const std::array<int, kCount>& minimums) const {
    std::array<int, kCount> shown{};
    for (const auto& row : Rows()) {
        const std::size_t last = row.back();
        int used = 0;
        for (std::size_t k = 0; k + 1 < row.size(); ++k) {
            shown[row[k]] = std::max(bands_[row[k]].width, minimums[row[k]]);
            used += shown[row[k]];
        }
        const int lastMinimum = std::max(minimums[last], kMinimumWidth);
        int missing = lastMinimum - (barWidth - used);
        for (std::size_t k = row.size() - 1; missing > 0 && k-- > 0;) {
            const int room = shown[row[k]] - std::max(minimums[row[k]], kMinimumWidth);
            const int given = std::clamp(missing, 0, std::max(room, 0));
            shown[row[k]] -= given;
            used -= given;
            missing -= given;
        }
        shown[last] = std::max(barWidth - used, lastMinimum);
    }
    return shown;
}

int CoolBands::MinimumBarWidth(const std::array<int, kCount>& minimums) const {
    int widest = 0;
    for (const auto& row : Rows()) {
        int sum = 0;
        for (std::size_t position : row)
            sum += std::max(minimums[position], kMinimumWidth);
        widest = std::max(widest, sum);
    }
    return widest;
}

std::array<BandLayout, CoolBands::kCount> CoolBands::Saved(const std::array<int, kCount>& shown) const {
    std::array<BandLayout, kCount> saved = bands_;
    for (const auto& row : Rows())
        if (shown[row.back()] > 0)
            saved[row.back()].width = shown[row.back()];
    return saved;
}

void CoolBands::Resize(std::size_t band, int width) {
    bands_[band].width = std::max(width, kMinimumWidth);
}

std::size_t CoolBands::PositionOf(const std::string& control) const {
    for (std::size_t i = 0; i < kCount; ++i)
        if (bands_[i].control == control)
            return i;
    return kCount;
}

} // namespace vorlaxen
