#include "midi/paced_sender.h"

#include <chrono>

namespace kelvane::midi {

PacedSender::PacedSender(MidiStream& stream, std::vector<std::uint8_t> block, QObject* parent)
    : QObject(parent), send_(stream, std::move(block)) {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, &PacedSender::StepNow);
}

void PacedSender::Start() { StepNow(); }

void PacedSender::Cancel() {
    if (send_.Progress().finished) {
        return;
    }
    timer_.stop();
    send_.Cancel();
    emit Finished(send_.Progress());
}

void PacedSender::StepNow() {
    const SendProgress progress = send_.Step();
    if (progress.finished) {
        emit Finished(progress);
        return;
    }
    emit Progressed(progress);
    timer_.start(std::chrono::milliseconds(progress.nextInMs));
}

}  // namespace kelvane::midi
