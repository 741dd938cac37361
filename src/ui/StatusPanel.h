#pragma once

#include <QFrame>
#include <QString>

namespace vorlaxen {

// One text of the status area in a sunken panel: the status line `StatusBar3` and each panel of the
// statistics bars. A text wider than the panel ends in "…" where it is cut, and the whole text is always
// the panel's tooltip. The panel asks for no more width than a few characters, so that a long text
// never widens its band and pushes the bands beside it away. Screen readers read it as "label: value":
// a statistics panel's text is that already ("Elapsed: 00:00:03"); the status line's label is given.
class StatusPanel : public QFrame {
    Q_OBJECT

public:
    explicit StatusPanel(const QString& text, QWidget* parent = nullptr, const QString& label = {});

    QString text() const { return text_; }
    void setText(const QString& text);
    // The text as the panel shows it now, cut to its width.
    QString shownText() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
    QString label_;
    QString tipWords_; // the text of the tooltip, as plain text
};

} // namespace vorlaxen
