#pragma once

#include "ports/BrowserLauncher.h"
#include "ports/StatusLine.h"

#include <string>

namespace vorlaxen {

// The help topics the program opens: the main window's (F1 there, and most tips), the Preferences
// dialog's; the tips name theirs in their table.
inline constexpr int kMainWindowHelpTopic = 20;
inline constexpr int kPreferencesHelpTopic = 80;

// The help file (an HTML file beside the icon, named by the settings) opened for reading: from its start
// ("&Contents", the "Help" tool button) or at a topic, the anchor "topic-N". The application starts in
// the help file's directory. A missing help file, or one that nothing opens, shows nothing.
class HelpViewer {
public:
    HelpViewer(const std::string& helpFile, BrowserLauncher& browser, StatusLine& status)
        : helpFile_(helpFile)
        , browser_(browser)
        , status_(status) {}

    // 0 opens the help file at its start.
    void OpenHelp(int topic = 0);

    static std::string TopicAnchor(int topic) { return "topic-" + std::to_string(topic); }

private:
    const std::string& helpFile_;
    BrowserLauncher& browser_;
    StatusLine& status_;
};

} // namespace vorlaxen
