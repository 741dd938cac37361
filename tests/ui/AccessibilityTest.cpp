// What a screen reader finds in every window and dialog, read through QAccessible as assistive
// technologies read it: every control has a name that says what it is, and every action can be reached
// from the keyboard.

#include "desktop/WindowOperations.h"
#include "support/FindChild.h"
#include "support/ModalAnswer.h"
#include "support/WindowTest.h"
#include "ui/TComboChange.h"
#include "ui/TDelDialog.h"
#include "ui/TMainWin.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFrame>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QToolBar>
#include <gtest/gtest.h>
#include <set>

namespace vorlaxen {
namespace {

// Roles that only hold or decorate others, or whose names come from the data they show.
bool Structural(QAccessible::Role role) {
    switch (role) {
    case QAccessible::Client:
    case QAccessible::Grouping:
    case QAccessible::Separator:
    case QAccessible::MenuBar:
    case QAccessible::PopupMenu:
    case QAccessible::ScrollBar:
    case QAccessible::Graphic:
    case QAccessible::Grip:
    case QAccessible::Splitter:
    case QAccessible::StaticText:
    case QAccessible::Row:
    case QAccessible::Cell:
    case QAccessible::ColumnHeader:
    case QAccessible::RowHeader:
    case QAccessible::ListItem:
    case QAccessible::TreeItem:
        return true;
    default:
        return false;
    }
}

// Roles that the user acts on.
bool Interactive(QAccessible::Role role) {
    switch (role) {
    case QAccessible::PushButton:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::SpinBox:
    case QAccessible::EditableText:
    case QAccessible::List:
    case QAccessible::Tree:
    case QAccessible::Table:
    case QAccessible::ButtonMenu:
    case QAccessible::ButtonDropDown:
    case QAccessible::PageTab:
        return true;
    default:
        return false;
    }
}

bool InsideItemView(QAccessible::Role role) {
    return role == QAccessible::List || role == QAccessible::Tree || role == QAccessible::Table;
}

// The text of the label linked to a control, if any.
QString LabelOf(QAccessibleInterface* node) {
    const auto labels = node->relations(QAccessible::Label);
    return labels.isEmpty() ? QString() : labels.first().first->text(QAccessible::Name);
}

// Walks a window's accessible tree and collects what a screen reader user would miss.
class Audit {
public:
    // The names of every menu bar item and menu item, which the window's tool buttons must match.
    explicit Audit(QStringList menuItems = {})
        : menuItems_(std::move(menuItems)) {}

    void Window(QWidget* window) {
        QAccessibleInterface* top = QAccessible::queryAccessibleInterface(window);
        ASSERT_NE(top, nullptr);
        const std::string caption = window->windowTitle().toStdString();
        if (top->text(QAccessible::Name).isEmpty())
            unnamed.push_back(caption + " (the window)");
        Walk(top, caption);
    }

    std::vector<std::string> unnamed;
    std::vector<std::string> unreachable;

private:
    void Walk(QAccessibleInterface* node, const std::string& path) {
        for (int i = 0; i < node->childCount(); ++i) {
            QAccessibleInterface* child = node->child(i);
            if (!child)
                continue;
            const QAccessible::Role role = child->role();
            const QString name = child->text(QAccessible::Name).trimmed();
            QObject* object = child->object();
            const std::string here = path + " > " + (object ? object->objectName().toStdString() : std::string("?")) +
                                     "[" + std::to_string(role) + "]" + name.toStdString();
            // A frame that holds others is a container, and a line only divides; any other frame shows a
            // text of its own.
            auto* frame = qobject_cast<QFrame*>(object);
            const bool container =
                role == QAccessible::Border &&
                (child->childCount() > 0 ||
                 (frame && (frame->frameShape() == QFrame::HLine || frame->frameShape() == QFrame::VLine)));
            if (name.isEmpty() && !Structural(role) && !container)
                unnamed.push_back(here);
            // On Linux a combo box's name is its value; what it is comes from the label linked to it.
            if (role == QAccessible::ComboBox && LabelOf(child).isEmpty())
                unnamed.push_back(here + " (no label)");
            if (Interactive(role) && !child->state().invisible && !Reachable(child, name))
                unreachable.push_back(here);
            if (!InsideItemView(role))
                Walk(child, here);
        }
    }

    // Focusable with Tab; a radio button whose group has a focusable one (the arrow keys move on from
    // there); or a tool button with a menu item of the same name.
    bool Reachable(QAccessibleInterface* node, const QString& name) const {
        if (node->state().focusable)
            return true;
        auto* widget = qobject_cast<QWidget*>(node->object());
        if (!widget)
            return false;
        if (node->role() == QAccessible::RadioButton && widget->parentWidget()) {
            for (QWidget* sibling : widget->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                QAccessibleInterface* other = QAccessible::queryAccessibleInterface(sibling);
                if (other && other->role() == QAccessible::RadioButton && other->state().focusable)
                    return true;
            }
        }
        return qobject_cast<QToolBar*>(widget->parentWidget()) && menuItems_.contains(name);
    }

    QStringList menuItems_;
};

QStringList MenuItems(QMenuBar* bar) {
    QStringList names;
    std::vector<QMenu*> menus;
    for (QAction* top : bar->actions()) {
        names << QString(top->text()).remove('&');
        menus.push_back(top->menu());
    }
    for (std::size_t i = 0; i < menus.size(); ++i)
        for (QAction* item : menus[i]->actions()) {
            names << QString(item->text()).remove('&');
            if (item->menu())
                menus.push_back(item->menu());
        }
    return names;
}

std::string Listed(const std::vector<std::string>& found) {
    std::string all;
    for (const std::string& line : found)
        all += "\n  " + line;
    return all;
}

class Accessibility : public test::WindowTest {};

TEST_F(Accessibility, EveryControlOfEveryWindowHasANameAndEveryActionCanBeReachedFromTheKeyboard) {
    test::WriteFile(files / "letter.txt", "plain");
    test::WriteFile(files / "letter.doc.cry", "KX98 rest of a container");
    auto window = open();
    Audit audit(MenuItems(window->menuBar()));
    audit.Window(window.get());

    // The panes, the tree, the drive box and the status panels by what they are; a panel as
    // "label: value".
    auto nameOf = [&window](const char* object) {
        return QAccessible::queryAccessibleInterface(test::Child<QWidget>(window.get(), object))
            ->text(QAccessible::Name)
            .toStdString();
    };
    EXPECT_EQ(nameOf("Source_ListView"), "Available for encryption");
    EXPECT_EQ(nameOf("Crypted_ListView_Icons"), "Crypted files") << "the hidden view too";
    EXPECT_EQ(nameOf("User_DirectoryListBox"), "Folders");
    EXPECT_EQ(LabelOf(QAccessible::queryAccessibleInterface(test::Child<QWidget>(window.get(), "DriveComboBox1"))),
              "Drive");
    EXPECT_EQ(nameOf("StatusBar3"), "Status: Idle.");
    EXPECT_EQ(nameOf("StatusBar2_Panel0"), "Elapsed:");
    window->UpdateStatus("Encrypting file letter.txt ...");
    EXPECT_EQ(nameOf("StatusBar3"), "Status: Encrypting file letter.txt ...");

    // The method buttons are one choice of three.
    int checked = 0;
    for (const char* name : {"DES_Button", "TDES_Button", "IDEA_Button"}) {
        QAccessibleInterface* button = QAccessible::queryAccessibleInterface(test::Child<QWidget>(window.get(), name));
        EXPECT_EQ(button->role(), QAccessible::RadioButton) << name;
        EXPECT_TRUE(button->state().checkable) << name;
        checked += button->state().checked ? 1 : 0;
    }
    EXPECT_EQ(checked, 1);
    QAccessibleInterface* des = QAccessible::queryAccessibleInterface(test::Child<QWidget>(window.get(), "DES_Button"));
    des->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(window->Method, 3) << "its action chooses it";

    // Every dialog: Preferences (with every row shown), the tip, the About box, both password prompts,
    // the master password, the delete question, the not-ready drive and a message box.
    auto audited = [&audit](QWidget* modal) {
        audit.Window(modal);
        return modal;
    };
    std::set<std::string> seen;
    auto answer = [&](std::function<void(QWidget*)> act = {}) {
        test::AnswerNextModal([&, act](QWidget* modal) {
            seen.insert(audited(modal)->windowTitle().toStdString());
            if (act)
                act(modal);
        });
    };
    answer([](QWidget* modal) {
        for (const char* box : {"OnePwd_CheckBox", "Store_CheckBox", "MasterPwdExpires_CheckBox"})
            if (!test::Child<QCheckBox>(modal, box)->isChecked())
                test::Child<QCheckBox>(modal, box)->click();
        // Every check box has an Alt letter of its own.
        QSet<QChar> letters;
        for (QCheckBox* box : modal->findChildren<QCheckBox*>()) {
            const qsizetype at = box->text().indexOf('&');
            ASSERT_GE(at, 0) << box->text().toStdString();
            EXPECT_FALSE(letters.contains(box->text().at(at + 1).toLower())) << box->text().toStdString();
            letters.insert(box->text().at(at + 1).toLower());
        }
    });
    test::Child<QAction>(window.get(), "Options_Item")->trigger();
    answer();
    test::Child<QAction>(window.get(), "Tips_Item")->trigger();
    answer();
    test::Child<QAction>(window.get(), "About_Item")->trigger();
    window->objects().dirCryptor().WorkList = {"letter.txt", "other.txt"};
    window->objects().dirCryptor().WorkDirectory = files.path();
    answer();
    (void)window->operations().prompts().PromptToEncrypt("letter.txt");
    answer();
    (void)window->operations().prompts().PromptToDecrypt("letter.doc", "letter.doc.cry");
    window->objects().pwdTable().MasterPass.UseKeyFile = true;
    window->objects().pwdTable().MasterPass.KeyFilePath = files / "keys.001";
    answer();
    window->AskMasterPassword();
    answer();
    TDelDialog(window.get()).Ask("letter.txt");
    answer([](QWidget* modal) { modal->findChild<QPushButton*>()->click(); });
    TComboChange([](const QString&) { return true; }, window.get()).ChooseDrive({"/"});
    EXPECT_EQ(seen.count("Error!"), 1u);
    answer();
    window->ShowMessage(
        MessageKind::Confirmation, "Do you really want to cancel the process?", MessageButtons::OkCancel);
    EXPECT_EQ(seen,
              (std::set<std::string>{"Preferences",
                                     "Tip of the day",
                                     "About Vorlaxen 95",
                                     "Encryption procedure",
                                     "Decryption procedure",
                                     "The Master password",
                                     "Please confirm this action",
                                     "Error!",
                                     "Vorlaxen 95"}));

    EXPECT_TRUE(audit.unnamed.empty()) << "controls without a name:" << Listed(audit.unnamed);
    EXPECT_TRUE(audit.unreachable.empty()) << "controls the keyboard does not reach:" << Listed(audit.unreachable);
}

} // namespace
} // namespace vorlaxen
