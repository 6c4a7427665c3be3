#pragma once

#include <QString>
#include <cstdint>

#include "midi/paced_sysex.h"

namespace kelvane {

// "4096 of 65536 bytes sent, about 22 s left", and while a message goes out piece by piece,
// that it cannot be recalled.
QString SendProgressText(const midi::SendProgress& progress);

}  // namespace kelvane
