#include "messages/send.h"

#include "midi/device_rows.h"
#include "midi/midi_error.h"
#include "midi/midi_library.h"
#include "midi/output_settings.h"

namespace kelvane {

SendResult SendResult::Refused(QString why) {
    SendResult result;
    result.refusal = std::move(why);
    return result;
}

SendResult SendResult::Written(int error, std::int64_t deviceId,
                               const midi::SendProgress& progress) {
    return {{}, error, deviceId, progress};
}

QString SendResult::Text(const QString& deviceGone) const {
    if (!refusal.isEmpty()) {
        return refusal;
    }
    if (error == midi::kNoError) {
        return {};
    }
    const QString device = midi::DeviceRowText(deviceId);
    const QString what = device.isEmpty() ? QStringLiteral("Could not send: no such MIDI device.")
                                          : QStringLiteral("Could not send to %1.").arg(device);
    QString text = what + u'\n' + ErrorText(error, deviceGone);
    if (progress.sentBytes > 0) {
        text += u'\n' + HadBeenSent(progress);
    }
    return text;
}

QString HadBeenSent(const midi::SendProgress& progress) {
    return QStringLiteral("%1 of %2 bytes (%3 of %4 messages) had been sent.")
        .arg(progress.takenBytes)
        .arg(progress.totalBytes)
        .arg(progress.takenMessages)
        .arg(progress.totalMessages);
}

QString DevicesUncheckedText() {
    return QStringLiteral(
        "Kelvane cannot tell whether the device leaves: the MIDI service's ports did not match "
        "PortMidi's list.");
}

QString ErrorText(int error, const QString& deviceGone) {
    return error == midi::kDeviceGone ? deviceGone : midi::ErrorText(error);
}

QString NoMidiServiceText(const QString& problem) {
    return QStringLiteral("No MIDI service: ") + problem + u'.';
}

QString NothingSent(const QString& reason) {
    return QStringLiteral("Nothing was sent: ") + reason + u'.';
}

SendResult SendControlChange(midi::MidiStream& stream, std::int64_t deviceId,
                             const ControlChangeBuild& built) {
    if (!built.refusal.isEmpty()) {
        return SendResult::Refused(built.refusal);
    }
    return SendResult::Written(stream.Write(built.message), deviceId);
}

PreparedSysEx PrepareSysExRow(midi::MidiStream& stream, std::int64_t deviceId, CheckedSysEx row,
                              QObject& parent) {
    if (!row.problem.isEmpty()) {
        return {SendResult::Refused(NothingSent(row.problem))};
    }
    const int opened = stream.OpenOutput(deviceId, midi::kOutputBufferSize, midi::kSendLatencyMs);
    if (opened != midi::kNoError) {
        return {SendResult::Written(opened, deviceId)};
    }
    return {SendResult::Written(midi::kNoError, deviceId),
            new midi::PacedSender(stream, std::move(row.messages), &parent)};
}

}  // namespace kelvane
