#pragma once

#include "ports/TipWindow.h"

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace vorlaxen {

// "Tip of the day": a group with a picture and the tip in TIP_Memo (read-only), the check box
// Show_CheckBox and the buttons "OK" (default), "Next Tip" and "More Info...". No title-bar buttons:
// "OK" is the way out, and Escape or a close that the window manager still offers counts as "OK". Only
// the program closes it otherwise (reject), which answers nothing. Centred on the screen; on activation
// it is laid out by TipOfTheDay::Arrange.
class TTIP_Form : public QDialog {
    Q_OBJECT

public:
    explicit TTIP_Form(QWidget* parent);

    std::optional<bool> Ask(const std::string& tip, bool showNextTime, const TipWindowCalls& calls);

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Arrange();

    const TipWindowCalls* calls_ = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLabel* Image1 = nullptr;
    QPlainTextEdit* TIP_Memo = nullptr;
    QCheckBox* Show_CheckBox = nullptr;
    QPushButton* OK_Button = nullptr;
    QPushButton* NextTip_Button = nullptr;
    QPushButton* MoreInfo_Button = nullptr;
};

} // namespace vorlaxen
