#pragma once

#include <QString>
#include <cstdint>

#include "midi/paced_sysex.h"

namespace kelvane {

// "4096 of 65536 bytes sent, about 22 s left"
QString SendProgressText(const midi::SendProgress& progress);

// Said before a send that holds a message too long to pace, so the user may cancel it.
QString UnpaceableWarningText(std::int64_t longestPaced);

}  // namespace kelvane
