#pragma once

#include <QLayout>
#include <QList>
#include <functional>

namespace vorlaxen {

// A layout whose widgets are placed by the main window's pixel rules rather than by stretch factors:
// the directory panel and the panes' panel keep their specified places (tops, gaps, the lower pane level
// with the tree, the progress bars behind their panes), which no box layout expresses. A change of the
// panel's height lays everything out again (`placeAll`); a change of its width alone only widens or
// narrows (`placeWidths`), so that panes raised for the progress bars keep their heights while the
// splitter moves.
class RuledLayout : public QLayout {
public:
    RuledLayout(QWidget* panel, std::function<void()> placeAll, std::function<void()> placeWidths);
    ~RuledLayout() override;

    void addItem(QLayoutItem* item) override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    int count() const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;

private:
    QList<QLayoutItem*> items_;
    std::function<void()> placeAll_;
    std::function<void()> placeWidths_;
    QRect placed_;
};

} // namespace vorlaxen
