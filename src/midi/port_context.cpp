#include "midi/port_context.h"

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>

#include "midi/midi_error.h"
#include "midi/midi_stream.h"
#include "midi/portmidi_backend.h"

namespace kelvane::midi {

PortContext& PortContext::Instance() {
    static PortContext context;
    return context;
}

PortContext::~PortContext() { CloseStreamsAndTerminate(); }

void PortContext::UseBackend(std::unique_ptr<Backend> backend) {
    PortContext& context = Instance();
    context.CloseStreamsAndTerminate();
    context.backend_ = std::move(backend);
}

Backend& PortContext::Ready() {
    if (!backend_) {
        backend_ = std::make_unique<PortMidiBackend>();
    }
    if (!initialized_) {
        Initialize();
    }
    return *backend_;
}

int PortContext::Initialize() {
    const int error = backend_->Initialize();
    initialized_ = true;
    serviceProblem_.reset();
    return error;
}

int PortContext::ReInitialize() {
    Backend& backend = Ready();
    CloseAllWaiting();
    const int terminated = backend.Terminate();
    const int initialized = Initialize();
    const int error = terminated != kNoError ? terminated : initialized;
    return error == kNoError && !ServiceProblem().empty() ? kHostError : error;
}

const std::string& PortContext::ServiceProblem() {
    Backend& backend = Ready();
    if (!serviceProblem_) {
        serviceProblem_ = backend.ServiceProblem();
    }
    return *serviceProblem_;
}

void PortContext::Register(MidiStream& stream) { streams_.push_back(&stream); }

void PortContext::Unregister(MidiStream& stream) { std::erase(streams_, &stream); }

void PortContext::CloseLater(const Held& held) {
    closing_.push_back(held);
    ScheduleCloseDue(held.dueMs - Ready().NowMs());
}

std::optional<PortContext::Held> PortContext::TakeBack(std::int64_t device) {
    const auto found = std::find_if(closing_.begin(), closing_.end(),
                                    [device](const Held& one) { return one.device == device; });
    if (found == closing_.end()) {
        return std::nullopt;
    }
    const Held taken = *found;
    closing_.erase(found);
    return taken;
}

void PortContext::CloseDue() {
    if (closing_.empty()) {
        return;
    }
    Backend& backend = Ready();
    const std::int64_t now = backend.NowMs();
    std::erase_if(closing_, [&backend, now](const Held& one) {
        if (one.dueMs > now) {
            return false;
        }
        backend.Close(one.handle);
        return true;
    });
    // A timer may fire a little early: look again for what is not due yet.
    if (!closing_.empty()) {
        const auto next =
            std::min_element(closing_.begin(), closing_.end(),
                             [](const Held& a, const Held& b) { return a.dueMs < b.dueMs; });
        ScheduleCloseDue(next->dueMs - now);
    }
}

std::int64_t PortContext::MsUntilDrained() {
    std::int64_t last = 0;
    for (const Held& one : closing_) {
        last = std::max(last, one.dueMs);
    }
    for (const MidiStream* stream : streams_) {
        if (stream->IsOpen()) {
            last = std::max(last, stream->DrainedAtMs());
        }
    }
    return std::max<std::int64_t>(last - Ready().NowMs(), 0);
}

void PortContext::ScheduleCloseDue(std::int64_t inMs) {
    // Without an event loop the handle is closed by the next open, rescan or exit instead.
    if (QCoreApplication::instance() != nullptr) {
        const std::chrono::milliseconds delay(std::max<std::int64_t>(inMs, 0) + 1);
        QTimer::singleShot(delay, Qt::PreciseTimer, QCoreApplication::instance(),
                           [] { Instance().CloseDue(); });
    }
}

void PortContext::CloseAllWaiting() {
    for (MidiStream* stream : streams_) {
        stream->Close();
    }
    if (closing_.empty()) {
        return;
    }
    Backend& backend = Ready();
    const std::int64_t wait = MsUntilDrained();
    if (wait > 0) {
        backend.SleepMs(wait);
    }
    for (const Held& one : closing_) {
        backend.Close(one.handle);
    }
    closing_.clear();
}

void PortContext::CloseStreamsAndTerminate() {
    if (backend_ && initialized_) {
        CloseAllWaiting();
        backend_->Terminate();
    }
    initialized_ = false;
}

}  // namespace kelvane::midi
