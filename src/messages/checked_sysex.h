#pragma once

#include <QString>
#include <cstdint>

#include "midi/sysex_check.h"
#include "text/memory_block.h"

namespace kelvane {

// SysEx messages ready to send, from a row or a file, or why there are none, as a clause for
// "Nothing was sent: ..." ("the file is empty"); problem is empty exactly when they may go.
struct CheckedSysEx {
    midi::SysExBlock messages;
    QString problem;
};

// The check's problem as a clause about subject ("the row", "the data"), bytes counted from 1 and
// the value at fault as shown:
//   the data does not start with F0 (byte 1 is 41)
//   byte 7 (12C) is not a data byte 00–7F
QString SysExProblemText(const midi::SysExProblem& problem, const QString& subject,
                         const QString& shown);

// A value as a byte is shown: hexadecimal, at least two digits.
QString ShownByte(std::int64_t value);

// The block's messages, or its problem about "the data".
CheckedSysEx CheckSysExBytes(MemoryBlock block);

}  // namespace kelvane
