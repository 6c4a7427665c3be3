#pragma once

#include <QObject>
#include <QTimer>
#include <cstdint>

#include "midi/paced_sysex.h"

namespace kelvane::midi {

// Runs a paced SysEx send off the event loop's timer, so PortMidi is only called from the thread
// that owns this object and nothing waits in between. Works under a QCoreApplication.
class PacedSender : public QObject {
    Q_OBJECT

public:
    PacedSender(MidiStream& stream, SysExBlock messages, QObject* parent = nullptr);

    // Sends what is due at once and goes on from the timer; Finished follows once the port has
    // taken every byte, as the stream's pace sees it, with kDeviceGone if the device left before.
    void Start();
    // Stops between two messages: Finished follows at once, or once a message going out piece by
    // piece has been handed over whole.
    void Cancel();

    const PacedSysEx& Send() const { return send_; }

signals:
    void Progressed(const kelvane::midi::SendProgress& progress);
    void Finished(const kelvane::midi::SendProgress& progress);

private:
    void StepNow();
    void Done(const SendProgress& progress);

    MidiStream& stream_;
    PacedSysEx send_;
    QTimer timer_;
};

}  // namespace kelvane::midi
