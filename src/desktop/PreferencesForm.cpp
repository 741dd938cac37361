#include "desktop/PreferencesForm.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace vorlaxen {

void PreferencesForm::setOnePwd(bool checked) {
    c_.onePwd = checked;
    OnePwd_CheckBoxClick();
}

void PreferencesForm::setOnePerList(bool checked) {
    c_.onePerList = checked;
    OnePwd_CheckBoxClick();
}

void PreferencesForm::OnePwd_CheckBoxClick() {
    c_.panel1Shown = c_.onePwd;
    c_.onePerListShown = !c_.onePwd;
    if (c_.onePerListShown)
        c_.onePwd = false;
    else
        c_.onePerList = false;
}

void PreferencesForm::setStore(bool checked) {
    c_.store = checked;
    c_.storePanelShown = checked;
}

void PreferencesForm::setMasterPwdExpires(bool checked) {
    c_.masterPwdExpires = checked;
    c_.panel3Shown = checked;
}

std::int32_t PreferencesForm::ClampMinutes(std::int64_t minutes) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(minutes, 0, kMaxMinutes));
}

std::int32_t PreferencesForm::SpinValue(std::string_view text) {
    auto blank = [](char ch) { return ch == ' ' || ch == '\t'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || stop != end)
        return 0;
    // A whole number too long for 64 bits is still a number: it lies beyond the range on its side.
    if (error == std::errc::result_out_of_range)
        return text.front() == '-' ? 0 : kMaxMinutes;
    if (error != std::errc())
        return 0;
    return ClampMinutes(value);
}

} // namespace vorlaxen
