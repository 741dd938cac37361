#include "desktop/PreferencesLogic.h"

#include "desktop/PreferencesForm.h"
#include "engine/Messages.h"
#include "platform/FileSystem.h"

#include <fcntl.h>
#include <unistd.h>

namespace vorlaxen {

namespace {

// The process's current directory, taken when it is made and made current again by Restore. It is held
// open, so it comes back even if the file dialog moved the process elsewhere and the directory was
// renamed meanwhile.
class RememberedDirectory {
public:
    RememberedDirectory()
        : directory_(::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC)) {}
    void Restore() {
        if (directory_)
            (void)!::fchdir(directory_.get());
    }

private:
    UniqueFd directory_;
};

} // namespace

PreferencesLogic::PreferencesLogic(ProgramObjects& objects, ProgramOptions options, const PreferencesPorts& ports)
    : pwd_(objects.pwd())
    , master_(objects.pwdTable().MasterPass)
    , state_(objects.prgState())
    , options_(options)
    , ports_(ports) {}

void PreferencesLogic::ShowPreferences() {
    // A running operation relies on what the dialog changes: its work list holds names in the ".cry"
    // display it started with, it may be using the key file and the held password. The settings change
    // between operations only, like the start of any other command.
    if (state_.IsBusy()) {
        ports_.status.ShowStatus(kPleaseWait);
        return;
    }
    RememberedDirectory remembered;
    Fill();
    const bool ok = ports_.dialog.ShowPreferencesDialog(controls_, master_.KeyFilePath);
    // Back in the panes' directory before anything is applied: a changed ".cry" display reads it again.
    remembered.Restore();
    if (ok)
        Apply();
}

void PreferencesLogic::Fill() {
    PreferencesForm form(controls_);
    controls_.showCry = options_.showCry;
    controls_.showTip = options_.showTip;
    // The check boxes run their handler as they are set: with both options on, the session wins and
    // "One password for a file list" ends unchecked and hidden.
    form.setOnePwd(pwd_.SessionMode);
    form.setOnePerList(options_.onePerList);
    controls_.expTime = PreferencesForm::ClampMinutes(pwd_.ExpiryMinutes);
    // A method no radio button stands for leaves them as they were.
    if (const MethodInfo* method = MethodOfSetting(options_.method))
        controls_.method = method->code;
    form.setStore(master_.UseKeyFile);
    form.setMasterPwdExpires(master_.ExpiryOn);
    controls_.masterPwdExpTime = PreferencesForm::ClampMinutes(master_.ExpiryMinutes);
    // This takes effect even if the dialog is cancelled.
    if (master_.KeyFilePath.empty())
        master_.KeyFilePath = DefaultKeyFilePath();
    controls_.path = master_.KeyFilePath;
}

void PreferencesLogic::Apply() {
    if (controls_.showCry != options_.showCry) {
        options_.showCry = controls_.showCry;
        ports_.panes.ReadFLists();
    }
    options_.showTip = controls_.showTip;

    pwd_.SessionMode = controls_.onePwd;
    pwd_.ExpiryMinutes = controls_.expTime;
    options_.onePerList = controls_.onePerList;

    ApplyMethod();

    // The master password held so far unlocks the key file as it was set: any change of the key file's
    // settings makes it expire now, as the tool button "Make master password expire now!" does.
    if (controls_.store != master_.UseKeyFile || controls_.path != master_.KeyFilePath ||
        controls_.masterPwdExpires != master_.ExpiryOn || controls_.masterPwdExpTime != master_.ExpiryMinutes)
        ports_.master.SetMasterPwdExpired();
    master_.UseKeyFile = controls_.store;
    master_.KeyFilePath = controls_.path.empty() ? DefaultKeyFilePath() : controls_.path;
    master_.ExpiryOn = controls_.masterPwdExpires;
    master_.ExpiryMinutes = controls_.masterPwdExpTime;

    // The file password held so far is dropped: the next operation asks for one under the new settings.
    // Nothing reads it before a new one is given, so its bytes go now, and with it its timer and button.
    pwd_.Valid = false;
    pwd_.ClearPassword();
    ports_.expiry.EnablePwdTimer(false);
    ports_.expiry.EnablePwdExpireButton(false);
}

// A method change goes through the method buttons' operations, which give the notice and expire the held
// session password. A "Method" outside 1, 3 and 4 (a hand-edited or unreadable setting) has no button
// down: the radio button the dialog showed checked is what "Ok" confirms, and becomes the method.
void PreferencesLogic::ApplyMethod() {
    if (const MethodInfo* shown = MethodOfSetting(options_.method); shown && shown->code == controls_.method)
        return;
    switch (controls_.method) {
    case CipherMethod::Des:
        ports_.methods.SetDES();
        break;
    case CipherMethod::Idea:
        ports_.methods.SetIDEA();
        break;
    case CipherMethod::TripleDes:
        ports_.methods.SetTripleDES();
        break;
    case CipherMethod::DesUnchained:
    case CipherMethod::DesTyped:
        break;
    }
}

} // namespace vorlaxen
