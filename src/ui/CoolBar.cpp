#include "ui/CoolBar.h"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <algorithm>

namespace vorlaxen {

namespace {

constexpr int kGripWidth = 10;

} // namespace

// The handle at the left of a band, by which the user moves and resizes it.
class BandGrip : public QWidget {
public:
    BandGrip(CoolBar& bar, std::string control, QWidget* parent)
        : QWidget(parent)
        , bar_(bar)
        , control_(std::move(control)) {
        setFixedWidth(kGripWidth);
        setCursor(Qt::SizeAllCursor);
        setToolTip("Drag to move or resize this band");
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        QStyleOption option;
        option.initFrom(this);
        option.state |= QStyle::State_Horizontal;
        style()->drawPrimitive(QStyle::PE_IndicatorToolBarHandle, &option, &painter, this);
    }
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton)
            bar_.DragStarted(control_);
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        if (event->buttons() & Qt::LeftButton)
            bar_.DragMoved(control_, bar_.mapFromGlobal(event->globalPosition().toPoint()));
    }
    void mouseReleaseEvent(QMouseEvent*) override { bar_.DragEnded(); }

private:
    CoolBar& bar_;
    std::string control_;
};

CoolBar::CoolBar(QWidget* parent)
    : QWidget(parent) {
    setObjectName("Status_CoolBar");
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void CoolBar::SetControl(const std::string& name, QWidget* control) {
    Band band;
    band.frame = new QWidget(this);
    band.frame->setObjectName(QString::fromStdString(name) + "_Band");
    auto* layout = new QHBoxLayout(band.frame);
    layout->setContentsMargins(0, 0, 2, 0);
    layout->setSpacing(2);
    band.grip = new BandGrip(*this, name, band.frame);
    band.control = control;
    control->setParent(band.frame);
    layout->addWidget(band.grip);
    layout->addWidget(control, 1);
    byControl_[name] = band;
    Relayout();
}

void CoolBar::ApplyLayout(const std::array<BandLayout, CoolBands::kCount>& saved) {
    bands_.Apply(saved);
    Relayout();
    // Another arrangement of rows may need another width.
    updateGeometry();
}

std::array<BandLayout, CoolBands::kCount> CoolBar::CurrentLayout() const {
    return bands_.Saved(shownWidths_);
}

int CoolBar::RowHeight() const {
    int height = kMinimumBandHeight;
    for (const auto& [name, band] : byControl_)
        height = std::max(height, band.control->sizeHint().height());
    return height;
}

QSize CoolBar::sizeHint() const {
    return {400, RowHeight() * static_cast<int>(bands_.Rows().size())};
}

QSize CoolBar::minimumSizeHint() const {
    return {bands_.MinimumBarWidth(BandMinimums()), sizeHint().height()};
}

std::array<int, CoolBands::kCount> CoolBar::BandMinimums() const {
    std::array<int, CoolBands::kCount> minimums{};
    for (std::size_t i = 0; i < CoolBands::kCount; ++i) {
        auto found = byControl_.find(bands_.bands()[i].control);
        if (found != byControl_.end())
            minimums[i] = found->second.frame->minimumSizeHint().width();
    }
    return minimums;
}

void CoolBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Relayout();
}

void CoolBar::Relayout() {
    const int h = RowHeight();
    const auto rows = bands_.Rows();
    // A band's minimum is what its grip and its control need: the method buttons are never pushed out
    // of the bar by a wide band before them.
    shownWidths_ = bands_.ShownWidths(width(), BandMinimums());
    int y = 0;
    for (const auto& row : rows) {
        int x = 0;
        for (std::size_t k = 0; k < row.size(); ++k) {
            const std::size_t position = row[k];
            const BandLayout& layout = bands_.bands()[position];
            const int w = shownWidths_[position];
            auto found = byControl_.find(layout.control);
            if (found != byControl_.end()) {
                found->second.frame->setGeometry(x, y, w, h);
                found->second.frame->show();
            }
            x += w;
        }
        y += h;
    }
    const int total = h * static_cast<int>(rows.size());
    if (height() != total) {
        setFixedHeight(total);
        emit layoutChanged();
    }
}

void CoolBar::DragStarted(const std::string&) {
    dragging_ = true;
}

void CoolBar::DragMoved(const std::string& control, QPoint inBar) {
    if (!dragging_)
        return;
    const std::size_t position = bands_.PositionOf(control);
    const auto rows = bands_.Rows();
    const int h = RowHeight();
    const std::size_t targetRow = inBar.y() < 0 ? 0 : static_cast<std::size_t>(inBar.y() / h);
    std::size_t currentRow = 0;
    for (std::size_t r = 0; r < rows.size(); ++r)
        if (std::find(rows[r].begin(), rows[r].end(), position) != rows[r].end())
            currentRow = r;

    if (targetRow == currentRow) {
        // Along its own row: the band's left edge follows the pointer, the band before it takes the
        // difference; the first band of a row stays where it is.
        const auto& row = rows[currentRow];
        auto at = std::find(row.begin(), row.end(), position);
        if (at == row.begin())
            return;
        const std::size_t before = *(at - 1);
        int left = 0;
        for (auto it = row.begin(); it != at - 1; ++it)
            left += shownWidths_[*it];
        bands_.Resize(before, inBar.x() - left);
    } else {
        // Onto another row, before the band under the pointer; below the last row, onto a new row.
        std::size_t slot = 0;
        if (targetRow < rows.size()) {
            int x = 0;
            for (std::size_t k = 0; k < rows[targetRow].size(); ++k) {
                x += shownWidths_[rows[targetRow][k]];
                if (inBar.x() >= x)
                    slot = k + 1;
            }
        }
        bands_.Move(position, targetRow, slot);
        updateGeometry();
    }
    Relayout();
    emit layoutChanged();
}

void CoolBar::DragEnded() {
    dragging_ = false;
}

} // namespace vorlaxen
