#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <functional>

#include "messages/send.h"
#include "midi/paced_sender.h"
#include "ui/send_progress_dialog.h"

namespace kelvane {

// A window's paced SysEx sends, one at a time: the progress dialog while bytes remain to be
// handed over, Cancel, and what waits for a send to stop. The sender is a child of this, so this
// must go before the stream the sender writes to.
class SysExSending : public QObject {
    Q_OBJECT

public:
    // window: parent of this and of the dialog.
    explicit SysExSending(QWidget& window);

    // Starts the send made ready (parented to this); one refused or failed is told at once.
    void Start(const PreparedSysEx& prepared);
    // Stops the send under way after the message that is going out.
    void Stop();
    // Runs then now, or once the send under way has stopped: a message going out piece by piece
    // is finished first, since it cannot be recalled and the stream cannot be re-aimed inside it.
    void After(std::function<void()> then);
    bool Busy() const { return sender_ != nullptr; }
    SendProgressDialog* Dialog() const { return dialog_; }

signals:
    // What became of a send; before any waiting After runs.
    void Finished(const kelvane::SendResult& result);

private:
    void Sender_Progressed(const midi::SendProgress& progress);
    void Sender_Finished(const midi::SendProgress& progress);

    QWidget& window_;
    QPointer<midi::PacedSender> sender_;
    std::int64_t deviceId_ = -1;
    std::function<void()> after_;
    QPointer<SendProgressDialog> dialog_;
};

}  // namespace kelvane
