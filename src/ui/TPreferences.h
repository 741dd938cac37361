#pragma once

#include "desktop/PreferencesForm.h"
#include "ports/PreferencesDialog.h"

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace vorlaxen {

// "Preferences": the controls of PreferencesControls in the groups "Security", "Encrypt with",
// "External passwords store" and "Other", with "Ok" (default) and "Cancel" (Escape). Every click runs the
// rules of PreferencesForm and shows their outcome; the dialog itself decides nothing. F1 asks for its
// help topic (helpRequested). It is centred on the screen and, on activation, ends 35 pixels below "Ok";
// rows that the rules hide keep their room, so the dialog never changes its size while it is open.
class TPreferences : public QDialog {
    Q_OBJECT

public:
    explicit TPreferences(QWidget* parent);

    // Shows the controls modally; on "Ok" `controls` takes what the dialog shows and the answer is true.
    bool Ask(PreferencesControls& controls, const std::string& keyFilePath);

signals:
    void helpRequested();

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QWidget* CreateSecurity();
    QWidget* CreateMethods();
    QWidget* CreateStore();
    QWidget* CreateOther();
    // Runs a handler on what the controls show now, then shows its outcome.
    void Handle(void (PreferencesForm::*handler)());
    void Show();
    void Take();
    void BrowseClick();

    PreferencesControls controls_;
    std::string keyFilePath_;

    QCheckBox* OnePwd_CheckBox = nullptr;
    QWidget* Panel1 = nullptr;
    QSpinBox* ExpTime_SpinEdit = nullptr;
    QPushButton* Never_Button = nullptr;
    QCheckBox* OnePerList_CheckBox = nullptr;
    QRadioButton* DES_RadioButton = nullptr;
    QRadioButton* IDEA_RadioButton = nullptr;
    QRadioButton* TDES_RadioButton = nullptr;
    QCheckBox* Store_CheckBox = nullptr;
    QWidget* StorePanel = nullptr;
    QLineEdit* Path_Edit = nullptr;
    QPushButton* Browse = nullptr;
    QCheckBox* MasterPwdExpires_CheckBox = nullptr;
    QWidget* Panel3 = nullptr;
    QSpinBox* MasterPwdExpTime_SpinEdit = nullptr;
    QPushButton* Button1 = nullptr;
    QCheckBox* ShowCry_CheckBox = nullptr;
    QCheckBox* ShowTIP_CheckBox = nullptr;
    QPushButton* Ok_Button = nullptr;
    QPushButton* Button2 = nullptr;
};

} // namespace vorlaxen
