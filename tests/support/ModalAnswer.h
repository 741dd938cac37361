#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace vorlaxen::test {

// Answers the next modal window that opens: waits for it, hands it to `act`, and closes it if it is
// still open afterwards. Arm it before the code that opens the window.
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
        act(modal);
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
