// The main window's menus, tool bar and pop-up menus.

#include "desktop/WindowOperations.h"
#include "engine/Messages.h"
#include "ui/CoolBar.h"
#include "ui/FileDrops.h"
#include "ui/PasswordDialog.h"
#include "ui/TDelDialog.h"
#include "ui/TMainWin.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QShortcut>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

namespace vorlaxen {

namespace {

QAction* MakeAction(QObject* parent, const QString& text, const char* name, const char* icon = nullptr) {
    auto* action = new QAction(text, parent);
    action->setObjectName(name);
    if (icon)
        action->setIcon(QIcon(QString(":/icons/") + icon));
    return action;
}

} // namespace

void TMainWin::CreateActions() {
    Encrypt_Button = MakeAction(this, "Encrypt", "Encrypt_Button", "encrypt.svg");
    Decrypt_Button = MakeAction(this, "Decrypt", "Decrypt_Button", "decrypt.svg");
    // The three tool buttons that serve a running operation or a held password are also File menu
    // items with keys of their own, so that the keyboard reaches them: Escape stops an operation.
    MasterPwdExpire_Button =
        MakeAction(this, "Make &master password expire now!", "MasterPwdExpire_Button", "master-expire.svg");
    MasterPwdExpire_Button->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_M));
    PwdExpire_Button = MakeAction(this, "Make &password expire now!", "PwdExpire_Button", "password-expire.svg");
    PwdExpire_Button->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P));
    StopProcess_Button = MakeAction(this, "&Stop current process!", "StopProcess_Button", "stop.svg");
    StopProcess_Button->setShortcut(QKeySequence(Qt::Key_Escape));
    Help_Button = MakeAction(this, "Help", "Help_Button", "help.svg");
    Decrypt_Button->setEnabled(false);
    MasterPwdExpire_Button->setEnabled(false);
    PwdExpire_Button->setEnabled(false);
    StopProcess_Button->setEnabled(false);
    connect(Help_Button, &QAction::triggered, this, &TMainWin::OpenHelp);

    encryptItem_ = MakeAction(this, "&Encrypt", "Encrypt_Item");
    decryptItem_ = MakeAction(this, "&Decrypt", "Decrypt_Item");
    decryptItem_->setEnabled(false);
    optionsItem_ = MakeAction(this, "&Options...", "Options_Item");
    optionsItem_->setShortcut(QKeySequence::Preferences);
    exitItem_ = MakeAction(this, "E&xit", "Exit_Item");
    // Ctrl+Q asks the window to close as "E&xit" does: refused while an operation runs. Named outright,
    // since the platform's standard Quit key may be none.
    exitItem_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(exitItem_, &QAction::triggered, this, &QWidget::close);

    viewStyles_ = new QActionGroup(this);
    const std::array<std::pair<const char*, ViewStyle>, 4> styles = {{{"Lar&ge icons", ViewStyle::LargeIcons},
                                                                      {"S&mall icons", ViewStyle::SmallIcons},
                                                                      {"&List", ViewStyle::List},
                                                                      {"&Details", ViewStyle::Details}}};
    for (std::size_t i = 0; i < styles.size(); ++i) {
        QAction* item = MakeAction(this, styles[i].first, "ViewStyle_Item");
        item->setCheckable(true);
        viewStyles_->addAction(item);
        const ViewStyle style = styles[i].second;
        connect(item, &QAction::triggered, this, [this, style] { SetListViewStyle(style); });
        viewItems_[i] = item;
    }
    viewItems_[3]->setChecked(true);

    statusBarsItem_ = MakeAction(this, "&Status Bars", "StatusBars_Item");
    statusBarsItem_->setCheckable(true);
    statusBarsItem_->setChecked(true);
    connect(statusBarsItem_, &QAction::toggled, this, [this](bool shown) {
        Status_CoolBar->setVisible(shown);
        Reresize();
    });
    toolBarItem_ = MakeAction(this, "&ToolBar", "ToolBar_Item");
    toolBarItem_->setCheckable(true);
    toolBarItem_->setChecked(true);
    connect(toolBarItem_, &QAction::toggled, this, [this](bool shown) {
        ToolBar1->setVisible(shown);
        Reresize();
    });

    contentsItem_ = MakeAction(this, "&Contents", "Contents_Item");
    connect(contentsItem_, &QAction::triggered, this, &TMainWin::OpenHelp);
    tipsItem_ = MakeAction(this, "&Tips", "Tips_Item");
    aboutItem_ = MakeAction(this, "&About...", "About_Item");
}

void TMainWin::CreateMenus() {
    QMenu* file = menuBar()->addMenu("&File");
    file->addAction(encryptItem_);
    file->addAction(decryptItem_);
    file->addSeparator();
    file->addAction(StopProcess_Button);
    file->addAction(MasterPwdExpire_Button);
    file->addAction(PwdExpire_Button);
    file->addSeparator();
    file->addAction(optionsItem_);
    file->addSeparator();
    file->addAction(exitItem_);

    QMenu* view = menuBar()->addMenu("&View");
    QMenu* lists = view->addMenu("&File lists");
    for (QAction* item : viewItems_)
        lists->addAction(item);
    view->addAction(statusBarsItem_);
    view->addAction(toolBarItem_);

    QMenu* help = menuBar()->addMenu("&Help");
    help->addAction(contentsItem_);
    help->addAction(tipsItem_);
    help->addAction(aboutItem_);
}

void TMainWin::CreateToolBar() {
    ToolBar1 = addToolBar("ToolBar");
    ToolBar1->setObjectName("ToolBar1");
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize({24, 24});
    ToolBar1->addAction(Encrypt_Button);
    ToolBar1->addAction(Decrypt_Button);
    ToolBar1->addSeparator();
    ToolBar1->addAction(MasterPwdExpire_Button);
    ToolBar1->addAction(PwdExpire_Button);
    ToolBar1->addAction(StopProcess_Button);
    ToolBar1->addSeparator();
    ToolBar1->addAction(Help_Button);
    for (QAction* action : ToolBar1->actions()) {
        if (auto* button = qobject_cast<QToolButton*>(ToolBar1->widgetForAction(action))) {
            button->setObjectName(action->objectName());
            button->setFixedSize(31, 30);
            button->setAutoRaise(true);
        }
    }
    // On a narrow window the buttons that do not fit hide behind the tool bar's own extension button.
    if (auto* more = ToolBar1->findChild<QToolButton*>("qt_toolbar_ext_button"))
        more->setAccessibleName("More tool buttons");
}

void TMainWin::CreatePopupMenus() {
    sourceMenu_ = new QMenu(this);
    sourceMenu_->setObjectName("Source_PopupMenu");
    sourceMenu_->addAction("Encrypt")->setObjectName("Encrypt1");
    sourceMenu_->addAction("Open")->setObjectName("Open1");
    sourceMenu_->addAction("Print")->setObjectName("Print1");
    sourceMenu_->addSeparator();
    sourceMenu_->addAction("Delete")->setObjectName("Delete1");

    cryptedMenu_ = new QMenu(this);
    cryptedMenu_->setObjectName("Crypted_PopupMenu");
    cryptedMenu_->addAction("Decrypt")->setObjectName("Decrypt1");
    cryptedMenu_->addAction("Open")->setObjectName("Open2");
    cryptedMenu_->addAction("Print")->setObjectName("Print2");
    cryptedMenu_->addSeparator();
    cryptedMenu_->addAction("Delete")->setObjectName("Delete2");

    // A pane's own keys: Enter encrypts or decrypts its selection, Delete deletes it, Ctrl+O and Ctrl+P
    // open and print it. They act while the pane has the focus, and the pop-up menu shows them.
    for (QMenu* menu : {sourceMenu_, cryptedMenu_}) {
        FilePaneView* view = menu == sourceMenu_ ? sourceView_.get() : cryptedView_.get();
        const QList<QAction*> items = menu->actions();
        const std::array<QList<QKeySequence>, 5> keys = {
            QList<QKeySequence>{QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)},
            QKeySequence::keyBindings(QKeySequence::Open),
            QKeySequence::keyBindings(QKeySequence::Print),
            QList<QKeySequence>{},
            QKeySequence::keyBindings(QKeySequence::Delete)};
        for (int i = 0; i < items.size() && i < static_cast<int>(keys.size()); ++i) {
            if (keys[static_cast<std::size_t>(i)].isEmpty())
                continue;
            items[i]->setShortcuts(keys[static_cast<std::size_t>(i)]);
            items[i]->setShortcutContext(Qt::WidgetWithChildrenShortcut);
            view->addAction(items[i]);
        }
    }

    treeMenu_ = new QMenu(this);
    treeMenu_->setObjectName("Dir_PopupMenu");
    treeMenu_->addAction("Encrypt All")->setObjectName("EncriptAll1");
    treeMenu_->addAction("Decrypt All")->setObjectName("Decriptall1");

    connect(sourceView_.get(), &FilePaneView::contextMenuRequested, sourceMenu_, [this](QPoint at) {
        sourceMenu_->popup(at);
    });
    connect(cryptedView_.get(), &FilePaneView::contextMenuRequested, cryptedMenu_, [this](QPoint at) {
        cryptedMenu_->popup(at);
    });

    // F5 reads the shown directory again, unless an operation works on the panes.
    auto* reread = new QShortcut(QKeySequence(Qt::Key_F5), this);
    reread->setObjectName("MainWin_RereadKey");
    reread->setContext(Qt::WindowShortcut);
    connect(reread, &QShortcut::activated, this, [this] {
        if (objects_->prgState().IsBusy())
            UpdateStatus(kPleaseWait);
        else
            ReadFLists();
    });
}

void TMainWin::CreateDialogsAndTimers() {
    encryptPrompt_ = new PasswordPrompt(PasswordPrompt::Kind::Encrypt, this);
    decryptPrompt_ = new PasswordPrompt(PasswordPrompt::Kind::Decrypt, this);
    delDialog_ = new TDelDialog(this);
    masterPwdForm_ = new TMasterPwd_Form(this);

    Process_Timer = new QTimer(this);
    Process_Timer->setObjectName("Process_Timer");
    PwdTimer = new QTimer(this);
    PwdTimer->setObjectName("PwdTimer");
    PwdTimer->setInterval(1000);
    MasterPwd_Timer = new QTimer(this);
    MasterPwd_Timer->setObjectName("MasterPwd_Timer");
    MasterPwd_Timer->setInterval(1000);
}

// Every way of starting an operation, and the timers and buttons that serve a running one.
void TMainWin::ConnectOperations() {
    BatchProcessing& batch = operations_->batch();
    auto encrypt = [&batch] { batch.EncrFileList(); };
    auto decrypt = [&batch] { batch.DecrFileList(); };
    connect(sourceView_.get(), &FilePaneView::activated, this, encrypt);
    connect(cryptedView_.get(), &FilePaneView::activated, this, decrypt);
    connect(cryptedView_.get(), &FilePaneView::droppedFromOtherPane, this, encrypt);
    connect(sourceView_.get(), &FilePaneView::droppedFromOtherPane, this, decrypt);
    new FileDrops(*this, *sourceView_, *cryptedView_, [&batch](const std::vector<DroppedRun>& runs) {
        batch.ProcessDroppedFiles(runs);
    });
    for (QAction* action : {Encrypt_Button, encryptItem_, findChild<QAction*>("Encrypt1")})
        connect(action, &QAction::triggered, this, encrypt);
    for (QAction* action : {Decrypt_Button, decryptItem_, findChild<QAction*>("Decrypt1")})
        connect(action, &QAction::triggered, this, decrypt);
    connect(findChild<QAction*>("Delete1"), &QAction::triggered, this, [this] {
        operations_->files().FileDel(Pane::Source);
    });
    connect(findChild<QAction*>("Delete2"), &QAction::triggered, this, [this] {
        operations_->files().FileDel(Pane::Crypted);
    });
    connect(findChild<QAction*>("EncriptAll1"), &QAction::triggered, this, [&batch] {
        batch.DoForAll(Direction::Encrypt);
    });
    connect(findChild<QAction*>("Decriptall1"), &QAction::triggered, this, [&batch] {
        batch.DoForAll(Direction::Decrypt);
    });
    connect(StopProcess_Button, &QAction::triggered, this, [&batch] { batch.Button1Click(); });

    connect(Process_Timer, &QTimer::timeout, this, [this] { operations_->progress().Process_TimerTimer(); });
    connect(PwdTimer, &QTimer::timeout, this, [this] { operations_->prompts().PwdTimerTimer(); });
    connect(MasterPwd_Timer, &QTimer::timeout, this, [this] { operations_->master().MasterPwd_TimerTimer(); });
    connect(PwdExpire_Button, &QAction::triggered, this, [this] { operations_->prompts().PwdExpire_ButtonClick(); });
    connect(MasterPwdExpire_Button, &QAction::triggered, this, [this] {
        operations_->master().MasterPwdExpire_ButtonClick();
    });
}

} // namespace vorlaxen
