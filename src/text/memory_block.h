#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

namespace kelvane {

// A byte buffer of fixed length, all bytes 0 when created.
class MemoryBlock {
public:
    explicit MemoryBlock(std::size_t size) : bytes_(size) {}
    explicit MemoryBlock(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

    std::size_t Size() const { return bytes_.size(); }

    // Keeps the low 8 bits of value (two's complement): 256 stores 00, -1 stores FF.
    // Throws std::out_of_range for an index outside the block.
    void SetByte(std::size_t index, std::int64_t value);
    std::uint8_t Byte(std::size_t index) const { return bytes_.at(index); }

    std::span<const std::uint8_t> Bytes() const { return bytes_; }

    friend bool operator==(const MemoryBlock&, const MemoryBlock&) = default;

private:
    std::vector<std::uint8_t> bytes_;
};

}  // namespace kelvane
