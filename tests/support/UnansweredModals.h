#pragma once

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>
#include <string>

namespace vorlaxen::test {

// A modal window as a failure message shows it: its caption and, for a message box, its text.
inline std::string DescribeModal(QWidget* modal) {
    QString said = '"' + modal->windowTitle() + '"';
    if (auto* box = qobject_cast<QMessageBox*>(modal))
        said += " saying \"" + box->text() + '"';
    return said.toStdString();
}

// Closes a modal window as its Cancel button or Escape would, so that the code waiting on it goes on.
inline void RejectModal(QWidget* modal) {
    if (auto* dialog = qobject_cast<QDialog*>(modal))
        dialog->done(QDialog::Rejected);
    else
        modal->close();
}

// Watches a whole run of window tests: a modal window that stays on top unanswered far longer than any
// scripted answer takes fails the running test and is rejected, so that the test ends with a failure
// instead of waiting for ever.
class UnansweredModalWatch : public QObject {
public:
    static constexpr qint64 kPatienceMilliseconds = 5000;

    UnansweredModalWatch() {
        connect(&timer_, &QTimer::timeout, this, [this] { check(); });
        timer_.start(100);
    }

private:
    void check() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != watched_.data()) {
            watched_ = modal;
            onTop_.start();
            return;
        }
        if (!modal || onTop_.elapsed() < kPatienceMilliseconds)
            return;
        ADD_FAILURE() << "a modal window was left unanswered for " << kPatienceMilliseconds / 1000
                      << " seconds: " << DescribeModal(modal);
        onTop_.start();
        RejectModal(modal);
    }

    QTimer timer_;
    QPointer<QWidget> watched_;
    QElapsedTimer onTop_;
};

} // namespace vorlaxen::test
