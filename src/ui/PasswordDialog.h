#pragma once

#include "ports/MasterPwdDialog.h"
#include "ports/PromptDialogs.h"

#include <QDialog>

class QCheckBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vorlaxen {

// What the three password dialogs share: password boxes that show "*" for every character and whose
// text never outlives the dialog's answer, "Submit" as the default button run for Enter and for a click
// into the box that submits, and the logic's answer to "Submit" (move on to the second box, stay open
// with a message, or close). No title-bar buttons: they close through their own buttons (Escape being
// the cancel button).
class PasswordDialog : public QDialog {
    Q_OBJECT

public:
    QLineEdit* box1() const { return MaskEdit1; }
    QLineEdit* box2() const { return MaskEdit2; }
    QPushButton* submitButton() const { return Submit_Button; }

protected:
    PasswordDialog(const QString& objectName, const QString& caption, bool twoBoxes, QWidget* parent);

    // Runs the dialog until a button closes it. `submit` decides about "Submit".
    int Run(const SubmitCheck& submit);
    // The first box's text as UTF-8, for the answer.
    SecureBytes TakeFirstBox() const;
    // Empties both boxes, overwriting their text and their undo history first.
    void WipeBoxes();
    // The width from the first box and the height from "Submit", as the dialog sizes itself.
    void SizeToContents();
    QLabel* ReenterLabel();

    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

    QGridLayout* grid_ = nullptr;
    QLabel* Enter_Label = nullptr;
    QLineEdit* MaskEdit1 = nullptr;
    QLineEdit* MaskEdit2 = nullptr;
    QPushButton* Submit_Button = nullptr;
    // The box whose click runs "Submit": the second when there are two, else the first.
    QLineEdit* submitsOnClick_ = nullptr;

private:
    // How many undo steps a box may have recorded since it was last wiped, at most.
    struct BoxHistory {
        qsizetype length = 0;
        qsizetype bound = 0;
    };

    void SubmitPressed(bool firstBoxHasFocus);
    void TrackHistory(QLineEdit* box, BoxHistory& history);

    const SubmitCheck* submit_ = nullptr;
    BoxHistory history1_;
    BoxHistory history2_;
    bool wiping_ = false;
};

// TEncrypt ("Encryption procedure") and TDecrypt ("Decryption procedure").
class PasswordPrompt : public PasswordDialog {
    Q_OBJECT

public:
    enum class Kind { Encrypt, Decrypt };
    PasswordPrompt(Kind kind, QWidget* parent);

    PromptAnswer Ask(const PromptSetup& setup, const SubmitCheck& submit);

private:
    Kind kind_;
    QLabel* FName_Label = nullptr;
    QLabel* Method_Label = nullptr;
    QCheckBox* OnePwdList_CheckBox = nullptr;
    QCheckBox* SavePwd_CheckBox = nullptr;
    QPushButton* Cancel_Button = nullptr;
    QPushButton* CancelAll = nullptr;
};

// TMasterPwd_Form ("The Master password").
class TMasterPwd_Form : public PasswordDialog {
    Q_OBJECT

public:
    explicit TMasterPwd_Form(QWidget* parent);

    DialogResult Ask(const SubmitCheck& submit, const std::function<void()>& notUseAtAll);

private:
    QPushButton* SubmitLater_Button = nullptr;
    QPushButton* NotUse_Button = nullptr;
    const std::function<void()>* notUseAtAll_ = nullptr;
};

} // namespace vorlaxen
