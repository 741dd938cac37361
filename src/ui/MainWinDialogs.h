#pragma once

#include "desktop/AboutBox.h"
#include "desktop/HelpViewer.h"
#include "desktop/PreferencesLogic.h"
#include "desktop/TipOfTheDay.h"
#include "desktop/WindowOperations.h"
#include "ports/AboutWindow.h"
#include "ports/BrowserLauncher.h"
#include "ports/MethodSelection.h"
#include "ports/PreferencesDialog.h"
#include "ports/TipWindow.h"
#include "ports/WindowPorts.h"

namespace vorlaxen {

class TAbout;
class TMainWin;
class TPreferences;
class TTIP_Form;

// The main window's dialogs beyond those of the file operations, with their logic: Preferences, the
// tip of the day, the About box, and the help. It creates the dialogs, hidden, as children of the
// window, and is the port through which the logic shows them, reaches the method buttons and opens the
// help file and the web page in the desktop's browser.
class MainWinDialogs : public PreferencesDialog,
                       public MethodSelection,
                       public TipWindow,
                       public AboutWindow,
                       public BrowserLauncher {
public:
    MainWinDialogs(TMainWin& window, ProgramObjects& objects, WindowOperations& operations, const WindowPorts& ports);
    MainWinDialogs(const MainWinDialogs&) = delete;
    MainWinDialogs& operator=(const MainWinDialogs&) = delete;

    PreferencesLogic& preferences() { return preferences_; }
    TipOfTheDay& tips() { return tips_; }
    AboutBox& about() { return about_; }
    HelpViewer& help() { return help_; }
    TPreferences& preferencesDialog() { return *preferencesDialog_; }

    // Where the help file and the web page go; the desktop's browser unless a test sets another.
    void setBrowser(BrowserLauncher* browser) { browser_ = browser; }

    // PreferencesDialog
    bool ShowPreferencesDialog(PreferencesControls& controls, const std::string& keyFilePath) override;
    // MethodSelection
    void SetDES() override;
    void SetIDEA() override;
    void SetTripleDES() override;
    // TipWindow, AboutWindow
    std::optional<bool> ShowTipWindow(const std::string& tip, bool showNextTime, const TipWindowCalls& calls) override;
    void ShowAboutWindow(const AboutContents& contents, const std::function<void()>& homePageClicked) override;
    // BrowserLauncher
    bool
    OpenDocumentAt(const std::string& path, const std::string& anchor, const std::string& workingDirectory) override;
    bool OpenWebAddress(const std::string& address) override;

private:
    TMainWin& window_;
    BrowserLauncher* browser_ = nullptr;
    TAbout* aboutDialog_;
    TPreferences* preferencesDialog_;
    TTIP_Form* tipForm_;
    HelpViewer help_;
    PreferencesLogic preferences_;
    TipOfTheDay tips_;
    AboutBox about_;
};

} // namespace vorlaxen
