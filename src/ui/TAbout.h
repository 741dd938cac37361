#pragma once

#include "ports/AboutWindow.h"

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

namespace vorlaxen {

// "About Vorlaxen 95": in a sunken upper area the program's picture, title, version, credits and web
// address (a link: the hand pointer over it, a click asks to open it; no line when there is none), a
// separator line, "OS version:"
// and "Total memory , Kb:" with their values; below it "Ok", the default and the cancel button. Only the
// system menu in the title bar. Centred on the screen; on activation it is laid out by AboutBox::Arrange.
class TAbout : public QDialog {
    Q_OBJECT

public:
    explicit TAbout(QWidget* parent);

    void Ask(const AboutContents& contents, const std::function<void()>& homePageClicked);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void Arrange();

    const std::function<void()>* homePageClicked_ = nullptr;
    QFrame* Panel1 = nullptr;
    QLabel* ProgramIcon = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* Version = nullptr;
    QLabel* Comments = nullptr;
    QLabel* HomePage_Label = nullptr;
    QFrame* Bevel1 = nullptr;
    QLabel* OsCaption = nullptr;
    QLabel* OS_Label = nullptr;
    QLabel* MemoryCaption = nullptr;
    QLabel* Memory_Label = nullptr;
    QPushButton* OKButton = nullptr;
};

} // namespace vorlaxen
