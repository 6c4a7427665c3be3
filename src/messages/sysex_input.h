#pragma once

#include <QByteArray>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace kelvane {

// The complete SysEx messages in input as it arrived on the wire. Real-time bytes (F8-FF) may
// come anywhere, even inside a message, and are dropped; any other status byte, F0 included,
// before a message's F7 cuts that message, and a cut message is never kept. Other messages are
// passed over.
class SysExInput {
public:
    // Takes no more than wanted messages when given: the rest is passed over.
    explicit SysExInput(std::optional<std::int64_t> wanted = {}) : wanted_(wanted) {}

    // Takes the next bytes that arrived; returns whether any of them was part of a SysEx message.
    bool Take(std::span<const std::uint8_t> bytes);

    const std::vector<QByteArray>& Messages() const { return messages_; }
    std::int64_t Bytes() const { return bytes_; }
    bool Complete() const { return wanted_ && std::ssize(messages_) >= *wanted_; }
    // Messages cut short so far, and the one under way if it does not end after all.
    std::int64_t Cut() const { return cut_ + (open_ ? 1 : 0); }

private:
    std::optional<std::int64_t> wanted_;
    std::vector<QByteArray> messages_;
    std::int64_t bytes_ = 0;
    std::int64_t cut_ = 0;
    QByteArray message_;  // under way
    bool open_ = false;
};

}  // namespace kelvane
