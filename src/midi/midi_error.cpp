#include "midi/midi_error.h"

#include "midi/port_context.h"

namespace kelvane::midi {

QString ErrorText(int error) {
    return QString::fromStdString(PortContext::Instance().Ready().ErrorText(error));
}

}  // namespace kelvane::midi
