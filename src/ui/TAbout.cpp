#include "ui/TAbout.h"

#include "desktop/AboutBox.h"

#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace vorlaxen {

namespace {

constexpr int kAreaMargin = 8; // the upper area inside the box
constexpr int kTextLeft = 48;  // the texts right of the picture, inside the upper area
constexpr int kLineGap = 4;

QLabel* Text(QWidget* parent, const char* name, Qt::TextFormat format = Qt::PlainText) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(format);
    return label;
}

} // namespace

TAbout::TAbout(QWidget* parent)
    : QDialog(parent,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                  Qt::WindowCloseButtonHint) {
    setObjectName("About");
    setWindowTitle("About Vorlaxen 95");
    setModal(true);

    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setFrameShape(QFrame::StyledPanel);
    Panel1->setFrameShadow(QFrame::Sunken);
    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setObjectName("ProgramIcon");
    ProgramIcon->setPixmap(QIcon(":/icons/vorlaxen.svg").pixmap(32, 32));
    ProductName = Text(Panel1, "ProductName");
    QFont title = ProductName->font();
    title.setBold(true);
    title.setPointSizeF(title.pointSizeF() * 1.3);
    ProductName->setFont(title);
    Version = Text(Panel1, "Version");
    Comments = Text(Panel1, "Comments");
    HomePage_Label = Text(Panel1, "HomePage_Label", Qt::RichText);
    HomePage_Label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    HomePage_Label->setOpenExternalLinks(false);
    connect(HomePage_Label, &QLabel::linkActivated, this, [this] {
        if (homePageClicked_)
            (*homePageClicked_)();
    });
    Bevel1 = new QFrame(Panel1);
    Bevel1->setObjectName("Bevel1");
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    OsCaption = Text(Panel1, "OsCaption");
    OsCaption->setText("OS version:");
    OS_Label = Text(Panel1, "OS_Label");
    MemoryCaption = Text(Panel1, "MemoryCaption");
    MemoryCaption->setText("Total memory , Kb:");
    Memory_Label = Text(Panel1, "Memory_Label");

    OKButton = new QPushButton("Ok", this);
    OKButton->setObjectName("OKButton");
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

void TAbout::Ask(const AboutContents& c, const std::function<void()>& homePageClicked) {
    ProductName->setText(QString::fromStdString(c.title));
    Version->setText(QString::fromStdString(c.version));
    Comments->setText(QString::fromStdString(c.credits));
    const QString address = QString::fromStdString(c.homePage).toHtmlEscaped();
    HomePage_Label->setText(address.isEmpty() ? QString() : "<a href=\"" + address + "\">" + address + "</a>");
    HomePage_Label->setVisible(!address.isEmpty());
    OS_Label->setText(QString::fromStdString(c.osVersion));
    Memory_Label->setText(QString::fromStdString(c.totalMemory));
    homePageClicked_ = &homePageClicked;
    exec();
    homePageClicked_ = nullptr;
}

void TAbout::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Arrange();
    if (const QScreen* shown = screen())
        move(shown->availableGeometry().center() - rect().center());
}

// The texts one below the other right of the picture, the separator as wide as the widest row; then the
// box, the upper area and "Ok" by the box's rule.
void TAbout::Arrange() {
    ProgramIcon->setGeometry(kAreaMargin, kAreaMargin, 32, 32);
    const int captionWidth = std::max(OsCaption->sizeHint().width(), MemoryCaption->sizeHint().width()) + 8;
    int separator = 240;
    for (QLabel* label : {ProductName, Version, Comments, HomePage_Label})
        separator = std::max(separator, label->sizeHint().width());
    for (QLabel* value : {OS_Label, Memory_Label})
        separator = std::max(separator, captionWidth + value->sizeHint().width());

    int y = kAreaMargin;
    for (QLabel* label : {ProductName, Version, Comments, HomePage_Label}) {
        if (label->isHidden())
            continue;
        label->setGeometry(kTextLeft, y, separator, label->sizeHint().height());
        y += label->height() + kLineGap;
    }
    y += kLineGap;
    Bevel1->setGeometry(kTextLeft, y, separator, 2);
    y += 2 + 2 * kLineGap;
    for (auto [caption, value] : {std::pair{OsCaption, OS_Label}, std::pair{MemoryCaption, Memory_Label}}) {
        caption->setGeometry(kTextLeft, y, captionWidth, caption->sizeHint().height());
        value->setGeometry(kTextLeft + captionWidth, y, separator - captionWidth, value->sizeHint().height());
        y += caption->height() + kLineGap;
    }

    const QSize ok = OKButton->sizeHint().expandedTo({88, 0});
    const AboutBox::Arrangement a =
        AboutBox::Arrange(Bevel1->width(), kAreaMargin, kAreaMargin + MemoryCaption->y(), ok.width(), ok.height());
    Panel1->setGeometry(kAreaMargin, kAreaMargin, a.width - 2 * kAreaMargin, a.areaHeight);
    OKButton->setGeometry(a.okLeft, a.okTop, ok.width(), ok.height());
    setFixedSize(a.width, a.height);
}

} // namespace vorlaxen
