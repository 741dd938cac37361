#include "ui/TComboChange.h"

#include "ui/ThemeEmphasis.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

namespace vorlaxen {

TComboChange::TComboChange(std::function<bool(const QString&)> ready, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , ready_(std::move(ready)) {
    setObjectName("ComboChange");
    setWindowTitle("Error!");
    setModal(true);
    notReady_ = new QLabel("Device is not ready. ", this);
    another_ = new QLabel("Please specify another", this);
    drives_ = new QComboBox(this);
    drives_->setObjectName("ComboChange_DriveBox");
    drives_->setAccessibleName("Drive");
    drives_->view()->setAccessibleName("Drive");
    another_->setBuddy(drives_);
    ok_ = new QPushButton("Ok", this);
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &TComboChange::accept);
}

QString TComboChange::ChooseDrive(const QStringList& drives) {
    drives_->clear();
    drives_->addItems(drives);
    drives_->setCurrentIndex(0);
    exec();
    return drives_->currentText();
}

void TComboChange::accept() {
    if (ready_(drives_->currentText()))
        QDialog::accept();
}

void TComboChange::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Red, or on a dark theme a red light enough to read.
    SetTextColour(*notReady_, QPalette::WindowText, EmphasisOf(palette()).warning);
    Arrange();
}

// The drive box 30 pixels right of "Please specify another", the dialog 45 pixels wider than the drive
// box's right edge and 50 taller than the bottom of "Ok", which is centred.
void TComboChange::Arrange() {
    notReady_->adjustSize();
    another_->adjustSize();
    drives_->adjustSize();
    notReady_->move(15, 15);
    another_->move(15, notReady_->geometry().bottom() + 12);
    drives_->move(another_->geometry().right() + 30, another_->y() - (drives_->height() - another_->height()) / 2);
    const int width = drives_->geometry().right() + 45;
    ok_->move((width - ok_->width()) / 2, drives_->geometry().bottom() + 15);
    setFixedSize(width, ok_->geometry().bottom() + 50);
}

} // namespace vorlaxen
