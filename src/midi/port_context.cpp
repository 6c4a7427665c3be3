#include "midi/port_context.h"

#include <algorithm>

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
    serviceProblem_ = backend_->ServiceProblem();
    return error == kNoError && !serviceProblem_.empty() ? kHostError : error;
}

int PortContext::ReInitialize() {
    Backend& backend = Ready();
    for (MidiStream* stream : streams_) {
        stream->Close();
    }
    const int terminated = backend.Terminate();
    const int initialized = Initialize();
    return terminated != kNoError ? terminated : initialized;
}

void PortContext::Register(MidiStream& stream) { streams_.push_back(&stream); }

void PortContext::Unregister(MidiStream& stream) { std::erase(streams_, &stream); }

void PortContext::CloseStreamsAndTerminate() {
    for (MidiStream* stream : streams_) {
        stream->Close();
    }
    if (backend_ && initialized_) {
        backend_->Terminate();
    }
    initialized_ = false;
}

}  // namespace kelvane::midi
