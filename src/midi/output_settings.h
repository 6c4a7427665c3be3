#pragma once

#include <cstdint>

namespace kelvane::midi {

// Every open of the output stream: buffer size in messages, latency in milliseconds.
inline constexpr std::int64_t kOutputBufferSize = 10000;
inline constexpr std::int64_t kSendLatencyMs = 1;      // discovery and each SysEx send
inline constexpr std::int64_t kChoiceLatencyMs = 100;  // the user's choice of a device

}  // namespace kelvane::midi
