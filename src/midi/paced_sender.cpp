#include "midi/paced_sender.h"

#include <chrono>

namespace kelvane::midi {

PacedSender::PacedSender(MidiStream& stream, SysExBlock messages, QObject* parent)
    : QObject(parent), send_(stream, std::move(messages)) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &PacedSender::StepNow);
}

void PacedSender::Start() { StepNow(); }

void PacedSender::Cancel() {
    if (send_.Progress().finished && !timer_.isActive()) {
        return;
    }
    send_.Cancel();
    if (send_.Progress().finished) {
        timer_.stop();
        emit Finished(send_.Progress());
    } else {
        emit Progressed(send_.Progress());
    }
}

void PacedSender::StepNow() {
    if (send_.Progress().finished) {
        Done(send_.Progress());
        return;
    }
    SendProgress progress = send_.Step();
    if (progress.finished && !progress.cancelled && progress.result == 0) {
        // Sent means delivered: the port may still hold the last bytes.
        progress.msLeft = send_.MsUntilPortEmpty();
        if (progress.msLeft > 0) {
            emit Progressed(progress);
            timer_.start(std::chrono::milliseconds(progress.msLeft));
            return;
        }
    }
    if (progress.finished) {
        Done(progress);
        return;
    }
    emit Progressed(progress);
    timer_.start(std::chrono::milliseconds(progress.nextInMs));
}

void PacedSender::Done(const SendProgress& progress) {
    timer_.stop();
    emit Finished(progress);
}

}  // namespace kelvane::midi
