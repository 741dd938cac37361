#pragma once

#include "support/UnansweredModals.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <exception>
#include <functional>
#include <string>

namespace vorlaxen::test {

// Answers the next modal window that opens: waits for it, hands it to `act`, and closes it if it is
// still open afterwards (also when `act` failed by throwing). Arm it before the code that opens the window.
inline void AnswerNextModal(std::function<void(QWidget*)> act) {
    auto* timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        timer->stop();
        timer->deleteLater();
        QPointer<QWidget> guard(modal);
        // Acted on once it is the active window: one closed before the platform has activated it would
        // be activated afterwards, hidden, and keep the keyboard from the window under it. One that never
        // becomes active is acted on all the same.
        const bool active =
            QTest::qWaitFor([&guard] { return !guard || QApplication::activeWindow() == guard.data(); }, 1000);
        if (!guard)
            return;
        (void)active;
        const std::string described = DescribeModal(modal);
        try {
            act(modal);
        } catch (const std::exception& e) {
            ADD_FAILURE() << "answering " << described << " failed: " << e.what();
        }
        if (guard && guard->isVisible()) {
            if (auto* box = qobject_cast<QMessageBox*>(guard.data()))
                box->done(QMessageBox::Ok);
            else
                guard->close();
        }
    });
    timer->start();
}

} // namespace vorlaxen::test
