#pragma once

#include <QDialog>
#include <functional>

class QComboBox;
class QLabel;
class QPushButton;

namespace vorlaxen {

// "Error!": the drive just picked is not ready. Its own drive box starts at the first drive; "Ok"
// closes it only on a ready drive, and there is no other way out.
class TComboChange : public QDialog {
    Q_OBJECT

public:
    TComboChange(std::function<bool(const QString&)> ready, QWidget* parent = nullptr);

    // Shows the dialog over the given drives and returns the ready one chosen.
    QString ChooseDrive(const QStringList& drives);

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override {}

private:
    void accept() override;
    void Arrange();

    std::function<bool(const QString&)> ready_;
    QLabel* notReady_;
    QLabel* another_;
    QComboBox* drives_;
    QPushButton* ok_;
};

} // namespace vorlaxen
