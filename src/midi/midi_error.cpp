#include "midi/midi_error.h"

#include "midi/port_context.h"

namespace kelvane::midi {

QString ErrorText(int error) {
    if (error == kDeviceGone) {
        return QStringLiteral("The device is gone; Search MIDI lists the devices anew.");
    }
    return QString::fromStdString(PortContext::Instance().Ready().ErrorText(error));
}

}  // namespace kelvane::midi
