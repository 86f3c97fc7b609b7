#include "text/strings.hpp"

#include <algorithm>
#include <atomic>
#include <bit>

#include "frame/error.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__SSE2__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define LARK_HAVE_AVX2_PATHS 1
#endif

// The scans below test 8 code units per 16-byte load where SSE2 is available and fall back to a
// unit-by-unit loop otherwise (the x86 build may target processors without it). Where the
// processor has AVX2 (asked once), the forward character and substring scans test 16 units per
// 32-byte load instead. The vector paths handle whole blocks and leave the remainder to the
// narrower loops, so every path runs on every input long enough to fill a block.

namespace lark::text {
namespace {

constexpr size_t kNotFound = static_cast<size_t>(-1);
constexpr char16_t kQuote = 34;
// The replacement's byte count is a 16-bit signed value: anything longer overflows and is left.
constexpr size_t kReplaceMaxLength = 16383;

constexpr bool isLowerLetter(uint32_t unit) { return unit - 97u < 26u; }

constexpr uint16_t foldUnit(uint16_t unit) {
    return isLowerLetter(unit) ? static_cast<uint16_t>(unit - 32) : unit;
}

bool tooFar(int32_t pos, size_t length) {
    return static_cast<int64_t>(pos) > static_cast<int64_t>(length);
}

// Tests "fold(u) == target" as a single equality, which vectorises: a folded target in 'A'..'Z'
// is met by exactly the two units target and target + 32, i.e. by (u | 0x20) == (target | 0x20);
// any other target can only be met by itself, because folding maps nothing else onto it.
struct Matcher {
    uint16_t orBits;
    uint16_t value;
    bool operator()(uint16_t unit) const { return static_cast<uint16_t>(unit | orBits) == value; }
};

Matcher unitMatcher(int16_t target, int32_t compare) {
    auto value = static_cast<uint16_t>(target);
    if (compare == kTextCompare) {
        value = foldUnit(value);
        if (value - 65u < 26u) return {0x20, static_cast<uint16_t>(value | 0x20)};
    }
    return {0, value};
}

bool lowByteEqual(char16_t a, char16_t b, bool text) {
    auto x = static_cast<uint16_t>(a & 0xFF), y = static_cast<uint16_t>(b & 0xFF);
    if (text) {
        x = foldUnit(x);
        y = foldUnit(y);
    }
    return x == y;
}

#if defined(__SSE2__)
// The same test on the low byte of a unit only, for lrkInstr.
Matcher lowByteMatcher(char16_t unit, bool text) {
    return unitMatcher(static_cast<int16_t>(unit & 0xFF), text ? kTextCompare : kBinaryCompare);
}

struct VecMatcher {
    __m128i orBits;
    __m128i value;
    explicit VecMatcher(Matcher m)
        : orBits(_mm_set1_epi16(static_cast<short>(m.orBits))),
          value(_mm_set1_epi16(static_cast<short>(m.value))) {}
    // 0xFFFF in each lane whose unit matches.
    __m128i operator()(const char16_t* at) const {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        return _mm_cmpeq_epi16(_mm_or_si128(units, orBits), value);
    }
    __m128i lowByte(const char16_t* at) const {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        const __m128i low = _mm_and_si128(_mm_or_si128(units, orBits), _mm_set1_epi16(0xFF));
        return _mm_cmpeq_epi16(low, value);
    }
};

// One bit per unit for 16 units given as two lane masks.
inline uint32_t unitBits(__m128i lo, __m128i hi) {
    return static_cast<uint32_t>(_mm_movemask_epi8(_mm_packs_epi16(lo, hi)));
}
#endif

#if defined(LARK_HAVE_AVX2_PATHS)
#define LARK_AVX2 [[gnu::target("avx2")]]

LARK_AVX2 inline __m256i load32(const char16_t* at) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
}

// 0xFFFF in each of the 16 lanes whose unit matches, as VecMatcher does for 8. Without Fold the
// matcher's or-bits are known to be 0 and are not applied.
template <bool Fold>
struct WideMatcher {
    __m256i orBits;
    __m256i value;
    __m256i orByte;  // the same two as bytes, for any128 with Fold
    __m256i valueByte;
    LARK_AVX2 explicit WideMatcher(Matcher m)
        : orBits(_mm256_set1_epi16(static_cast<short>(m.orBits))),
          value(_mm256_set1_epi16(static_cast<short>(m.value))),
          orByte(_mm256_set1_epi8(static_cast<char>(m.orBits))),
          valueByte(_mm256_set1_epi8(static_cast<char>(m.value))) {}
    LARK_AVX2 __m256i operator()(const char16_t* at) const {
        const __m256i units = load32(at);
        return _mm256_cmpeq_epi16(Fold ? _mm256_or_si256(units, orBits) : units, value);
    }
    // Whether any of the 128 units at `at` matches. With Fold the matcher stands for a letter, so
    // its value is a byte; the units are narrowed to bytes first, 32 to a compare. Narrowing
    // saturates: a unit above 255 becomes 0 or 255, and neither, or-ed with 0x20, is a letter.
    LARK_AVX2 bool any128(const char16_t* at) const {
        const __m256i any = _mm256_or_si256(_mm256_or_si256(hits32(at), hits32(at + 32)),
                                            _mm256_or_si256(hits32(at + 64), hits32(at + 96)));
        return _mm256_movemask_epi8(any) != 0;
    }
    // Some bit set where one of the 32 units at `at` matches.
    LARK_AVX2 __m256i hits32(const char16_t* at) const {
        if constexpr (Fold) {
            const __m256i bytes = _mm256_packus_epi16(load32(at), load32(at + 16));
            return _mm256_cmpeq_epi8(_mm256_or_si256(bytes, orByte), valueByte);
        } else {
            return _mm256_or_si256((*this)(at), (*this)(at + 16));
        }
    }
};

// Two bits per unit for 16 units.
LARK_AVX2 inline uint32_t pairBits(__m256i lanes) { return static_cast<uint32_t>(_mm256_movemask_epi8(lanes)); }

// One bit per unit for 32 units given as two lane masks (packing works within 128-bit halves,
// so the halves are put back in order).
LARK_AVX2 inline uint32_t wideUnitBits(__m256i lo, __m256i hi) {
    const __m256i packed = _mm256_permute4x64_epi64(_mm256_packs_epi16(lo, hi), 0xD8);
    return static_cast<uint32_t>(_mm256_movemask_epi8(packed));
}

// Whether one of the 16 units at s + i matches; at is set to the first that does.
template <bool Fold>
LARK_AVX2 bool matchIn16(const WideMatcher<Fold>& v, const char16_t* s, size_t i, size_t& at) {
    const uint32_t bits = pairBits(v(s + i));
    if (bits != 0) at = i + static_cast<size_t>(std::countr_zero(bits)) / 2;
    return bits != 0;
}

// The first whole 64-unit block at or after i holding a match, scanned 128 units a step and
// then 64 to place it; the index where the narrower loops go on when none does. at is set to the
// match's index.
template <bool Fold>
LARK_AVX2 size_t findUnitBlocks(const char16_t* s, size_t i, size_t n, Matcher m, size_t& at) {
    const WideMatcher<Fold> v(m);
    // One unaligned step, then on from the next 32-byte boundary so no load splits a cache line.
    if (i + 16 <= n) {
        if (matchIn16(v, s, i, at)) return i;
        i += 16 - (reinterpret_cast<uintptr_t>(s + i) & 31) / 2;
    }
    for (; i + 128 <= n; i += 128)
        if (v.any128(s + i)) break;
    for (; i + 64 <= n; i += 64) {
        const __m256i a = v(s + i), b = v(s + i + 16), c = v(s + i + 32), d = v(s + i + 48);
        if (_mm256_movemask_epi8(_mm256_or_si256(_mm256_or_si256(a, b), _mm256_or_si256(c, d))) != 0) {
            const uint64_t bits = wideUnitBits(a, b) | (uint64_t{wideUnitBits(c, d)} << 32);
            at = i + static_cast<size_t>(std::countr_zero(bits));
            return i;
        }
    }
    for (; i + 16 <= n; i += 16)
        if (matchIn16(v, s, i, at)) return i;
    at = kNotFound;
    return i;
}

LARK_AVX2 size_t findUnitWide(const char16_t* s, size_t i, size_t n, Matcher m, size_t& at) {
    return m.orBits ? findUnitBlocks<true>(s, i, n, m, at) : findUnitBlocks<false>(s, i, n, m, at);
}

// Bytes equal to value (after or-ing in orBits) in 16 units at `at`: only the even bytes, the
// units' low bytes, count.
LARK_AVX2 inline __m256i byteMatches(const char16_t* at, __m256i orBits, __m256i value) {
    return _mm256_cmpeq_epi8(_mm256_or_si256(load32(at), orBits), value);
}

// Candidates of findLowBytes, 64 starts a step; the index where the narrower loop goes on. The
// step tests the first unit of match alone and, only where it occurs, the last one too.
template <class Verify>
LARK_AVX2 size_t findLowBytesWide(const char16_t* s, size_t i, size_t last, Matcher first, Matcher lastUnit,
                                  size_t m, const Verify& verify, size_t& at) {
    const __m256i firstOr = _mm256_set1_epi16(static_cast<short>(first.orBits));
    const __m256i firstValue = _mm256_set1_epi16(static_cast<short>(first.value));
    const __m256i lastOr = _mm256_set1_epi16(static_cast<short>(lastUnit.orBits));
    const __m256i lastValue = _mm256_set1_epi16(static_cast<short>(lastUnit.value));
    const __m256i lowBytes = _mm256_set1_epi16(0x00FF);
    constexpr uint32_t kLowByteBits = 0x55555555;
    const size_t tail = m - 1;
    for (; i + 64 <= last + 1; i += 64) {
        const __m256i a = byteMatches(s + i, firstOr, firstValue), b = byteMatches(s + i + 16, firstOr, firstValue);
        const __m256i c = byteMatches(s + i + 32, firstOr, firstValue), d = byteMatches(s + i + 48, firstOr, firstValue);
        if (_mm256_testz_si256(_mm256_or_si256(_mm256_or_si256(a, b), _mm256_or_si256(c, d)), lowBytes)) continue;
        const __m256i heads[] = {a, b, c, d};
        for (size_t k = 0; k < 4; ++k) {
            const size_t base = i + 16 * k;
            const __m256i both = _mm256_and_si256(heads[k], byteMatches(s + base + tail, lastOr, lastValue));
            for (uint32_t bits = pairBits(both) & kLowByteBits; bits != 0; bits &= bits - 1) {
                const size_t start = base + static_cast<size_t>(std::countr_zero(bits)) / 2;
                if (verify(start, 1, m - 1)) {
                    at = start;
                    return i;
                }
            }
        }
    }
    at = kNotFound;
    return i;
}

bool processorHasAvx2() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}
#endif

// The widest the build and the processor allow.
VectorWidth widestVectors() {
#if defined(LARK_HAVE_AVX2_PATHS)
    static const VectorWidth widest = processorHasAvx2() ? VectorWidth::avx2 : VectorWidth::sse2;
    return widest;
#elif defined(__SSE2__)
    return VectorWidth::sse2;
#else
    return VectorWidth::scalar;
#endif
}

std::atomic<VectorWidth>& searchWidth() {
    static std::atomic<VectorWidth> width{widestVectors()};
    return width;
}

#if defined(LARK_HAVE_AVX2_PATHS)
bool wide() { return searchWidth().load(std::memory_order_relaxed) == VectorWidth::avx2; }
#endif

// First index in [from, n) whose unit matches, or kNotFound.
size_t findUnit(const char16_t* s, size_t from, size_t n, Matcher m) {
    size_t i = from;
#if defined(LARK_HAVE_AVX2_PATHS)
    if (wide()) {
        size_t at = kNotFound;
        i = findUnitWide(s, i, n, m, at);
        if (at != kNotFound) return at;
    }
#endif
#if defined(__SSE2__)
    const VecMatcher v(m);
    for (; i + 32 <= n; i += 32) {
        const __m128i a = v(s + i), b = v(s + i + 8), c = v(s + i + 16), d = v(s + i + 24);
        if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d))) != 0) {
            const uint32_t bits = unitBits(a, b) | (unitBits(c, d) << 16);
            return i + static_cast<size_t>(std::countr_zero(bits));
        }
    }
    for (; i + 8 <= n; i += 8) {
        const auto bits = static_cast<uint32_t>(_mm_movemask_epi8(v(s + i)));
        if (bits != 0) return i + static_cast<size_t>(std::countr_zero(bits)) / 2;
    }
#endif
    for (; i < n; ++i) {
        if (m(s[i])) return i;
    }
    return kNotFound;
}

// Last index in [0, end) whose unit matches, or kNotFound.
size_t findUnitReverse(const char16_t* s, size_t end, Matcher m) {
    size_t i = end;
#if defined(__SSE2__)
    const VecMatcher v(m);
    for (; i >= 32; i -= 32) {
        const char16_t* block = s + i - 32;
        const __m128i a = v(block), b = v(block + 8), c = v(block + 16), d = v(block + 24);
        if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d))) != 0) {
            const uint32_t bits = unitBits(a, b) | (unitBits(c, d) << 16);
            return i - 1 - static_cast<size_t>(std::countl_zero(bits));
        }
    }
    for (; i >= 8; i -= 8) {
        const auto bits = static_cast<uint32_t>(_mm_movemask_epi8(v(s + i - 8)));
        if (bits != 0) return i - 8 + (31 - static_cast<size_t>(std::countl_zero(bits))) / 2;
    }
#endif
    while (i > 0) {
        --i;
        if (m(s[i])) return i;
    }
    return kNotFound;
}

// First start in [from, last] where the low bytes of match occur in s, or kNotFound. Candidates
// are filtered on the first and the last unit of match together, then checked in full.
size_t findLowBytes(const char16_t* s, size_t from, size_t last, Units match, bool text) {
    const size_t m = match.size();
    const char16_t* nd = match.data();
    const auto verify = [&](size_t at, size_t k, size_t end) {
        for (; k < end; ++k) {
            if (!lowByteEqual(s[at + k], nd[k], text)) return false;
        }
        return true;
    };
    size_t i = from;
#if defined(LARK_HAVE_AVX2_PATHS)
    if (wide()) {
        size_t at = kNotFound;
        i = findLowBytesWide(s, i, last, lowByteMatcher(nd[0], text), lowByteMatcher(nd[m - 1], text), m, verify, at);
        if (at != kNotFound) return at;
    }
#endif
#if defined(__SSE2__)
    const VecMatcher first(lowByteMatcher(nd[0], text));
    const VecMatcher lastUnit(lowByteMatcher(nd[m - 1], text));
    const char16_t* tail = s + m - 1;
    for (; i + 16 <= last + 1; i += 16) {
        const __m128i lo = _mm_and_si128(first.lowByte(s + i), lastUnit.lowByte(tail + i));
        const __m128i hi = _mm_and_si128(first.lowByte(s + i + 8), lastUnit.lowByte(tail + i + 8));
        for (uint32_t bits = unitBits(lo, hi); bits != 0; bits &= bits - 1) {
            const size_t at = i + static_cast<size_t>(std::countr_zero(bits));
            if (verify(at, 1, m - 1)) return at;
        }
    }
#endif
    for (; i <= last; ++i) {
        if (verify(i, 0, m)) return i;
    }
    return kNotFound;
}

// Bit i set when unit s[i] is a delimiter, for count <= 64 units.
[[gnu::always_inline]] inline uint64_t delimiterBits(const char16_t* s, size_t count, Matcher delimiter) {
#if defined(__SSE2__)
    if (count == 64) {
        const VecMatcher v(delimiter);
        const uint32_t lo = unitBits(v(s), v(s + 8)) | (unitBits(v(s + 16), v(s + 24)) << 16);
        const uint32_t hi = unitBits(v(s + 32), v(s + 40)) | (unitBits(v(s + 48), v(s + 56)) << 16);
        return (static_cast<uint64_t>(hi) << 32) | lo;
    }
#endif
    uint64_t bits = 0;
    for (size_t i = 0; i < count; ++i) bits |= static_cast<uint64_t>(delimiter(s[i])) << i;
    return bits;
}

// Walks the tokens of s with the quote rule, 64 units at a time: token boundaries are the places
// where the delimiter bit changes, so each block yields them from one bit mask. A token that
// starts with a quotation mark is searched through to its end instead, and the block walk then
// resumes at the delimiter after it. emit(first, end, quoted) receives each token's span.
template <class Emit>
void walkQuotedTokens(Units s, Matcher delimiter, Emit&& emit) {
    const char16_t* p = s.data();
    const size_t n = s.size();
    size_t base = 0;
    size_t start = 0;
    bool inToken = false;
    uint64_t before = 1;  // the walk starts before position 1, as if after a delimiter
    while (base < n) {
        const size_t count = std::min<size_t>(64, n - base);
        const uint64_t delims = delimiterBits(p + base, count, delimiter);
        const uint64_t valid = count == 64 ? ~uint64_t{0} : (uint64_t{1} << count) - 1;
        uint64_t edges = (delims ^ ((delims << 1) | before)) & valid;
        before = (delims >> (count - 1)) & 1;
        size_t next = base + count;
        for (; edges != 0; edges &= edges - 1) {
            const size_t at = base + static_cast<size_t>(std::countr_zero(edges));
            if (inToken) {
                emit(start, at, false);
                inToken = false;
                continue;
            }
            if (p[at] == kQuote) {
                const size_t close = findUnit(p, at + 1, n, Matcher{0, kQuote});
                const size_t end = close == kNotFound ? n : findUnit(p, close, n, delimiter);
                next = end == kNotFound ? n : end;
                emit(at, next, true);
                before = 1;  // next is a delimiter or the end
                break;
            }
            start = at;
            inToken = true;
        }
        base = next;
    }
    if (inToken) emit(start, n, false);
}

// std::popcount becomes a library call without the POPCNT instruction, which the builds do not
// assume; this is the usual bit-parallel sum.
inline size_t bitCount(uint64_t x) {
    x -= (x >> 1) & 0x5555555555555555u;
    x = (x & 0x3333333333333333u) + ((x >> 2) & 0x3333333333333333u);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
    return static_cast<size_t>((x * 0x0101010101010101u) >> 56);
}

// Without the quote rule a token is exactly a run of non-delimiters: each block's bits give its
// starts (counted by the first pass) and its ends, and the filling pass records them without a
// branch per unit. An end always belongs to the oldest token still open.
size_t countTokens(Units s, Matcher delimiter) {
    size_t count = 0;
    uint64_t before = 1;
    for (size_t base = 0; base < s.size(); base += 64) {
        const size_t n = std::min<size_t>(64, s.size() - base);
        const uint64_t delims = delimiterBits(s.data() + base, n, delimiter);
        const uint64_t valid = n == 64 ? ~uint64_t{0} : (uint64_t{1} << n) - 1;
        count += bitCount(~delims & ((delims << 1) | before) & valid);
        before = (delims >> (n - 1)) & 1;
    }
    return count;
}

void fillTokens(Units s, Matcher delimiter, std::vector<Token>& tokens) {
    size_t closed = 0;
    uint64_t before = 1;
    for (size_t base = 0; base < s.size(); base += 64) {
        const size_t n = std::min<size_t>(64, s.size() - base);
        const uint64_t delims = delimiterBits(s.data() + base, n, delimiter);
        const uint64_t valid = n == 64 ? ~uint64_t{0} : (uint64_t{1} << n) - 1;
        const uint64_t after = (delims << 1) | before;
        for (uint64_t starts = ~delims & after & valid; starts != 0; starts &= starts - 1) {
            tokens.push_back(Token{base + static_cast<size_t>(std::countr_zero(starts)), 0});
        }
        for (uint64_t ends = delims & ~after & valid; ends != 0; ends &= ends - 1) {
            Token& token = tokens[closed++];
            token.length = base + static_cast<size_t>(std::countr_zero(ends)) - token.offset;
        }
        before = (delims >> (n - 1)) & 1;
    }
    if (closed < tokens.size()) tokens.back().length = s.size() - tokens.back().offset;
}

Token quotedToken(size_t first, size_t end) {
    // The element drops the opening quote and the unit before the delimiter; a lone quote
    // leaves a negative length.
    if (end - first < 2) raise(errInvalidCall);
    return Token{first + 1, end - first - 2};
}

}  // namespace

std::vector<VectorWidth> searchVectorWidths() {
#if defined(__SSE2__)
    if (widestVectors() == VectorWidth::avx2) return {VectorWidth::sse2, VectorWidth::avx2};
#endif
    return {widestVectors()};
}

void setSearchVectorWidth(VectorWidth width) {
    const std::vector<VectorWidth> widths = searchVectorWidths();
    searchWidth().store(std::clamp(width, widths.front(), widths.back()));
}

int32_t lrkInstr(int32_t startPos, Units check, Units match, int32_t compare) {
    if (check.empty() || match.empty() || match.size() > check.size()) return 0;
    if (startPos == 0) raise(errInvalidCall, u"MDataStructures.lrkInstr");
    if (startPos < 0) return -1;
    if (tooFar(startPos, check.size()) || compare == kDatabaseCompare) return 0;
    const size_t last = check.size() - match.size();
    const auto from = static_cast<size_t>(startPos - 1);
    if (from > last) return 0;
    const size_t at = findLowBytes(check.data(), from, last, match, compare == kTextCompare);
    return at == kNotFound ? 0 : static_cast<int32_t>(at + 1);
}

int32_t lrkInstrRev(Units check, Units match, int32_t startPos, int32_t compare) {
    const size_t n = check.size(), m = match.size();
    if (m == 0) return static_cast<int32_t>(n);
    if (m > n) return 0;
    if (startPos == 0 || startPos < -1) raise(errInvalidCall, u"MDataStructures.lrkInstrRev");
    size_t start = n;
    if (startPos != -1) {
        if (tooFar(startPos, n) || compare == kDatabaseCompare) return 0;
        start = static_cast<size_t>(startPos);
    }
    start = std::min(start, n - m + 1);
    const bool text = compare == kTextCompare;
    const auto unitAt = [text](char16_t unit) {
        return text ? foldUnit(unit) : static_cast<uint16_t>(unit);
    };
    for (size_t p = start; p >= 1; --p) {
        size_t k = 0;
        for (; k < m; ++k) {
            const uint16_t a = unitAt(check[p - 1 + k]), b = unitAt(match[k]);
            // Each compared unit is narrowed to a byte; a unit that does not fit ends the call.
            if (a > 255 || b > 255) return 0;
            if (a != b) break;
        }
        if (k == m) return static_cast<int32_t>(p);
    }
    return 0;
}

int32_t lrkInChar(int32_t startPos, Units check, int16_t charMatch, int32_t compare) {
    if (check.empty() || tooFar(startPos, check.size()) || startPos < 1) return -1;
    const size_t at = findUnit(check.data(), static_cast<size_t>(startPos - 1), check.size(),
                               unitMatcher(charMatch, compare));
    return at == kNotFound ? -1 : static_cast<int32_t>(at + 1);
}

int32_t lrkInCharRev(Units check, int16_t charMatch, int32_t compare, int32_t startPos) {
    if (startPos == -1) startPos = static_cast<int32_t>(check.size());
    if (check.empty() || tooFar(startPos, check.size()) || startPos < 1) return -1;
    const size_t at = findUnitReverse(check.data(), static_cast<size_t>(startPos),
                                      unitMatcher(charMatch, compare));
    return at == kNotFound ? -1 : static_cast<int32_t>(at + 1);
}

void lrkReplaceChar(int32_t startPos, std::span<char16_t> check, int16_t charMatch,
                    int16_t charReplace, int32_t compare) {
    if (check.empty() || check.size() > kReplaceMaxLength) return;
    if (startPos < 1 || tooFar(startPos, check.size()) || compare == kDatabaseCompare) return;
    const Matcher m = unitMatcher(charMatch, compare);
    const auto replacement = static_cast<char16_t>(charReplace);
    for (size_t i = static_cast<size_t>(startPos - 1); i < check.size(); ++i) {
        if (m(check[i])) check[i] = replacement;
    }
}

int16_t lrkMidAscW(Units check, int32_t position) {
    if (position < 1 || tooFar(position, check.size())) return 0;
    return static_cast<int16_t>(check[static_cast<size_t>(position - 1)]);
}

int16_t QuickMid(Units check, int32_t pos, int32_t compare) {
    if (tooFar(pos, check.size()) || pos < 1) return 0;
    const char16_t unit = check[static_cast<size_t>(pos - 1)];
    return static_cast<int16_t>(compare == kTextCompare ? foldUnit(unit) : unit);
}

std::vector<Token> FastTokenize(Units check, int16_t delimiter, int32_t compare) {
    const Matcher m = unitMatcher(delimiter, compare);
    std::vector<Token> tokens;
    tokens.reserve(countTokens(check, m));
    fillTokens(check, m, tokens);
    return tokens;
}

std::vector<Token> FastSplit2(Units check, int16_t delimiter, int32_t compare, bool handleQuoted) {
    if (!handleQuoted) return FastTokenize(check, delimiter, compare);
    const Matcher m = unitMatcher(delimiter, compare);
    size_t count = 0;
    walkQuotedTokens(check, m, [&](size_t, size_t, bool) { ++count; });
    std::vector<Token> tokens;
    tokens.reserve(count);
    walkQuotedTokens(check, m, [&](size_t first, size_t end, bool quoted) {
        tokens.push_back(quoted ? quotedToken(first, end) : Token{first, end - first});
    });
    return tokens;
}

bool IsEqualString(Units a, Units b, int32_t compare) {
    return a.size() == b.size() && lrkInstr(1, a, b, compare) == 1;
}

Units StripQuotes(Units text) {
    const auto n = static_cast<int64_t>(text.size());
    const int64_t start = n > 0 && text.front() == kQuote ? 2 : 1;
    int64_t length = n - start + 1;
    if (n > 0 && text.back() == kQuote) --length;
    if (length < 0) raise(errInvalidCall);
    return text.substr(static_cast<size_t>(start - 1), static_cast<size_t>(length));
}

Units TrimSpaces(Units text) {
    const size_t first = text.find_first_not_of(u' ');
    if (first == Units::npos) return {};
    return text.substr(first, text.find_last_not_of(u' ') - first + 1);
}

}  // namespace lark::text
