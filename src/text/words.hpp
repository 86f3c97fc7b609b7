// Bytes and 16-bit words of a 32-bit value, as automation clients see them: every word is a
// signed Integer, so 32,768 and above come out negative.
#pragma once

#include <cstdint>

namespace lark::text {

constexpr uint8_t lowByte(int32_t value) noexcept { return static_cast<uint8_t>(value & 0xFF); }

constexpr int16_t loWord(uint32_t value) noexcept { return static_cast<int16_t>(value & 0xFFFF); }

constexpr int16_t hiWord(uint32_t value) noexcept { return static_cast<int16_t>(value >> 16); }

// hi in bits 16 to 31, lo in bits 0 to 15; a negative lo does not spill into the high word.
constexpr int32_t packWords(int16_t lo, int16_t hi) noexcept {
    return static_cast<int32_t>((static_cast<uint32_t>(static_cast<uint16_t>(hi)) << 16) | static_cast<uint16_t>(lo));
}

}  // namespace lark::text
