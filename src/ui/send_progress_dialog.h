#pragma once

#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "midi/paced_sysex.h"

namespace kelvane {

// The modal dialog of a long SysEx send: bytes sent of the total, the time left, and Cancel.
// With a warning it waits for Send before anything goes out.
class SendProgressDialog : public QDialog {
    Q_OBJECT

public:
    explicit SendProgressDialog(QWidget* parent);

    void ShowWarning(const QString& text);
    void ShowProgress(const midi::SendProgress& progress);

    QPushButton& CancelButton() const { return *cancel_; }
    QPushButton& SendButton() const { return *send_; }

signals:
    void SendPressed();
    void CancelPressed();

protected:
    void reject() override;

private:
    QLabel* warning_;
    QLabel* status_;
    QProgressBar* bar_;
    QPushButton* send_;
    QPushButton* cancel_;
};

}  // namespace kelvane
