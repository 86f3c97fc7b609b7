// What the fuzz targets share: reading their input as numbers and texts, and the check that stops
// the run when a property fails (libFuzzer then keeps the input as a finding).
//
// An input is read front to back: each number takes the next bytes, each text runs to the next
// 0xFF byte (which UTF-8 never holds) or to the end. A text is UTF-8 where the bytes are valid
// UTF-8, four-byte forms giving surrogate pairs and three-byte forms any unit (lone surrogates
// too); every other byte stands for the unit of the same value. Seeds are therefore plain text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

#include "frame/error.hpp"

namespace lark::fuzz {

[[noreturn]] inline void fail(const char* check, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: property failed: %s\n", file, line, check);
    std::abort();
}

#define FUZZ_CHECK(condition) ((condition) ? void() : ::lark::fuzz::fail(#condition, __FILE__, __LINE__))

// The number of the error body raised, 0 when it returned.
template <class Body>
int32_t raised(Body&& body) {
    try {
        body();
    } catch (const Error& e) {
        return e.number;
    }
    return 0;
}

// A length for a run put before a text: none, or from 16 below limit to 15 above it when the
// byte's high bit is set.
inline size_t nearLimit(uint8_t byte, size_t limit) { return byte & 0x80 ? limit - 16 + (byte & 31) : 0; }

class Input {
public:
    Input(const uint8_t* data, size_t size) : rest_(data, size) {}

    bool empty() const { return rest_.empty(); }

    // The next byte, 0 when none is left.
    uint8_t byte() {
        if (rest_.empty()) return 0;
        const uint8_t b = rest_.front();
        rest_ = rest_.subspan(1);
        return b;
    }

    // A 1-based position or count near the start of a text: the byte as a signed value, except
    // that 0x7F and 0x80 stand for the largest and the smallest Long.
    int32_t position() {
        const uint8_t b = byte();
        if (b == 0x7F) return INT32_MAX;
        if (b == 0x80) return INT32_MIN;
        return static_cast<int8_t>(b);
    }

    // Two bytes, low byte first.
    uint16_t unit() {
        const uint16_t lo = byte();
        return static_cast<uint16_t>(lo | (byte() << 8));
    }

    // Four bytes, low byte first.
    uint32_t word() {
        const uint32_t lo = unit();
        return lo | (static_cast<uint32_t>(unit()) << 16);
    }

    // The units up to the next 0xFF byte (which is consumed) or the end.
    std::u16string text() {
        std::u16string out;
        while (!rest_.empty()) {
            const uint8_t lead = rest_.front();
            if (lead == 0xFF) {
                rest_ = rest_.subspan(1);
                break;
            }
            const size_t length = sequenceLength();
            uint32_t value = length == 1 ? lead : lead & (0x7Fu >> length);
            for (size_t k = 1; k < length; ++k) value = (value << 6) | (rest_[k] & 0x3Fu);
            rest_ = rest_.subspan(length);
            if (value >= 0x10000) {
                value -= 0x10000;
                out += static_cast<char16_t>(0xD800 + (value >> 10));
                out += static_cast<char16_t>(0xDC00 + (value & 0x3FF));
            } else {
                out += static_cast<char16_t>(value);
            }
        }
        return out;
    }

    // The bytes left, taking them all.
    std::string_view bytes() {
        const std::string_view out(reinterpret_cast<const char*>(rest_.data()), rest_.size());
        rest_ = {};
        return out;
    }

private:
    // The length of the UTF-8 sequence at the front, 1 for a byte that does not start a valid one.
    size_t sequenceLength() const {
        const uint8_t lead = rest_.front();
        const size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 && lead < 0xE0 ? 2 : 1;
        if (length == 1 || length > rest_.size()) return 1;
        for (size_t k = 1; k < length; ++k)
            if ((rest_[k] & 0xC0) != 0x80) return 1;
        if (length == 4 && ((lead & 7u) << 18 | (rest_[1] & 0x3Fu) << 12) >= 0x110000) return 1;
        return length;
    }

    std::span<const uint8_t> rest_;
};

}  // namespace lark::fuzz
