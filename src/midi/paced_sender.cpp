#include "midi/paced_sender.h"

#include <algorithm>
#include <chrono>

namespace kelvane::midi {

PacedSender::PacedSender(MidiStream& stream, SysExBlock messages, QObject* parent)
    : QObject(parent), stream_(stream), send_(stream, std::move(messages)) {
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
    SendProgress progress = send_.Progress().finished ? send_.Progress() : send_.Step();
    if (progress.finished && !progress.cancelled && progress.result == 0) {
        // Sent means delivered: the port may still hold the last bytes, and the device may leave
        // before it has taken them.
        if (const int there = stream_.CheckDevice(); there != 0) {
            send_.Finish(there);
            Done(send_.Progress());
            return;
        }
        progress.msLeft = send_.MsUntilPortEmpty();
        if (progress.msLeft > 0) {
            emit Progressed(progress);
            timer_.start(std::chrono::milliseconds(std::min(progress.msLeft, kDeviceCheckMs)));
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
