#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>
#include <span>
#include <vector>

#include "text/memory_block.h"

namespace kelvane::midi {

// A block is sent only when it is System Exclusive messages (F0, data bytes 00-7F, F7) that follow
// one another with nothing between them. Otherwise messages is empty and problem names the first
// thing wrong and where it stands, as a clause for "Nothing was sent: ...":
//   the data has no bytes
//   the data does not start with F0 (byte 1 is 41)
//   byte 7 (12C) is not a data byte 00–7F
//   byte 9 (00) follows the closing F7
//   the message starting at byte 12 has no closing F7
// Bytes are counted from 1 and shown in hexadecimal. problem is empty exactly when accepted.
struct SysExCheck {
    std::vector<std::span<const std::uint8_t>> messages;
    QString problem;
};

SysExCheck CheckSysEx(std::span<const std::uint8_t> block);

// One or more complete SysEx messages back to back, as a check below accepted them where they
// were read: the bytes, and where each message starts. It moves on to the port unchecked.
class SysExBlock {
public:
    SysExBlock() = default;

    std::span<const std::uint8_t> Bytes() const { return block_.Bytes(); }
    std::size_t Count() const { return starts_.size(); }
    std::span<const std::uint8_t> Message(std::size_t index) const;

private:
    friend struct SysExAccepting;
    MemoryBlock block_{0};
    std::vector<std::size_t> starts_;
};

// A SysExBlock, or no bytes and the problem, as CheckSysEx words it.
struct CheckedSysEx {
    SysExBlock messages;
    QString problem;
};

CheckedSysEx CheckSysExBlock(MemoryBlock block);

// The same check over the values of a typed row, before they are stored as bytes (the low 8 bits
// of each), so that a value that does not fit in a byte (300, -1) is named as typed[i], its
// token, rather than as its low 8 bits; the subject is "the row".
CheckedSysEx CheckSysExRow(std::span<const std::int64_t> values,
                           std::span<const QStringView> typed);

}  // namespace kelvane::midi
