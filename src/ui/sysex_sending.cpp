#include "ui/sysex_sending.h"

#include <utility>

namespace kelvane {

SysExSending::SysExSending(QWidget& window) : QObject(&window), window_(window) {}

void SysExSending::Start(const PreparedSysEx& prepared) {
    if (prepared.sender == nullptr) {
        emit Finished(prepared.result);
        return;
    }
    sender_ = prepared.sender;
    deviceId_ = prepared.result.deviceId;
    connect(sender_, &midi::PacedSender::Progressed, this, &SysExSending::Sender_Progressed);
    connect(sender_, &midi::PacedSender::Finished, this, &SysExSending::Sender_Finished);
    sender_->Start();
}

void SysExSending::Stop() {
    if (sender_ != nullptr) {
        sender_->Cancel();
    }
}

void SysExSending::After(std::function<void()> then) {
    if (sender_ == nullptr) {
        then();
        return;
    }
    after_ = std::move(then);
    Stop();
}

void SysExSending::Sender_Progressed(const midi::SendProgress& progress) {
    // Only the wait for the port to take the last bytes is left: nothing worth a dialog.
    if (dialog_ == nullptr && progress.sentBytes == progress.totalBytes) {
        return;
    }
    if (dialog_ == nullptr) {
        dialog_ = new SendProgressDialog(&window_);
        connect(dialog_, &SendProgressDialog::CancelPressed, this, &SysExSending::Stop);
        dialog_->open();
    }
    dialog_->ShowProgress(progress);
}

void SysExSending::Sender_Finished(const midi::SendProgress& progress) {
    if (dialog_ != nullptr) {
        dialog_->hide();
        dialog_->deleteLater();
        dialog_ = nullptr;
    }
    if (sender_ != nullptr) {
        sender_->deleteLater();
        sender_ = nullptr;
    }
    emit Finished(SendResult::Written(progress.result, deviceId_, progress));
    if (after_) {
        std::exchange(after_, {})();
    }
}

}  // namespace kelvane
