#include "ui/RuledLayout.h"

namespace vorlaxen {

RuledLayout::RuledLayout(QWidget* panel, std::function<void()> placeAll, std::function<void()> placeWidths)
    : QLayout(panel)
    , placeAll_(std::move(placeAll))
    , placeWidths_(std::move(placeWidths)) {
    setContentsMargins(0, 0, 0, 0);
}

RuledLayout::~RuledLayout() {
    while (QLayoutItem* item = takeAt(0))
        delete item;
}

void RuledLayout::addItem(QLayoutItem* item) {
    items_.append(item);
}

QLayoutItem* RuledLayout::itemAt(int index) const {
    return index >= 0 && index < items_.size() ? items_.at(index) : nullptr;
}

QLayoutItem* RuledLayout::takeAt(int index) {
    return index >= 0 && index < items_.size() ? items_.takeAt(index) : nullptr;
}

int RuledLayout::count() const {
    return static_cast<int>(items_.size());
}

// The panel's size is the splitter's and the window's to choose; the rules fit the widgets into it.
QSize RuledLayout::sizeHint() const {
    return {0, 0};
}

QSize RuledLayout::minimumSize() const {
    return {0, 0};
}

void RuledLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    const bool heightChanged = !placed_.isValid() || rect.height() != placed_.height();
    const bool widthChanged = rect.width() != placed_.width();
    placed_ = rect;
    if (heightChanged)
        placeAll_();
    else if (widthChanged)
        placeWidths_();
}

} // namespace vorlaxen
