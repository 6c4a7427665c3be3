#include "messages/sysex_input.h"

#include <utility>

namespace kelvane {

bool SysExInput::Take(std::span<const std::uint8_t> bytes) {
    bool sysEx = false;
    for (const std::uint8_t byte : bytes) {
        if (Complete()) {
            break;
        }
        if (byte >= 0xF8) {
            continue;
        }
        if (byte == 0xF7 && open_) {
            message_ += char(byte);
            bytes_ += message_.size();
            messages_.push_back(std::exchange(message_, {}));
            open_ = false;
            sysEx = true;
        } else if (byte >= 0x80) {
            cut_ += open_ ? 1 : 0;
            open_ = byte == 0xF0;
            message_ = open_ ? QByteArray(1, char(byte)) : QByteArray();
            sysEx = sysEx || open_;
        } else if (open_) {
            message_ += char(byte);
            sysEx = true;
        }
    }
    return sysEx;
}

}  // namespace kelvane
