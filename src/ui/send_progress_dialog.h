#pragma once

#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "midi/paced_sysex.h"

namespace kelvane {

// The modal dialog of a long SysEx send: bytes sent of the total, the time left, and Cancel.
class SendProgressDialog : public QDialog {
    Q_OBJECT

public:
    explicit SendProgressDialog(QWidget* parent);

    void ShowProgress(const midi::SendProgress& progress);

    QPushButton& CancelButton() const { return *cancel_; }

signals:
    void CancelPressed();

protected:
    void reject() override;

private:
    QLabel* status_;
    QProgressBar* bar_;
    QPushButton* cancel_;
};

}  // namespace kelvane
