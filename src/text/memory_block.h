#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

namespace kelvane {

// Bytes to send, as many as were asked for when it was made, zeros until set.
class MemoryBlock {
public:
    explicit MemoryBlock(std::size_t size) : bytes_(size) {}
    explicit MemoryBlock(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

    std::size_t Size() const { return bytes_.size(); }

    // Stores what of value fits in a byte, its low 8 bits in two's complement (256 is 00, -1 is
    // FF); an index past the end throws std::out_of_range.
    void SetByte(std::size_t index, std::int64_t value);
    std::uint8_t Byte(std::size_t index) const { return bytes_.at(index); }

    std::span<const std::uint8_t> Bytes() const { return bytes_; }

    friend bool operator==(const MemoryBlock&, const MemoryBlock&) = default;

private:
    std::vector<std::uint8_t> bytes_;
};

}  // namespace kelvane
