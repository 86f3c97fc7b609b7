#include "files/unique_names.hpp"

#include <cmath>

#include "frame/error.hpp"
#include "text/strings.hpp"

namespace lark::files {

namespace {
constexpr char16_t kSeparator[] = u"\\";
constexpr char16_t kDot[] = u".";
}  // namespace

int32_t NumberInsertionPoint(Units base) {
    const int32_t separator = text::lrkInstrRev(base, kSeparator, -1, text::kTextCompare);
    if (separator <= 1 || separator >= static_cast<int32_t>(base.size())) return 0;
    return text::lrkInstr(separator + 1, base, kDot, text::kTextCompare);
}

std::u16string NumberedVariant(Units base, int32_t insertionPoint, int32_t n) {
    std::u16string number;
    for (char c : std::to_string(n))
        number.push_back(static_cast<char16_t>(c));
    if (insertionPoint <= 1) return std::u16string(base) + number;
    const auto at = static_cast<size_t>(insertionPoint - 1);
    return std::u16string(base.substr(0, at)) + number + std::u16string(base.substr(at));
}

std::u16string UniqueFilePath(Units proposed, const std::function<bool(const std::u16string&)>& exists) {
    const int32_t insertionPoint = NumberInsertionPoint(proposed);
    std::u16string candidate(proposed);
    for (int32_t n = 1; exists(candidate); ++n) {
        if (n > kMaxNumberedVariant) raise(kFileOperationFailed);
        candidate = NumberedVariant(proposed, insertionPoint, n);
    }
    return candidate;
}

void PseudoRandom::seed(uint32_t value) noexcept { state_ = (value ^ (value >> 24)) & 0xFFFFFF; }

double PseudoRandom::next() noexcept {
    state_ = (state_ * 1140671485u + 12820163u) & 0xFFFFFF;
    return state_ / 16777216.0;
}

std::u16string RandomHexDigits(double r) {
    // Rounded half to even, as the automation Hex conversion rounds.
    auto value = static_cast<uint32_t>(std::nearbyint(r * 65536.0));
    std::u16string digits;
    do {
        digits.insert(digits.begin(), u"0123456789ABCDEF"[value % 16]);
        value /= 16;
    } while (value != 0);
    if (digits.size() < 4) digits.insert(0, 4 - digits.size(), u'0');
    return digits;
}

std::u16string RandomTemporaryName(double r, Units extension) {
    return u"~RD" + RandomHexDigits(r) + std::u16string(extension);
}

}  // namespace lark::files
