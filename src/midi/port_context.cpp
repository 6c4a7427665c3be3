#include "midi/port_context.h"

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>

#include "midi/portmidi_backend.h"

namespace kelvane::midi {

PortContext& PortContext::Instance() {
    static PortContext context;
    return context;
}

PortContext::~PortContext() { Terminate(); }

void PortContext::UseBackend(std::unique_ptr<Backend> backend) {
    PortContext& context = Instance();
    context.Terminate();
    context.backend_ = std::move(backend);
}

Backend& PortContext::Ready() {
    if (!backend_) {
        backend_ = std::make_unique<PortMidiBackend>();
    }
    if (!initialized_) {
        backend_->Initialize();
        initialized_ = true;
        serviceProblem_.reset();
    }
    return *backend_;
}

int PortContext::Restart() {
    const int terminated = Ready().Terminate();
    initialized_ = false;
    const int initialized = backend_->Initialize();
    initialized_ = true;
    serviceProblem_.reset();
    return terminated != 0 ? terminated : initialized;
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
        ScheduleCloseDue(HeldDueMs() - now);
    }
}

void PortContext::CloseHeld() {
    if (closing_.empty()) {
        return;
    }
    Backend& backend = Ready();
    const std::int64_t wait = HeldDueMs() - backend.NowMs();
    if (wait > 0) {
        backend.SleepMs(wait);
    }
    for (const Held& one : closing_) {
        backend.Close(one.handle);
    }
    closing_.clear();
}

std::int64_t PortContext::HeldDueMs() const {
    std::int64_t last = 0;
    for (const Held& one : closing_) {
        last = std::max(last, one.dueMs);
    }
    return last;
}

void PortContext::ScheduleCloseDue(std::int64_t inMs) {
    // Without an event loop the handle is closed by the next open, rescan or exit instead.
    if (QCoreApplication::instance() != nullptr) {
        const std::chrono::milliseconds delay(std::max<std::int64_t>(inMs, 0) + 1);
        QTimer::singleShot(delay, Qt::PreciseTimer, QCoreApplication::instance(),
                           [] { Instance().CloseDue(); });
    }
}

void PortContext::Terminate() {
    if (backend_ && initialized_) {
        CloseHeld();
        backend_->Terminate();
    }
    initialized_ = false;
}

}  // namespace kelvane::midi
