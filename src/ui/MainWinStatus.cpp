// The status area: the statistics bars, the status line with its slide, and the method buttons.

#include "desktop/StatusSlide.h"
#include "desktop/WindowOperations.h"
#include "engine/CipherMethod.h"
#include "engine/Messages.h"
#include "ui/CoolBar.h"
#include "ui/MethodButton.h"
#include "ui/StatusPanel.h"
#include "ui/TMainWin.h"
#include "ui/ThemeEmphasis.h"

#include <QAction>
#include <QHBoxLayout>
#include <QToolButton>

namespace vorlaxen {

namespace {

constexpr int kMethodButtonWidth = 50;

// A statistics bar: three sunken panels side by side, sharing the bar's width.
QWidget* MakeStatisticsBar(QWidget* parent,
                           const char* name,
                           const std::array<const char*, 3>& texts,
                           std::array<StatusPanel*, 3>& panels) {
    auto* bar = new QWidget(parent);
    bar->setObjectName(name);
    auto* layout = new QHBoxLayout(bar);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    for (std::size_t i = 0; i < 3; ++i) {
        panels[i] = new StatusPanel(texts[i], bar);
        panels[i]->setObjectName(QString(name) + "_Panel" + QString::number(i));
        layout->addWidget(panels[i], 1);
    }
    return bar;
}

} // namespace

void TMainWin::CreateStatusArea() {
    Status_CoolBar = new CoolBar(this);
    StatusBar2 = MakeStatisticsBar(
        Status_CoolBar, "StatusBar2", {kElapsedCaption, kRemainingCaption, kThroughputCaption}, statusBar2Panels_);
    StatusBar1 = MakeStatisticsBar(
        Status_CoolBar, "StatusBar1", {kEstimatedCaption, kDoneCaption, kSizeCaption}, statusBar1Panels_);
    StatusBar3 = new StatusPanel("Idle", Status_CoolBar, "Status");
    StatusBar3->setObjectName("StatusBar3");

    Method_Panel = new QWidget(Status_CoolBar);
    Method_Panel->setObjectName("Method_Panel");
    Method_Panel->setToolTip("Select encryption method by default");
    // Each button 50 pixels wide, 6 apart; wider where a large font needs more for its caption.
    int left = 0;
    auto makeButton = [&](const char* name, CipherMethod method, const char* hint) {
        auto* button = new MethodButton(QString::fromStdString(MethodName(method)), Method_Panel);
        button->setObjectName(name);
        if (hint)
            button->setToolTip(hint);
        const int width = std::max(kMethodButtonWidth, button->sizeHint().width());
        button->setGeometry(left, 0, width, CoolBar::kMinimumBandHeight);
        left += width + 6;
        return button;
    };
    DES_Button = makeButton("DES_Button", CipherMethod::Des, "DES (56 bit/ CBC)");
    TDES_Button = makeButton("TDES_Button", CipherMethod::TripleDes, nullptr);
    IDEA_Button = makeButton("IDEA_Button", CipherMethod::Idea, "IDEA (128 bit/ CBC)");
    Method_Panel->setMinimumSize(IDEA_Button->geometry().right() + 1, CoolBar::kMinimumBandHeight);
    connect(DES_Button, &QToolButton::clicked, this, &TMainWin::SetDES);
    connect(TDES_Button, &QToolButton::clicked, this, &TMainWin::SetTripleDES);
    connect(IDEA_Button, &QToolButton::clicked, this, &TMainWin::SetIDEA);

    Status_CoolBar->SetControl("StatusBar2", StatusBar2);
    Status_CoolBar->SetControl("StatusBar1", StatusBar1);
    Status_CoolBar->SetControl("StatusBar3", StatusBar3);
    Status_CoolBar->SetControl("Method_Panel", Method_Panel);
    connect(Status_CoolBar, &CoolBar::layoutChanged, this, &TMainWin::Reresize);
}

void TMainWin::UpdateStatus(const std::string& message) {
    for (const std::string& text : StatusSlideSteps(message)) {
        StatusBar3->setText(QString::fromStdString(text));
        if (statusSink_)
            statusSink_(text);
    }
}

std::string TMainWin::statusText() const {
    return StatusBar3->text().toStdString();
}

// Each panel takes a third of its bar, which at start is a third of the status area's width; the panels
// keep to their thirds as the window and the bands change size, so that no empty strip opens beside them.
void TMainWin::SetStatusBars() {
    for (QWidget* bar : {StatusBar1, StatusBar2})
        if (auto* layout = qobject_cast<QHBoxLayout*>(bar->layout()))
            for (int i = 0; i < 3; ++i)
                layout->setStretch(i, 1);
}

// The buttons show the current method: its button down with blue text, the others black (on a dark
// theme, the theme's colours that say the same).
void TMainWin::ShowMethodOnButtons() {
    const EmphasisColours colours = EmphasisOf(palette());
    for (auto [button, method] : {std::pair{DES_Button, CipherMethod::Des},
                                  std::pair{TDES_Button, CipherMethod::TripleDes},
                                  std::pair{IDEA_Button, CipherMethod::Idea}}) {
        const bool current = Method == CodeOf(method);
        button->ShowCurrent(current, false);
        SetTextColour(*button, QPalette::ButtonText, current ? colours.currentMethod : colours.otherMethod);
    }
}

void TMainWin::SetButtonsInStatus() {
    // A stored method without a button (a hand-edited setting) leaves every button up.
    if (MethodOfSetting(Method))
        ShowMethodOnButtons();
    for (QToolButton* button : {DES_Button, TDES_Button, IDEA_Button})
        button->setFixedHeight(Method_Panel->height());
}

void TMainWin::SetMethod(CipherMethod method) {
    Method = CodeOf(method);
    ShowMethodOnButtons();
    NotifyOfMethodChange();
}

void TMainWin::SetDES() {
    SetMethod(CipherMethod::Des);
}

void TMainWin::SetIDEA() {
    SetMethod(CipherMethod::Idea);
}

void TMainWin::SetTripleDES() {
    SetMethod(CipherMethod::TripleDes);
}

// Every choice of a method, even of the current one, drops the session password at the next operation
// and says so.
void TMainWin::NotifyOfMethodChange() {
    operations_->prompts().NotifyOfMethodChange();
}

void TMainWin::SetPwdExpired() {
    operations_->prompts().SetPwdExpired();
}

} // namespace vorlaxen
