#include "ui/PasswordDialog.h"

#include "engine/Messages.h"

#include <QCheckBox>
#include <QEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace vorlaxen {

namespace {

constexpr const char* kCaseNote = "Note: case of characters is meaningful";

constexpr int kResultAbort = 2; // QDialog::Rejected is 0, Accepted 1

QLineEdit* PasswordBox(QWidget* parent, const char* name) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setEchoMode(QLineEdit::Password);
    box->setStyleSheet("lineedit-password-character: 42;"); // "*"
    box->setMinimumWidth(200);
    return box;
}

} // namespace

PasswordDialog::PasswordDialog(const QString& objectName, const QString& caption, bool twoBoxes, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName(objectName);
    setWindowTitle(caption);
    setModal(true);
    grid_ = new QGridLayout(this);
    Enter_Label = new QLabel(this);
    Enter_Label->setObjectName("Enter_Label");
    MaskEdit1 = PasswordBox(this, "MaskEdit1");
    Enter_Label->setBuddy(MaskEdit1);
    if (twoBoxes)
        MaskEdit2 = PasswordBox(this, "MaskEdit2");
    submitsOnClick_ = twoBoxes ? MaskEdit2 : MaskEdit1;
    submitsOnClick_->installEventFilter(this);
    Submit_Button = new QPushButton("Submit", this);
    Submit_Button->setObjectName("Submit_Button");
    Submit_Button->setDefault(true);
    // Enter in a box presses the default button with the focus still in the box: in the first of two
    // boxes that moves on to the second. A click on the button takes the focus, so the checks run.
    connect(Submit_Button, &QPushButton::clicked, this, [this] { SubmitPressed(MaskEdit1->hasFocus()); });
}

// The label of the second box, linked to it.
QLabel* PasswordDialog::ReenterLabel() {
    auto* label = new QLabel(kReenterForVerification, this);
    label->setBuddy(MaskEdit2);
    return label;
}

int PasswordDialog::Run(const SubmitCheck& submit) {
    submit_ = &submit;
    const int result = exec();
    submit_ = nullptr;
    return result;
}

void PasswordDialog::SubmitPressed(bool firstBoxHasFocus) {
    if (!submit_)
        return;
    SecureBytes first = TakeFirstBox();
    SecureBytes second;
    if (MaskEdit2) {
        const QByteArray text = MaskEdit2->text().toUtf8();
        second.assign(text.begin(), text.end());
    }
    switch ((*submit_)(firstBoxHasFocus && MaskEdit2 != nullptr, first, second)) {
    case SubmitAction::MoveToSecondBox:
        if (MaskEdit2)
            MaskEdit2->setFocus();
        break;
    case SubmitAction::StayOpen:
        break;
    case SubmitAction::Close:
        done(QDialog::Accepted);
        break;
    }
}

SecureBytes PasswordDialog::TakeFirstBox() const {
    QByteArray text = MaskEdit1->text().toUtf8();
    SecureBytes bytes(text.begin(), text.end());
    text.fill('\0');
    return bytes;
}

void PasswordDialog::WipeBoxes() {
    for (QLineEdit* box : {MaskEdit1, MaskEdit2}) {
        if (!box)
            continue;
        box->setText(QString(box->text().size(), QChar('\0')));
        box->selectAll();
        box->del();
        box->clear();
    }
}

// The size is taken anew at every showing (the file name changes) and then fixed: the dialog has a fixed
// border, which the user cannot resize or maximise.
void PasswordDialog::SizeToContents() {
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    adjustSize();
    const int width = MaskEdit1->geometry().right() + 60;
    const int height = Submit_Button->geometry().bottom() + 35;
    setFixedSize(std::max(width, sizeHint().width()), std::max(height, sizeHint().height()));
}

void PasswordDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    WipeBoxes();
    SizeToContents();
    MaskEdit1->setFocus();
}

bool PasswordDialog::eventFilter(QObject* watched, QEvent* event) {
    // A click into the box that submits runs "Submit" at once; the box then has the focus.
    if (watched == submitsOnClick_ && event->type() == QEvent::MouseButtonPress) {
        submitsOnClick_->setFocus();
        SubmitPressed(false);
        return false;
    }
    return QDialog::eventFilter(watched, event);
}

// --- TEncrypt and TDecrypt -------------------------------------------------------------------------

PasswordPrompt::PasswordPrompt(Kind kind, QWidget* parent)
    : PasswordDialog(kind == Kind::Encrypt ? "Encrypt" : "Decrypt",
                     kind == Kind::Encrypt ? "Encryption procedure" : "Decryption procedure",
                     kind == Kind::Encrypt,
                     parent)
    , kind_(kind) {
    const bool encrypting = kind == Kind::Encrypt;
    auto* intro = new QLabel(
        encrypting ? "Please assign a password for the file" : "Please enter a valid password for the file", this);
    FName_Label = new QLabel(this);
    FName_Label->setObjectName("FName_Label");
    QFont bold = FName_Label->font();
    bold.setBold(true);
    FName_Label->setFont(bold);
    auto* methodCaption = new QLabel(encrypting ? "Encryption method:" : "Encrypted by: ", this);
    Method_Label = new QLabel(this);
    Method_Label->setObjectName("Method_Label");
    auto* note = new QLabel(kCaseNote, this);
    OnePwdList_CheckBox = new QCheckBox("One password for a file list", this);
    OnePwdList_CheckBox->setObjectName("OnePwdList_CheckBox");
    Cancel_Button = new QPushButton("Cancel", this);
    Cancel_Button->setObjectName("Cancel_Button");
    CancelAll = new QPushButton("Cancel All", this);
    CancelAll->setObjectName("CancelAll");

    int row = 0;
    grid_->addWidget(intro, row++, 0, 1, 2);
    grid_->addWidget(FName_Label, row++, 0, 1, 2);
    grid_->addWidget(methodCaption, row, 0);
    grid_->addWidget(Method_Label, row++, 1);
    grid_->addWidget(note, row++, 0, 1, 2);
    grid_->addWidget(Enter_Label, row++, 0, 1, 2);
    grid_->addWidget(MaskEdit1, row++, 0, 1, 2);
    if (encrypting) {
        grid_->addWidget(ReenterLabel(), row++, 0, 1, 2);
        grid_->addWidget(MaskEdit2, row++, 0, 1, 2);
    }
    grid_->addWidget(OnePwdList_CheckBox, row++, 0, 1, 2);
    if (encrypting) {
        SavePwd_CheckBox = new QCheckBox("Save password on disk", this);
        SavePwd_CheckBox->setObjectName("SavePwd_CheckBox");
        grid_->addWidget(SavePwd_CheckBox, row++, 0, 1, 2);
    }
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Submit_Button);
    buttons->addWidget(Cancel_Button);
    buttons->addWidget(CancelAll);
    grid_->addLayout(buttons, row++, 0, 1, 2);

    connect(Cancel_Button, &QPushButton::clicked, this, [this] { done(QDialog::Rejected); });
    connect(CancelAll, &QPushButton::clicked, this, [this] { done(kResultAbort); });
    // A click on a check box hands the focus back to the password box.
    for (QCheckBox* box : {OnePwdList_CheckBox, SavePwd_CheckBox})
        if (box)
            connect(box, &QCheckBox::clicked, MaskEdit1, [this] { MaskEdit1->setFocus(); });
}

PromptAnswer PasswordPrompt::Ask(const PromptSetup& setup, const SubmitCheck& submit) {
    const QString directory = QString::fromStdString(setup.fileDirectory);
    const QString name = QString::fromStdString(setup.fileName);
    // A long directory is shortened from the left; the file's name always shows whole.
    const QString dir = FName_Label->fontMetrics().elidedText(directory, Qt::ElideLeft, 360);
    FName_Label->setText(dir.isEmpty() ? name : (dir.endsWith('/') ? dir : dir + '/') + name);
    Method_Label->setText(QString::fromStdString(setup.methodName));
    Enter_Label->setText(QString::fromStdString(setup.enterLabel));
    OnePwdList_CheckBox->setEnabled(setup.onePwdListEnabled);
    OnePwdList_CheckBox->setChecked(setup.onePwdListChecked);
    if (SavePwd_CheckBox) {
        SavePwd_CheckBox->setEnabled(setup.savePwdEnabled);
        SavePwd_CheckBox->setChecked(setup.savePwdChecked);
    }
    CancelAll->setVisible(setup.cancelAllVisible);

    PromptAnswer answer;
    const int result = Run(submit);
    answer.result = result == QDialog::Accepted ? DialogResult::Ok
                    : result == kResultAbort    ? DialogResult::Abort
                                                : DialogResult::Cancel;
    if (answer.result == DialogResult::Ok)
        answer.password = TakeFirstBox();
    answer.onePwdList = OnePwdList_CheckBox->isChecked();
    answer.savePwd = SavePwd_CheckBox && SavePwd_CheckBox->isChecked();
    WipeBoxes();
    return answer;
}

// --- TMasterPwd_Form ---------------------------------------------------------------------------------

TMasterPwd_Form::TMasterPwd_Form(QWidget* parent)
    : PasswordDialog("MasterPwd_Form", "The Master password", true, parent) {
    auto* intro = new QLabel(kMasterPasswordIntro, this);
    intro->setWordWrap(true);
    auto* note = new QLabel(kCaseNote, this);
    Enter_Label->setText(kEnterMasterPassword);
    SubmitLater_Button = new QPushButton("Do not use now", this);
    SubmitLater_Button->setObjectName("SubmitLater_Button");
    NotUse_Button = new QPushButton("Do not use at all", this);
    NotUse_Button->setObjectName("NotUse_Button");

    int row = 0;
    grid_->addWidget(intro, row++, 0);
    grid_->addWidget(note, row++, 0);
    grid_->addWidget(Enter_Label, row++, 0);
    grid_->addWidget(MaskEdit1, row++, 0);
    grid_->addWidget(ReenterLabel(), row++, 0);
    grid_->addWidget(MaskEdit2, row++, 0);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Submit_Button);
    buttons->addWidget(SubmitLater_Button);
    buttons->addWidget(NotUse_Button);
    grid_->addLayout(buttons, row++, 0);

    connect(SubmitLater_Button, &QPushButton::clicked, this, [this] { done(QDialog::Rejected); });
    connect(NotUse_Button, &QPushButton::clicked, this, [this] {
        if (notUseAtAll_ && *notUseAtAll_)
            (*notUseAtAll_)();
        done(QDialog::Rejected);
    });
}

DialogResult TMasterPwd_Form::Ask(const SubmitCheck& submit, const std::function<void()>& notUseAtAll) {
    notUseAtAll_ = &notUseAtAll;
    const int result = Run(submit);
    notUseAtAll_ = nullptr;
    WipeBoxes();
    return result == QDialog::Accepted ? DialogResult::Ok : DialogResult::Cancel;
}

} // namespace vorlaxen
