#include "text/memory_block.h"

namespace kelvane {

void MemoryBlock::SetByte(std::size_t index, std::int64_t value) {
    bytes_.at(index) = static_cast<std::uint8_t>(static_cast<std::uint64_t>(value) & 0xFFu);
}

}  // namespace kelvane
