#include "ui/TPreferences.h"

#include "ui/EntryIconProvider.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSpinBox>
#include <QVBoxLayout>

namespace vorlaxen {

namespace {

QCheckBox* CheckBox(QWidget* parent, const char* name, const QString& caption) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    return box;
}

// A spin edit of minutes: a text that is not a number, left as it is, reads as 0 (never expires).
class MinutesSpinEdit : public QSpinBox {
public:
    using QSpinBox::QSpinBox;

    void fixup(QString& input) const override {
        input = QString::number(PreferencesForm::SpinValue(input.toStdString()));
    }
};

// A row that the rules hide keeps its room, so that nothing below it moves.
void KeepRoomWhenHidden(QWidget* widget) {
    QSizePolicy policy = widget->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    widget->setSizePolicy(policy);
}

// "expires in" [spin edit, 0 to 600] "minutes" ["Never expires"], for the password `what` names. The
// two rows look alike; screen readers tell them apart by that name.
QWidget* ExpiryRow(QWidget* parent,
                   const char* name,
                   const QString& what,
                   QSpinBox*& spin,
                   const char* spinName,
                   QPushButton*& never,
                   const char* neverName) {
    auto* row = new QWidget(parent);
    row->setObjectName(name);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(20, 0, 0, 0);
    auto* label = new QLabel("expires in", row);
    layout->addWidget(label);
    spin = new MinutesSpinEdit(row);
    spin->setObjectName(spinName);
    spin->setRange(0, PreferencesForm::kMaxMinutes);
    spin->setAccessibleName(what + " expires in minutes");
    label->setBuddy(spin);
    layout->addWidget(spin);
    layout->addWidget(new QLabel("minutes", row));
    never = new QPushButton("Never expires", row);
    never->setObjectName(neverName);
    never->setAccessibleName("Never expires: " + what.toLower());
    never->setAutoDefault(false);
    layout->addWidget(never);
    layout->addStretch(1);
    KeepRoomWhenHidden(row);
    return row;
}

void Reveal(QWidget* widget, bool shown) {
    widget->setVisible(shown);
    widget->setEnabled(shown);
}

} // namespace

TPreferences::TPreferences(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName("Preferences");
    setWindowTitle("Preferences");
    setModal(true);

    auto* column = new QVBoxLayout(this);
    auto* groups = new QGridLayout;
    groups->addWidget(CreateSecurity(), 0, 0);
    groups->addWidget(CreateMethods(), 0, 1);
    groups->addWidget(CreateStore(), 1, 0, 1, 2);
    groups->addWidget(CreateOther(), 2, 0, 1, 2);
    column->addLayout(groups);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    Ok_Button = new QPushButton("Ok", this);
    Ok_Button->setObjectName("Ok_Button");
    Ok_Button->setDefault(true);
    Button2 = new QPushButton("Cancel", this);
    Button2->setObjectName("Button2");
    Button2->setAutoDefault(false);
    buttons->addWidget(Ok_Button);
    buttons->addWidget(Button2);
    column->addLayout(buttons);
    // The room below "Ok" that the height rule adds.
    column->addStretch(1);
    connect(Ok_Button, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

QWidget* TPreferences::CreateSecurity() {
    auto* group = new QGroupBox("Security", this);
    group->setObjectName("Security_GroupBox");
    auto* layout = new QGridLayout(group);
    OnePwd_CheckBox = CheckBox(group, "OnePwd_CheckBox", "One &password for a session");
    layout->addWidget(OnePwd_CheckBox, 0, 0);
    // The expiry row and "One password for a file &list" share one place; one of them is shown.
    Panel1 = ExpiryRow(
        group, "Panel1", "Session password", ExpTime_SpinEdit, "ExpTime_SpinEdit", Never_Button, "Never_Button");
    OnePerList_CheckBox = CheckBox(group, "OnePerList_CheckBox", "One password for a file &list");
    KeepRoomWhenHidden(OnePerList_CheckBox);
    layout->addWidget(Panel1, 1, 0);
    layout->addWidget(OnePerList_CheckBox, 1, 0);
    layout->setRowStretch(2, 1);
    connect(OnePwd_CheckBox, &QCheckBox::clicked, this, [this] { Handle(&PreferencesForm::OnePwd_CheckBoxClick); });
    connect(OnePerList_CheckBox, &QCheckBox::clicked, this, [this] { Handle(&PreferencesForm::OnePwd_CheckBoxClick); });
    connect(Never_Button, &QPushButton::clicked, this, [this] { Handle(&PreferencesForm::Never_ButtonClick); });
    return group;
}

QWidget* TPreferences::CreateMethods() {
    auto* group = new QGroupBox("Encrypt with", this);
    group->setObjectName("Method_GroupBox");
    auto* layout = new QVBoxLayout(group);
    auto radio = [group, layout](const char* name, const char* caption) {
        auto* button = new QRadioButton(caption, group);
        button->setObjectName(name);
        layout->addWidget(button);
        return button;
    };
    DES_RadioButton = radio("DES_RadioButton", "DES");
    IDEA_RadioButton = radio("IDEA_RadioButton", "IDEA");
    TDES_RadioButton = radio("TDES_RadioButton", "Triple DES");
    IDEA_RadioButton->setChecked(true);
    layout->addStretch(1);
    return group;
}

QWidget* TPreferences::CreateStore() {
    auto* group = new QGroupBox("External passwords store", this);
    group->setObjectName("Store_GroupBox");
    auto* layout = new QVBoxLayout(group);
    Store_CheckBox = CheckBox(group, "Store_CheckBox", "&Store passwords on disk");
    layout->addWidget(Store_CheckBox);

    StorePanel = new QWidget(group);
    StorePanel->setObjectName("StorePanel");
    KeepRoomWhenHidden(StorePanel);
    auto* panel = new QGridLayout(StorePanel);
    panel->setContentsMargins(20, 0, 0, 0);
    auto* pathLabel = new QLabel("Path to key file:", StorePanel);
    Path_Edit = new QLineEdit(StorePanel);
    Path_Edit->setObjectName("Path_Edit");
    Path_Edit->setMinimumWidth(280);
    pathLabel->setBuddy(Path_Edit);
    Browse = new QPushButton("Set path...", StorePanel);
    Browse->setObjectName("Browse");
    Browse->setAutoDefault(false);
    panel->addWidget(pathLabel, 0, 0, 1, 2);
    panel->addWidget(Path_Edit, 1, 0);
    panel->addWidget(Browse, 1, 1);
    MasterPwdExpires_CheckBox = CheckBox(StorePanel, "MasterPwdExpires_CheckBox", "One &master password for a session");
    panel->addWidget(MasterPwdExpires_CheckBox, 2, 0, 1, 2);
    Panel3 = ExpiryRow(StorePanel,
                       "Panel3",
                       "Master password",
                       MasterPwdExpTime_SpinEdit,
                       "MasterPwdExpTime_SpinEdit",
                       Button1,
                       "Button1");
    panel->addWidget(Panel3, 3, 0, 1, 2);
    layout->addWidget(StorePanel);

    connect(Store_CheckBox, &QCheckBox::clicked, this, [this] { Handle(nullptr); });
    connect(MasterPwdExpires_CheckBox, &QCheckBox::clicked, this, [this] { Handle(nullptr); });
    connect(Button1, &QPushButton::clicked, this, [this] { Handle(&PreferencesForm::Button1Click); });
    connect(Browse, &QPushButton::clicked, this, &TPreferences::BrowseClick);
    return group;
}

QWidget* TPreferences::CreateOther() {
    auto* group = new QGroupBox("Other", this);
    group->setObjectName("Other_GroupBox");
    auto* layout = new QVBoxLayout(group);
    ShowCry_CheckBox = CheckBox(group, "ShowCry_CheckBox", "Show \".&cry\" extensions for crypted files");
    ShowTIP_CheckBox = CheckBox(group, "ShowTIP_CheckBox", "Show &Tip window starting Vorlaxen");
    layout->addWidget(ShowCry_CheckBox);
    layout->addWidget(ShowTIP_CheckBox);
    return group;
}

bool TPreferences::Ask(PreferencesControls& controls, const std::string& keyFilePath) {
    controls_ = controls;
    keyFilePath_ = keyFilePath;
    Show();
    if (exec() != QDialog::Accepted)
        return false;
    Take();
    controls = controls_;
    return true;
}

// What the controls show now, into controls_. A spin edit's text that is not a number counts as 0.
void TPreferences::Take() {
    PreferencesControls& c = controls_;
    c.onePwd = OnePwd_CheckBox->isChecked();
    c.expTime = PreferencesForm::SpinValue(ExpTime_SpinEdit->cleanText().toStdString());
    c.onePerList = OnePerList_CheckBox->isChecked();
    c.method = DES_RadioButton->isChecked()    ? CipherMethod::Des
               : TDES_RadioButton->isChecked() ? CipherMethod::TripleDes
                                               : CipherMethod::Idea;
    c.store = Store_CheckBox->isChecked();
    c.path = Path_Edit->text().toStdString();
    c.masterPwdExpires = MasterPwdExpires_CheckBox->isChecked();
    c.masterPwdExpTime = PreferencesForm::SpinValue(MasterPwdExpTime_SpinEdit->cleanText().toStdString());
    c.showCry = ShowCry_CheckBox->isChecked();
    c.showTip = ShowTIP_CheckBox->isChecked();
}

void TPreferences::Show() {
    const PreferencesControls& c = controls_;
    OnePwd_CheckBox->setChecked(c.onePwd);
    Reveal(Panel1, c.panel1Shown);
    ExpTime_SpinEdit->setValue(c.expTime);
    OnePerList_CheckBox->setChecked(c.onePerList);
    Reveal(OnePerList_CheckBox, c.onePerListShown);
    DES_RadioButton->setChecked(c.method == CipherMethod::Des);
    IDEA_RadioButton->setChecked(c.method == CipherMethod::Idea);
    TDES_RadioButton->setChecked(c.method == CipherMethod::TripleDes);
    Store_CheckBox->setChecked(c.store);
    Reveal(StorePanel, c.storePanelShown);
    if (Path_Edit->text().toStdString() != c.path)
        Path_Edit->setText(QString::fromStdString(c.path));
    MasterPwdExpires_CheckBox->setChecked(c.masterPwdExpires);
    Reveal(Panel3, c.panel3Shown);
    MasterPwdExpTime_SpinEdit->setValue(c.masterPwdExpTime);
    ShowCry_CheckBox->setChecked(c.showCry);
    ShowTIP_CheckBox->setChecked(c.showTip);
}

void TPreferences::Handle(void (PreferencesForm::*handler)()) {
    Take();
    PreferencesForm form(controls_);
    // The store's check boxes show and hide their rows as they are set.
    form.setStore(controls_.store);
    form.setMasterPwdExpires(controls_.masterPwdExpires);
    if (handler)
        (form.*handler)();
    Show();
}

// The platform's save dialog, preset to the key file; a confirmed file's full name goes into Path_Edit
// and counts only through "Ok". The dialog exists only while it is shown: a file dialog reads and
// watches the directory it shows for as long as it exists, and examines every file there again at
// every change, which the window's own runs in that directory would pay for.
void TPreferences::BrowseClick() {
    QFileDialog SaveDialog1(this);
    SaveDialog1.setObjectName("SaveDialog1");
    SaveDialog1.setIconProvider(&EntryIconProvider::Shared());
    SaveDialog1.setAcceptMode(QFileDialog::AcceptSave);
    SaveDialog1.setFileMode(QFileDialog::AnyFile);
    SaveDialog1.setDefaultSuffix("key");
    // The key file is chosen, not written: an existing one is what the user usually means.
    SaveDialog1.setOption(QFileDialog::DontConfirmOverwrite);
    SaveDialog1.selectFile(QString::fromStdString(keyFilePath_));
    if (SaveDialog1.exec() != QDialog::Accepted || SaveDialog1.selectedFiles().isEmpty())
        return;
    Path_Edit->setText(SaveDialog1.selectedFiles().first());
}

void TPreferences::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_F1) {
        emit helpRequested();
        return;
    }
    QDialog::keyPressEvent(event);
}

// Centred on the screen; the height reaches 35 pixels below "Ok".
void TPreferences::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    adjustSize();
    layout()->activate();
    const int okBottom = Ok_Button->mapTo(this, QPoint(0, Ok_Button->height())).y();
    setFixedSize(width(), PreferencesForm::FormHeight(okBottom));
    if (const QScreen* shown = screen())
        move(shown->availableGeometry().center() - rect().center());
}

} // namespace vorlaxen
