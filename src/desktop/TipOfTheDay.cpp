#include "desktop/TipOfTheDay.h"

#include <chrono>

namespace vorlaxen {

// The tips as the program has always shown them, spelling included; the last one names the file managers'
// menus that stand in for the system folder it named.
const std::array<Tip, kTipCount> kTips = {{
    {"You can encrypt file with 7(!) different ways: double-clicking on it, drag n' dropping it, choosing "
     "respective command from context menu/main menu, pressing respective tool button, using command string and "
     "via command 'Encrypt all' from directories box context sensetive menu.",
     20},
    {"Status bars in the bottom of the main screen allow you see statistics about the last encrypted/decrypted "
     "file such as average crypting speed, time of crypting etc.",
     20},
    {"You can freely resize/move status bars in the bottom of the main screen. When you next time start Vorlaxen "
     "these settings will be restored.",
     20},
    {"You can change the way file lists look by choosing 'View' in the main menu, as well as changing appearence "
     "of the tool bar and status bars.",
     20},
    {"You can encrypt the contents of entire folders with subfolders, using 'Encrypt all' command in the context "
     "sensetive menu of the directory box.",
     20},
    {"You can re-order files in the file lists by pressing a respective caption above a file list. To use this "
     "feature you must select 'Details'in the 'View/File lists' part of the main menu.",
     20},
    {"As you make your passwords longer securiry of encryption grows.", 10},
    {"Buttons placed onto the status bar at the bottom of the window indicate an ecryption method, choosen by "
     "default",
     10},
    {"You can move between active controls in the main window by a 'TAB'-key. When you activate a file list the "
     "respective image above the list is highlighted.",
     10},
    {"If you attempt to exit the program before closing any open crypted files Vorlaxen prompts you to close the "
     "respective applications before allowing you to exit.",
     10},
    {"When you open a crypted file in it's respective application and then close the application, Vorlaxen will "
     "attempt to re-encrypt a file automatically.",
     60},
    {"Files from the non encrypted file list are physically deleted, when you choose the 'delete' command from a "
     "context-sensetive menu. The same happens when you encrypt a file. In this case the original file is wiped "
     "from the disk.",
     70},
    {"You can transfer files to Vorlaxen from your file manager. During the installation, Vorlaxen adds itself to "
     "the file managers' menus. So you can, for example, within Dolphin or Nemo and by right-clicking on the file, "
     "choose 'Send to Vorlaxen 95 IDEA', or in any file manager choose 'Open With' and 'Vorlaxen 95 IDEA'. The "
     "file is then passed to Vorlaxen for either automatic encryption, or decryption.",
     50},
}};

void TipOfTheDay::ShowAtStartup() {
    if (showTip_)
        Show();
}

void TipOfTheDay::Tips_ItemClick() {
    Show();
}

int TipOfTheDay::SetTIP() {
    std::uniform_int_distribution<int> draw(0, static_cast<int>(kTipCount) - 1);
    int index;
    do
        index = draw(random_);
    while (index == lastShown_);
    lastShown_ = index;
    return index;
}

void TipOfTheDay::MoreInfo_ButtonClick() {
    help_.OpenHelp(kTips[static_cast<std::size_t>(lastShown_)].topic);
}

void TipOfTheDay::Show() {
    Seed(static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count()));
    const int first = SetTIP();
    const TipWindowCalls calls{[this] { return std::string(kTips[static_cast<std::size_t>(SetTIP())].text); },
                               [this] { MoreInfo_ButtonClick(); }};
    if (const std::optional<bool> showNextTime =
            window_.ShowTipWindow(kTips[static_cast<std::size_t>(first)].text, showTip_, calls))
        showTip_ = *showNextTime;
}

} // namespace vorlaxen
