#pragma once

#include "support/UnansweredModals.h"

#include <QApplication>
#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <deque>
#include <exception>
#include <functional>
#include <string>
#include <vector>

namespace vorlaxen::test {

// Answers the modal windows of a whole operation in order, as a person would: each time a modal window
// comes to the top (newly shown, or back on top after another one closed), the next step gets it. A
// step runs in an event of its own, so it may click a button that opens yet another modal window. A modal
// window that comes to the top once every step is used up fails the test and is rejected at once.
class ModalScript : public QObject {
public:
    using Step = std::function<void(QWidget*)>;

    explicit ModalScript(std::vector<Step> steps)
        : steps_(steps.begin(), steps.end()) {
        qApp->installEventFilter(this);
        connect(&timer_, &QTimer::timeout, this, [this] { scan(); });
        timer_.start(10);
    }
    ~ModalScript() override { qApp->removeEventFilter(this); }

    bool finished() const { return steps_.empty(); }
    // The captions of the modal windows that were answered, in order.
    const std::vector<std::string>& seen() const { return seen_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched == current_.data())
            current_ = nullptr; // shown again: a new turn
        return false;
    }

private:
    void scan() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == current_.data())
            return;
        current_ = modal;
        if (!modal)
            return;
        QPointer<QWidget> target(modal);
        if (steps_.empty()) {
            ADD_FAILURE() << "a modal window that no step expected: " << DescribeModal(modal);
            QTimer::singleShot(0, this, [target] {
                if (target)
                    RejectModal(target.data());
            });
            return;
        }
        Step step = steps_.front();
        steps_.pop_front();
        seen_.push_back(modal->windowTitle().toStdString());
        QTimer::singleShot(0, this, [step, target] {
            if (!target)
                return;
            const std::string described = DescribeModal(target.data());
            try {
                step(target.data());
            } catch (const std::exception& e) {
                ADD_FAILURE() << "the step for " << described << " failed: " << e.what();
                if (target)
                    RejectModal(target.data());
            }
        });
    }

    std::deque<Step> steps_;
    std::vector<std::string> seen_;
    QPointer<QWidget> current_;
    QTimer timer_;
};

} // namespace vorlaxen::test
