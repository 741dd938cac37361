#pragma once

#include <functional>
#include <optional>
#include <string>

namespace vorlaxen {

// What the tip window's buttons ask of the logic: "Next Tip" the text of the next tip to show, "More
// Info..." the help at the shown tip's topic.
struct TipWindowCalls {
    std::function<std::string()> nextTip;
    std::function<void()> moreInfo;
};

// `TTIP_Form` ("Tip of the day"), shown modally with a tip in TIP_Memo and Show_CheckBox ("Show this
// window next time Vorlaxen is started") set as given. Its one way out for the user is "OK", which
// answers the check box's state; a window that the program closes (as when it ends) answers nothing.
class TipWindow {
public:
    virtual ~TipWindow() = default;
    virtual std::optional<bool>
    ShowTipWindow(const std::string& tip, bool showNextTime, const TipWindowCalls& calls) = 0;
};

} // namespace vorlaxen
