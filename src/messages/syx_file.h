#pragma once

#include <QByteArray>
#include <QString>

#include "messages/checked_sysex.h"

namespace kelvane {

// Larger files are refused rather than read: at MIDI speed 16 MiB already take 90 minutes.
inline constexpr qsizetype kMaxSyxBytes = qsizetype{16} << 20;

// The messages of a .syx file, read whole, or why they cannot be sent ("the file is empty"): a
// file must hold one or more complete SysEx messages. The path is the file's name as the system
// has it, byte for byte, whatever its encoding; "-" reads standard input.
CheckedSysEx ReadSyx(const QByteArray& path);

}  // namespace kelvane
