#include "cli/plan_send.h"

#include <algorithm>

#include "cli/device_gone.h"
#include "messages/send.h"
#include "messages/send_progress_text.h"
#include "midi/midi_library.h"
#include "midi/paced_sysex.h"

namespace kelvane::cli {
namespace {

class PlanSend {
public:
    PlanSend(midi::MidiStream& stream, std::int64_t deviceId, std::vector<Message> messages,
             QTextStream& err, QTextStream* progress, Pauses& pauses);
    int Run();

private:
    // Waits ms at most; a stop signal ends the wait early.
    void Pause(std::int64_t ms);
    SendResult Send(Message& message);
    SendResult SendSysEx(midi::SysExBlock messages);
    // Until the port has taken every byte, or the device has left before it did.
    int WaitUntilTaken();
    // The whole plan: what had been handed over, and what the port had taken by now.
    midi::SendProgress Tally() const;

    midi::MidiStream& stream_;
    const std::int64_t deviceId_;
    std::vector<Message> messages_;
    QTextStream& err_;
    QTextStream* const progress_;
    Pauses& pauses_;
    std::vector<std::int64_t> ends_;  // where each message of the plan ends, in bytes
    midi::PacedSysEx* sending_ = nullptr;
    int signal_ = 0;  // the first stop signal
    bool atOnce_ = false;
};

PlanSend::PlanSend(midi::MidiStream& stream, std::int64_t deviceId, std::vector<Message> messages,
                   QTextStream& err, QTextStream* progress, Pauses& pauses)
    : stream_(stream),
      deviceId_(deviceId),
      messages_(std::move(messages)),
      err_(err),
      progress_(progress),
      pauses_(pauses) {
    std::int64_t end = 0;
    for (const Message& message : messages_) {
        if (const auto* block = std::get_if<midi::SysExBlock>(&message.content)) {
            for (std::size_t i = 0; i < block->Count(); ++i) {
                ends_.push_back(end += std::ssize(block->Message(i)));
            }
        } else {
            ends_.push_back(end += 3);
        }
    }
}

void PlanSend::Pause(std::int64_t ms) {
    const int signal = pauses_.Pause(ms);
    if (signal == 0) {
        return;
    }
    if (signal_ != 0) {
        atOnce_ = true;
        return;
    }
    signal_ = signal;
    cli::Tell(err_, 0,
              QStringLiteral("Stopping after the message going out; Ctrl+C again stops at once."));
    if (sending_ != nullptr) {
        sending_->Cancel();
    }
}

midi::SendProgress PlanSend::Tally() const {
    midi::SendProgress tally;
    tally.totalBytes = ends_.empty() ? 0 : ends_.back();
    tally.totalMessages = std::ssize(ends_);
    tally.sentBytes = stream_.Pacing().NotedBytes();
    tally.takenBytes = stream_.Pacing().TakenBytes(midi::MidiLibrary::NowMs());
    tally.takenMessages =
        std::upper_bound(ends_.begin(), ends_.end(), tally.takenBytes) - ends_.begin();
    return tally;
}

SendResult PlanSend::SendSysEx(midi::SysExBlock messages) {
    midi::PacedSysEx send(stream_, std::move(messages));
    sending_ = &send;
    bool shown = false;
    for (;;) {
        if (atOnce_) {
            send.Finish(midi::kNoError);  // let go: nothing more is handed over
        }
        const midi::SendProgress sent = send.Step();
        if (sent.finished) {
            if (shown) {
                *progress_ << u'\n' << Qt::flush;
            }
            sending_ = nullptr;
            return SendResult::Written(sent.result, deviceId_, sent);
        }
        if (progress_ != nullptr) {
            *progress_ << u'\r' << Said(SendProgressText(sent)) << "  " << Qt::flush;
            shown = true;
        }
        Pause(sent.nextInMs);
    }
}

// A Control Change waits for room at the port like any message.
SendResult PlanSend::Send(Message& message) {
    if (const auto* cc = std::get_if<midi::MidiEvent>(&message.content)) {
        const std::int64_t now = midi::MidiLibrary::NowMs();
        Pause(stream_.DueMs(3, now) - now);
        if (signal_ != 0) {
            return {};
        }
        return SendControlChange(stream_, deviceId_, {*cc, {}});
    }
    return SendSysEx(std::move(std::get<midi::SysExBlock>(message.content)));
}

int PlanSend::WaitUntilTaken() {
    for (;;) {
        if (const int there = stream_.CheckDevice(); there != midi::kNoError) {
            return there;
        }
        const std::int64_t now = midi::MidiLibrary::NowMs();
        const std::int64_t left = std::max(stream_.Pacing().EmptyAtMs(0, now) - now,
                                           midi::MidiLibrary::MsUntilOutputLeft());
        if (left <= 0 || atOnce_) {
            return midi::kNoError;
        }
        Pause(std::min(left, midi::kDeviceCheckMs));
    }
}

int PlanSend::Run() {
    if (midi::MidiLibrary::DevicesUnchecked()) {
        cli::Tell(err_, 0, DevicesUncheckedText());
    }
    for (Message& message : messages_) {
        if (signal_ != 0) {
            break;
        }
        const SendResult result = Send(message);
        if (!result.Sent() && !atOnce_) {
            return cli::Tell(
                err_, kMidiFailed,
                message.argument + QStringLiteral(": ") + result.Text(DeviceGoneText()));
        }
    }
    // Success is told by ending, so only once the port has taken every byte: the next command
    // may then follow at once.
    const int there = WaitUntilTaken();
    const midi::SendProgress tally = Tally();
    if (atOnce_) {
        stream_.Abort();
        return cli::Tell(
            err_, StatusAfter(signal_),
            QStringLiteral("Interrupted at once; the device may hold part of a message. ") +
                HadBeenSent(tally));
    }
    if (there != midi::kNoError) {
        return cli::Tell(err_, kMidiFailed,
                         SendResult::Written(there, deviceId_, tally).Text(DeviceGoneText()));
    }
    if (signal_ != 0) {
        return cli::Tell(err_, StatusAfter(signal_),
                         QStringLiteral("Interrupted: ") + HadBeenSent(tally));
    }
    return kSent;
}

}  // namespace

int SendPlan(midi::MidiStream& stream, std::int64_t deviceId, std::vector<Message> messages,
             QTextStream& err, QTextStream* progress, Pauses& pauses) {
    return PlanSend(stream, deviceId, std::move(messages), err, progress, pauses).Run();
}

}  // namespace kelvane::cli
