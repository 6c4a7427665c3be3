#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace kelvane::fuzz {

// Text from fuzzer bytes: UTF-8 (so that seeds are readable), or raw UTF-16 units, lone
// surrogates and NULs included, when the input starts with 0xFF.
inline QString TextFrom(const std::uint8_t* data, std::size_t size) {
    if (size > 0 && data[0] == 0xFF) {
        QString text;
        for (std::size_t i = 1; i + 1 < size; i += 2) {
            text.append(QChar(static_cast<char16_t>(data[i] | (data[i + 1] << 8))));
        }
        return text;
    }
    return QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

// A broken property is a finding: stop with a message the fuzzer keeps.
#define KELVANE_FUZZ_CHECK(condition)                                                              \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "property broken: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)

}  // namespace kelvane::fuzz
