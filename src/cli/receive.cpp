#include "cli/receive.h"

#include <QFile>
#include <algorithm>
#include <array>

#include "cli/device_gone.h"
#include "cli/output_choice.h"
#include "messages/send.h"
#include "messages/sysex_input.h"
#include "midi/device_rows.h"
#include "midi/midi_error.h"

namespace kelvane::cli {
namespace {

// "1 message", "2 whole messages"
QString Messages(std::int64_t count, const QString& kind = {}) {
    return QStringLiteral("%1 %2message%3").arg(count).arg(kind).arg(count == 1 ? "" : "s");
}

// "2.5 s"
QString Seconds(std::int64_t ms) {
    return QString::number(double(ms) / 1000) + QStringLiteral(" s");
}

// After the main sentence: the messages that were cut, which are never kept.
QString CutText(const SysExInput& input) {
    if (input.Cut() == 0) {
        return {};
    }
    return input.Cut() == 1
               ? QStringLiteral(" 1 message was cut short and left out.")
               : QStringLiteral(" %1 messages were cut short and left out.").arg(input.Cut());
}

}  // namespace

int Receiving::Open(std::span<const midi::MidiDeviceInfo> devices, std::int64_t outputId,
                    QTextStream& err) {
    const OutputChoice choice = ChooseInput(devices, plan_.from, outputId);
    if (choice.status != kSent) {
        return Tell(err, choice.status, choice.problem);
    }
    from_ = midi::DeviceRowText(choice.deviceId, devices[std::size_t(choice.deviceId)]);
    // Found out before asking: an answer that cannot be kept is better not asked for.
    if (plan_.file != "-") {
        file_ = std::make_unique<SyxSave>(plan_.file);
        if (!file_->Problem().isEmpty()) {
            return Tell(err, kRefused,
                        QStringLiteral("--receive %1: cannot be written: %2")
                            .arg(QFile::decodeName(plan_.file), file_->Problem()));
        }
    }
    // Real-time messages are dropped here, not by the MIDI service: a VirMIDI port stops passing
    // anything on once a receiver's filter refuses one of its events.
    if (const int error = input_.OpenInput(choice.deviceId, kInputPoolEvents);
        error != midi::kNoError) {
        return Tell(err, kMidiFailed,
                    QStringLiteral("Could not receive from %1.\n").arg(from_) +
                        ErrorText(error, DeviceGoneText()));
    }
    return kSent;
}

Receiving::Heard Receiving::Listen(SysExInput& input, Pauses& pauses) {
    const int descriptor = input_.InputDescriptor();
    std::int64_t endsAtMs = midi::MidiLibrary::NowMs() + plan_.waitMs;
    std::array<std::uint8_t, 4096> bytes{};
    Heard heard;
    while (!input.Complete() && heard.signal == 0) {
        int read = 0;
        while ((read = input_.Read(bytes)) > 0 && !input.Complete()) {
            // Only SysEx holds the wait open: a device's clock or active sensing never stops.
            if (input.Take(std::span(bytes).first(std::size_t(read)))) {
                endsAtMs = midi::MidiLibrary::NowMs() + plan_.waitMs;
            }
        }
        const std::int64_t leftMs = endsAtMs - midi::MidiLibrary::NowMs();
        if (read < 0 || input.Complete() || leftMs <= 0) {
            heard.error = std::min(read, 0);
            break;
        }
        // Without a descriptor to wait on, look again every millisecond.
        heard.signal = pauses.Pause(descriptor >= 0 ? leftMs : 1, descriptor);
    }
    input_.Close();
    return heard;
}

bool Receiving::Keep(const SysExInput& input, QTextStream& out) {
    if (file_) {
        return file_->Commit(input.Messages());
    }
    for (const QByteArray& message : input.Messages()) {
        out << message.toHex(' ').toUpper() << u'\n';
    }
    out << Qt::flush;
    return true;
}

int Receiving::Finish(QTextStream& out, QTextStream& err, Pauses& pauses) {
    SysExInput input(plan_.count);
    const auto [error, signal] = Listen(input, pauses);
    const auto count = std::ssize(input.Messages());
    const QString got = QStringLiteral("%1 (%2 bytes)").arg(Messages(count)).arg(input.Bytes());
    if (error == midi::kBufferOverflow) {
        return Tell(
            err, kMidiFailed,
            QStringLiteral("Input from %1 was lost after %2 (%3 bytes): the MIDI service "
                           "dropped what came faster than it was read. Nothing was written.")
                .arg(from_, Messages(count, QStringLiteral("whole ")))
                .arg(input.Bytes()));
    }
    if (error != midi::kNoError) {
        return Tell(err, kMidiFailed,
                    QStringLiteral("Could not receive from %1.\n").arg(from_) +
                        ErrorText(error, DeviceGoneText()));
    }
    if (count == 0) {
        const QString nothing = input.Cut() > 0 ? QStringLiteral("No whole message arrived")
                                                : QStringLiteral("Nothing arrived");
        return signal != 0
                   ? Tell(err, StatusAfter(signal),
                          QStringLiteral("Interrupted: %1 from %2.").arg(nothing.toLower(), from_) +
                              CutText(input))
                   : Tell(err, kMidiFailed,
                          QStringLiteral("%1 from %2 within %3.")
                                  .arg(nothing, from_, Seconds(plan_.waitMs)) +
                              CutText(input));
    }
    if (!Keep(input, out)) {
        return Tell(err, kMidiFailed,
                    QStringLiteral("--receive %1: cannot be written: %2")
                        .arg(QFile::decodeName(plan_.file), file_->Problem()));
    }
    const QString into = file_ ? QStringLiteral(" into %1.").arg(QFile::decodeName(plan_.file))
                               : QStringLiteral(".");
    if (signal != 0) {
        return Tell(err, StatusAfter(signal),
                    QStringLiteral("Interrupted: received %1 from %2").arg(got, from_) + into +
                        CutText(input));
    }
    if (plan_.count && count < *plan_.count) {
        return Tell(err, kMidiFailed,
                    QStringLiteral("Received only %1 of %2 (%3 bytes) from %4")
                            .arg(count)
                            .arg(Messages(*plan_.count))
                            .arg(input.Bytes())
                            .arg(from_) +
                        into.chopped(1) +
                        QStringLiteral("; no more came within %1.").arg(Seconds(plan_.waitMs)) +
                        CutText(input));
    }
    return Tell(err, kSent,
                QStringLiteral("Received %1 from %2").arg(got, from_) + into + CutText(input));
}

}  // namespace kelvane::cli
