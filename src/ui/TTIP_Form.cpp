#include "ui/TTIP_Form.h"

#include "desktop/TipOfTheDay.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

namespace vorlaxen {

namespace {

constexpr int kWidth = 460;
constexpr int kGroupHeight = 160;
constexpr int kMargin = 8;

} // namespace

TTIP_Form::TTIP_Form(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName("TIP_Form");
    setWindowTitle("Tip of the day");
    setModal(true);

    GroupBox1 = new QGroupBox(this);
    GroupBox1->setObjectName("GroupBox1");
    Image1 = new QLabel(GroupBox1);
    Image1->setObjectName("Image1");
    Image1->setPixmap(QIcon(":/icons/tip.svg").pixmap(32, 32));
    TIP_Memo = new QPlainTextEdit(GroupBox1);
    TIP_Memo->setObjectName("TIP_Memo");
    TIP_Memo->setAccessibleName("Tip");
    TIP_Memo->setFrameShape(QFrame::NoFrame);
    TIP_Memo->viewport()->setAutoFillBackground(false);
    Show_CheckBox = new QCheckBox("Show this window next time Vorlaxen is started", this);
    Show_CheckBox->setObjectName("Show_CheckBox");

    auto button = [this](const char* name, const char* caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        return b;
    };
    OK_Button = button("OK_Button", "OK");
    OK_Button->setDefault(true);
    NextTip_Button = button("NextTip_Button", "Next Tip");
    MoreInfo_Button = button("MoreInfo_Button", "More Info...");
    connect(OK_Button, &QPushButton::clicked, this, &QDialog::accept);
    connect(NextTip_Button, &QPushButton::clicked, this, [this] {
        if (calls_)
            TIP_Memo->setPlainText(QString::fromStdString(calls_->nextTip()));
    });
    connect(MoreInfo_Button, &QPushButton::clicked, this, [this] {
        if (calls_)
            calls_->moreInfo();
    });
}

std::optional<bool> TTIP_Form::Ask(const std::string& tip, bool showNextTime, const TipWindowCalls& calls) {
    calls_ = &calls;
    TIP_Memo->setPlainText(QString::fromStdString(tip));
    Show_CheckBox->setChecked(showNextTime);
    const int result = exec();
    calls_ = nullptr;
    if (result != QDialog::Accepted)
        return std::nullopt;
    return Show_CheckBox->isChecked();
}

void TTIP_Form::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Arrange();
    if (const QScreen* shown = screen())
        move(shown->availableGeometry().center() - rect().center());
}

// The group across the window with the picture at its left, the check box below it and the buttons
// right-aligned below that; then the memo and the height by the window's rule.
void TTIP_Form::Arrange() {
    GroupBox1->setGeometry(kMargin, kMargin, kWidth - 2 * kMargin, kGroupHeight);
    Image1->setGeometry(kMargin, 20, 32, 32);
    Show_CheckBox->adjustSize();
    Show_CheckBox->move(kMargin, GroupBox1->geometry().bottom() + 1 + kMargin);
    int right = kWidth - kMargin;
    const int top = Show_CheckBox->geometry().bottom() + 1 + kMargin;
    for (QPushButton* b : {MoreInfo_Button, NextTip_Button, OK_Button}) {
        b->resize(std::max(b->sizeHint().width(), 88), b->sizeHint().height());
        right -= b->width();
        b->move(right, top);
        right -= 6;
    }
    const TipOfTheDay::Arrangement a =
        TipOfTheDay::Arrange(OK_Button->geometry().bottom() + 1, kWidth, GroupBox1->height());
    TIP_Memo->setGeometry(Image1->geometry().right() + 1 + kMargin, 20, a.memoWidth, a.memoHeight);
    TIP_Memo->setReadOnly(true);
    setFixedSize(kWidth, a.height);
}

// Escape closes the tip as "OK" does, keeping what the check box says.
void TTIP_Form::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TTIP_Form::closeEvent(QCloseEvent* event) {
    if (event->spontaneous()) {
        event->accept();
        accept();
        return;
    }
    QDialog::closeEvent(event);
}

} // namespace vorlaxen
