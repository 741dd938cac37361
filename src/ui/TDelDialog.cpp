#include "ui/TDelDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace vorlaxen {

TDelDialog::TDelDialog(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName("DelDialog");
    setWindowTitle("Please confirm this action");
    setModal(true);
    auto* column = new QVBoxLayout(this);
    column->addWidget(new QLabel("Are you sure to delete the file", this));
    FName_Label = new QLabel(this);
    FName_Label->setObjectName("FName_Label");
    QFont bold = FName_Label->font();
    bold.setBold(true);
    FName_Label->setFont(bold);
    FName_Label->setTextFormat(Qt::PlainText);
    column->addWidget(FName_Label);
    auto* row = new QHBoxLayout;
    auto button = [this, row](const char* name, const char* caption, DelAnswer answer) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        connect(b, &QPushButton::clicked, this, [this, answer] {
            answer_ = answer;
            accept();
        });
        row->addWidget(b);
        return b;
    };
    Button1 = button("Button1", "&Delete", DelAnswer::Delete);
    Button3 = button("Button3", "Delete &All", DelAnswer::DeleteAll);
    Button2 = button("Button2", "&Cancel", DelAnswer::Cancel);
    CancelAll_Button = button("CancelAll_Button", "Ca&ncel All", DelAnswer::CancelAll);
    Button1->setDefault(true);
    column->addLayout(row);
}

DelAnswer TDelDialog::Ask(const std::string& question) {
    FName_Label->setText(QString::fromStdString(question));
    answer_ = DelAnswer::Cancel; // Escape
    exec();
    return answer_;
}

// The width reaches 35 pixels past "Ca&ncel All", the height 45 below it. The size is taken anew for
// every file name and then fixed: the dialog has a fixed border, which the user cannot resize or
// maximise.
void TDelDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    adjustSize();
    setFixedSize(std::max(CancelAll_Button->geometry().right() + 35, width()),
                 std::max(CancelAll_Button->geometry().bottom() + 45, height()));
}

} // namespace vorlaxen
