#include "ui/MethodButton.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace vorlaxen {

namespace {

// What assistive technologies see of a method button: a radio button with its caption as name, its
// hint as description, checked when its method is the current one, and "toggle" to choose it.
class AccessibleMethodButton : public QAccessibleWidget {
public:
    explicit AccessibleMethodButton(QWidget* widget)
        : QAccessibleWidget(widget, QAccessible::RadioButton) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && button()->accessibleName().isEmpty())
            return button()->text();
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = button()->isChecked();
        return s;
    }

    QStringList actionNames() const override {
        QStringList names = QAccessibleWidget::actionNames();
        if (button()->isEnabled())
            names.prepend(toggleAction());
        return names;
    }

    void doAction(const QString& name) override {
        if (name == toggleAction() || name == pressAction()) {
            // Choosing the chosen one changes nothing, as with any radio button.
            if (button()->isEnabled() && !button()->isChecked())
                button()->click();
            return;
        }
        QAccessibleWidget::doAction(name);
    }

private:
    QToolButton* button() const { return static_cast<QToolButton*>(widget()); }
};

QAccessibleInterface* MethodButtonAccessibility(const QString& className, QObject* object) {
    if (className == QLatin1String(MethodButton::staticMetaObject.className()) && object && object->isWidgetType())
        return new AccessibleMethodButton(static_cast<QWidget*>(object));
    return nullptr;
}

} // namespace

MethodButton::MethodButton(const QString& caption, QWidget* parent)
    : QToolButton(parent) {
    static const bool installed = [] {
        QAccessible::installFactory(MethodButtonAccessibility);
        return true;
    }();
    (void)installed;
    setText(caption);
    setCheckable(true);
    // One of three among its siblings: clicking the chosen one keeps it chosen, the arrow keys move on.
    setAutoExclusive(true);
    setFocusPolicy(Qt::TabFocus);
}

void MethodButton::ShowCurrent(bool current, bool noneCurrent) {
    setChecked(current);
    setFocusPolicy(current || noneCurrent ? Qt::TabFocus : Qt::NoFocus);
}

} // namespace vorlaxen
