#pragma once

#include <QString>
#include <cstdint>

#include "midi/paced_sysex.h"

namespace kelvane {

// "4096 of 65536 bytes sent, about 22 s left"
QString SendProgressText(const midi::SendProgress& progress);

// While a message goes out piece by piece: that Cancel waits for it, since it cannot be recalled.
QString LeavingText(const midi::SendProgress& progress);

}  // namespace kelvane
