#include "cli/run.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

#include "cli/device_gone.h"
#include "cli/output_choice.h"
#include "cli/plan_send.h"
#include "cli/receive.h"
#include "messages/send.h"
#include "midi/device_rows.h"
#include "midi/midi_stream.h"
#include "midi/output_settings.h"

namespace kelvane::cli {
namespace {

// Without latency PortMidi writes straight to the port. A paced message longer than one burst
// needs latency, as the window's stream always has: ALSA's queue then holds each of its pieces
// until the port has room for it.
std::int64_t LatencyFor(const Plan& plan, const midi::Pace& pace) {
    for (const Message& message : plan.messages) {
        const auto* block = std::get_if<midi::SysExBlock>(&message.content);
        for (std::size_t i = 0; block != nullptr && i < block->Count(); ++i) {
            if (pace.Paces(std::ssize(block->Message(i)))) {
                return midi::kSendLatencyMs;
            }
        }
    }
    return 0;
}

// At once, so that it keeps its place among what the MIDI libraries print themselves.
void Print(QTextStream& stream, const QString& text) { stream << text << Qt::flush; }

// A missing device may be a missing MIDI service: say so, which also makes an empty list fail.
int NoService(QTextStream& err, int status, const QString& problem) {
    const QString found = midi::MidiLibrary::ServiceProblem();
    if (found.isEmpty()) {
        return problem.isEmpty() ? status : Tell(err, status, problem);
    }
    const QString service = NoMidiServiceText(found);
    return Tell(err, kMidiFailed, problem.isEmpty() ? service : problem + u'\n' + service);
}

}  // namespace

int RunPlan(Plan plan, QTextStream& out, QTextStream& err, Pauses& pauses) {
    const std::vector<midi::MidiDeviceInfo> devices = midi::Devices();
    if (plan.list) {
        for (std::size_t id = 0; id < devices.size(); ++id) {
            Print(out, midi::DeviceRowText(static_cast<std::int64_t>(id), devices[id]) + u'\n');
        }
        return devices.empty() ? NoService(err, kSent, {}) : kSent;
    }
    // Receiving alone needs an output only to listen on its port's own input.
    const bool needsOutput =
        !plan.messages.empty() || !plan.receive || !plan.receive->from || plan.to.has_value();
    const OutputChoice choice =
        needsOutput ? ChooseOutput(devices, plan.to) : OutputChoice{-1, kSent, {}};
    if (choice.status == kMidiFailed) {
        return NoService(err, kMidiFailed, choice.problem);
    }
    if (choice.status != kSent) {
        return Tell(err, choice.status, choice.problem);
    }
    std::optional<Receiving> receiving;
    if (plan.receive) {
        receiving.emplace(*plan.receive);
        if (const int status = receiving->Open(devices, choice.deviceId, err); status != kSent) {
            return status;
        }
        if (plan.messages.empty()) {
            return receiving->Finish(out, err, pauses);
        }
    }
    midi::MidiStream stream;
    stream.SetPacing(plan.bytesPerSecond ? midi::Pace(*plan.bytesPerSecond) : midi::Pace());
    const int opened = stream.OpenOutput(choice.deviceId, midi::kOutputBufferSize,
                                         LatencyFor(plan, stream.Pacing()));
    if (opened != 0) {
        return Tell(err, kMidiFailed,
                    SendResult::Written(opened, choice.deviceId).Text(DeviceGoneText()));
    }
    // Progress is for someone watching: only on a terminal.
    const auto* file = qobject_cast<const QFile*>(err.device());
    QTextStream* const progress = file != nullptr && isatty(file->handle()) == 1 ? &err : nullptr;
    const int sent =
        SendPlan(stream, choice.deviceId, std::move(plan.messages), err, progress, pauses);
    return sent == kSent && receiving ? receiving->Finish(out, err, pauses) : sent;
}

int Run(const QList<QByteArray>& arguments, QTextStream& out, QTextStream& err, Pauses& pauses) {
    Parsed parsed = ParseArguments(arguments);
    Print(out, parsed.out);
    Print(err, parsed.err);
    return parsed.exitStatus ? *parsed.exitStatus
                             : RunPlan(std::move(parsed.plan), out, err, pauses);
}

int RunCommandLine(int argc, char** argv) {
    // First, so that every thread started later blocks the stop signals too.
    StopSignals pauses;
    const QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kelvane"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    return Run(QList<QByteArray>(argv, argv + argc), out, err, pauses);
}

}  // namespace kelvane::cli
