#pragma once

#include "ports/DelDialog.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace vorlaxen {

// "Please confirm this action": whether a file is to be deleted, with "&Delete" (default), "Delete &All",
// "&Cancel" (Escape) and "Ca&ncel All".
class TDelDialog : public QDialog {
    Q_OBJECT

public:
    explicit TDelDialog(QWidget* parent);

    // `question` is the file's full path followed by "?".
    DelAnswer Ask(const std::string& question);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* FName_Label;
    QPushButton* Button1;
    QPushButton* Button3;
    QPushButton* Button2;
    QPushButton* CancelAll_Button;
    DelAnswer answer_ = DelAnswer::Cancel;
};

} // namespace vorlaxen
