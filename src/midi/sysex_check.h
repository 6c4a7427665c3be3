#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>
#include <span>
#include <vector>

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

// The same check over the values of a typed row before they are stored as bytes, so that a value
// that does not fit in a byte (300, -1) is named as typed[i], its token, rather than as its low
// 8 bits; the subject is "the row". Empty when accepted.
QString SysExProblem(std::span<const std::int64_t> values, std::span<const QStringView> typed);

}  // namespace kelvane::midi
