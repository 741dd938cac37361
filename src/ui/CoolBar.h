#pragma once

#include "desktop/CoolBands.h"

#include <QWidget>
#include <array>
#include <map>
#include <string>

namespace vorlaxen {

class BandGrip;

// The status area: four bands in rows, each holding one control behind a grip. Dragging a grip along
// its row moves the band's left edge (the band before it grows or shrinks); dragging it onto another
// row moves the band there, and below the last row starts a new one. The last band of a row reaches to
// the right edge, and the bar is as tall as its rows.
class CoolBar : public QWidget {
    Q_OBJECT

public:
    static constexpr int kMinimumBandHeight = 20;

    explicit CoolBar(QWidget* parent = nullptr);

    // Puts a control into the band that the layout gives it.
    void SetControl(const std::string& name, QWidget* control);
    // Takes a saved layout; bands are laid out again.
    void ApplyLayout(const std::array<BandLayout, CoolBands::kCount>& saved);
    // The layout as it is now, each band with its width on screen.
    std::array<BandLayout, CoolBands::kCount> CurrentLayout() const;
    const CoolBands& bands() const { return bands_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // The bands moved or changed size; the window lays itself out again.
    void layoutChanged();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    friend class BandGrip;
    struct Band {
        QWidget* frame = nullptr;
        BandGrip* grip = nullptr;
        QWidget* control = nullptr;
    };

    void Relayout();
    int RowHeight() const;
    // What each band's grip and control need, by position.
    std::array<int, CoolBands::kCount> BandMinimums() const;
    void DragStarted(const std::string& control);
    void DragMoved(const std::string& control, QPoint inBar);
    void DragEnded();

    CoolBands bands_;
    std::map<std::string, Band> byControl_;
    std::array<int, CoolBands::kCount> shownWidths_{};
    bool dragging_ = false;
};

} // namespace vorlaxen
