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

// The UTF-8 bytes of a box's text, made straight into secret memory (toUtf8() would leave a copy on the
// heap); a lone surrogate gives "?", as toUtf8() makes it.
SecureBytes Utf8Of(const QString& text) {
    SecureBytes bytes;
    const auto n = static_cast<std::size_t>(text.size());
    bytes.reserve(3 * n);
    const auto* units = reinterpret_cast<const char16_t*>(text.constData());
    auto surrogate = [](char32_t c, char32_t first) { return c >= first && c < first + 0x400; };
    for (std::size_t i = 0; i < n; ++i) {
        char32_t c = units[i];
        if (surrogate(c, 0xD800) && i + 1 < n && surrogate(units[i + 1], 0xDC00))
            c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
        else if (c >= 0xD800 && c < 0xE000)
            c = '?';
        if (c < 0x80) {
            bytes.push_back(static_cast<std::uint8_t>(c));
            continue;
        }
        const int tail = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
        bytes.push_back(static_cast<std::uint8_t>(((0xFF00u >> (tail + 1)) & 0xFF) | (c >> (6 * tail))));
        for (int k = tail - 1; k >= 0; --k)
            bytes.push_back(static_cast<std::uint8_t>(0x80 | ((c >> (6 * k)) & 0x3F)));
    }
    return bytes;
}

// Overwrites the text where the box itself keeps it, with the spare room of its string: setText() would
// only drop that storage, text and all, into freed memory. Through a copy, which shares the storage.
void OverwriteKeptText(const QLineEdit* box) {
    QString kept = box->text();
    QString::DataPointer& storage = kept.data_ptr();
    if (!storage.d_ptr() || !storage.data())
        return; // no storage of its own (empty, or a constant text)
    char16_t* start = storage.data() - storage.freeSpaceAtBegin();
    const auto units = static_cast<std::size_t>(storage.freeSpaceAtBegin() + storage.size + storage.freeSpaceAtEnd());
    SecureZero(start, units * sizeof(char16_t));
}

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
    TrackHistory(MaskEdit1, history1_);
    if (MaskEdit2)
        TrackHistory(MaskEdit2, history2_);
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
    const SecureBytes first = TakeFirstBox();
    const SecureBytes second = MaskEdit2 ? Utf8Of(MaskEdit2->text()) : SecureBytes();
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
    return Utf8Of(MaskEdit1->text());
}

void PasswordDialog::TrackHistory(QLineEdit* box, BoxHistory& history) {
    connect(box, &QLineEdit::textChanged, this, [this, &history](const QString& text) {
        if (wiping_)
            return;
        // One change records at most what it removed and what it inserted, a selection and a separator.
        const qsizetype length = text.size();
        history.bound += history.length + length + 3;
        history.length = length;
    });
}

void PasswordDialog::WipeBoxes() {
    wiping_ = true;
    for (auto [box, history] : {std::pair(MaskEdit1, &history1_), std::pair(MaskEdit2, &history2_)}) {
        if (!box)
            continue;
        OverwriteKeptText(box);
        // The undo history keeps every character typed or deleted, and setText() empties it without
        // overwriting its storage: as many harmless steps as it can hold go over it, and the same way.
        box->setText(QString());
        for (qsizetype left = history->bound; left > 0;) {
            const qsizetype stars = std::min<qsizetype>(left, box->maxLength());
            box->insert(QString(stars, QChar(u'*')));
            left -= stars;
            if (left > 0) {
                box->selectAll();
                box->del();
                left -= stars;
            }
        }
        box->setText(QString());
        *history = BoxHistory();
    }
    wiping_ = false;
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
    // A file's name is shown as written, never taken as markup ("<h1>..." is a valid name).
    FName_Label->setTextFormat(Qt::PlainText);
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
