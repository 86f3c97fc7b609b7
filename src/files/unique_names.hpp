// Collision-free names: numbered variants of a proposed path, and the random "~RDxxxx" names of
// temporary files and write probes. Portable (no Windows headers): existence is asked of the
// caller, and the pseudo-random generator is a plain object.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace lark::files {

using Units = std::u16string_view;

// Numbered variants run from 1 to this; past it UniqueFilePath gives up with error 99.
inline constexpr int32_t kMaxNumberedVariant = 299;

// The error of the file classes when a name, a copy or a move cannot be had.
inline constexpr int32_t kFileOperationFailed = 99;

// Where the counter goes: the 1-based position of the first '.' after the last '\' when that
// separator is not the first unit, else 0 (the counter is then appended).
int32_t NumberInsertionPoint(Units base);

// The base with n inserted at the insertion point (or appended when the point is 0 or 1).
std::u16string NumberedVariant(Units base, int32_t insertionPoint, int32_t n);

// The proposed path when it is free, else its first free numbered variant. exists answers for
// files and folders alike. Raises error 99 when the path and all 299 variants exist.
std::u16string UniqueFilePath(Units proposed, const std::function<bool(const std::u16string&)>& exists);

// The library's pseudo-random generator: uniform numbers in [0, 1) from a 24-bit linear
// congruential sequence. Unseeded it starts from a fixed state, as the classic Rnd does.
class PseudoRandom {
public:
    void seed(uint32_t value) noexcept;
    double next() noexcept;

private:
    uint32_t state_ = 0x50000;
};

// r * 65536 rounded to a whole number, in upper-case hexadecimal, padded with '0' to 4 digits
// (r just below 1 may round up to the five digits of 10000).
std::u16string RandomHexDigits(double r);

// "~RD", the digits of r, then the extension exactly as given (the caller includes its dot).
std::u16string RandomTemporaryName(double r, Units extension);

}  // namespace lark::files
