#include "ui/StatusPanel.h"

#include <QFontMetrics>
#include <QPainter>
#include <QStyle>
#include <QTextDocument>

namespace vorlaxen {

namespace {

constexpr int kTextMargin = 3;

} // namespace

StatusPanel::StatusPanel(const QString& text, QWidget* parent, const QString& label)
    : QFrame(parent)
    , label_(label) {
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setText(text);
}

void StatusPanel::setText(const QString& text) {
    if (text == text_)
        return;
    text_ = text;
    // The slide of the status line only moves the text: the tooltip and the name are its words without
    // the spaces, and change once for a new text rather than at every step of the slide.
    const QString words = text.trimmed();
    if (words != tipWords_) {
        tipWords_ = words;
        // A tooltip that looks like markup is taken as markup; the status names files.
        setToolTip(words.isEmpty() ? QString() : Qt::convertFromPlainText(words, Qt::WhiteSpacePre));
        setAccessibleName(label_.isEmpty() ? words : label_ + ": " + words);
    }
    update();
}

QString StatusPanel::shownText() const {
    const int room = contentsRect().width() - 2 * kTextMargin;
    return fontMetrics().elidedText(text_, Qt::ElideRight, std::max(room, 0));
}

QSize StatusPanel::sizeHint() const {
    const QFontMetrics metrics = fontMetrics();
    const int frame = 2 * frameWidth();
    return {metrics.horizontalAdvance(text_) + 2 * kTextMargin + frame, metrics.height() + 2 + frame};
}

QSize StatusPanel::minimumSizeHint() const {
    const QFontMetrics metrics = fontMetrics();
    const int frame = 2 * frameWidth();
    return {metrics.horizontalAdvance(QStringLiteral("Idle…")) + 2 * kTextMargin + frame, metrics.height() + 2 + frame};
}

void StatusPanel::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QRect area = contentsRect().adjusted(kTextMargin, 0, -kTextMargin, 0);
    style()->drawItemText(
        &painter, area, Qt::AlignLeft | Qt::AlignVCenter, palette(), isEnabled(), shownText(), foregroundRole());
}

} // namespace vorlaxen
