#pragma once

namespace kelvane::midi {

// PortMidi's own error numbers (checked against portmidi.h where the backend is built), so that
// the numbers a user sees are the library's.
inline constexpr int kNoError = 0;
inline constexpr int kHostError = -10000;
inline constexpr int kInvalidDeviceId = -9999;
inline constexpr int kInsufficientMemory = -9998;
inline constexpr int kBufferTooSmall = -9997;
inline constexpr int kBufferOverflow = -9996;
inline constexpr int kBadPtr = -9995;
inline constexpr int kBadData = -9994;
inline constexpr int kInternalError = -9993;
// Ours: the device has left the MIDI service since the devices were last listed.
inline constexpr int kDeviceGone = -9000;

}  // namespace kelvane::midi
