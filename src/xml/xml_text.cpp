#include "xml/xml_text.hpp"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#include "frame/error.hpp"
#include "frame/filled_string.hpp"
#include "text/strings.hpp"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lark::xml {
namespace {

using text::kBinaryCompare;
using text::kTextCompare;

constexpr char16_t kCR = 13;
constexpr char16_t kLF = 10;

int32_t len32(Units s) { return static_cast<int32_t>(s.size()); }

// lrkInstr in text mode, 0 when the start lies past the text (a range may after edits).
int32_t plainFind(int32_t start, Units textToSearch, Units pattern) {
    if (start < 1 || start > len32(textToSearch)) return 0;
    return text::lrkInstr(start, textToSearch, pattern, kTextCompare);
}

// Writes before, name and ">" at out; returns the end of what it wrote.
char16_t* writeTag(char16_t* out, Units before, Units name) {
    out = std::copy(before.begin(), before.end(), out);
    out = std::copy(name.begin(), name.end(), out);
    *out++ = u'>';
    return out;
}
std::u16string wrap(Units before, Units name) {
    return lark::filledString<char16_t>(before.size() + name.size() + 1, [&](char16_t* units) {
        return static_cast<size_t>(writeTag(units, before, name) - units);
    });
}
constexpr Units kOpening = u"<", kClosing = u"</";
std::u16string openTag(Units name) { return wrap(kOpening, name); }
std::u16string closeTag(Units name) { return wrap(kClosing, name); }

// The unit at a 1-based position (caller keeps it in range).
char16_t at(Units s, int32_t pos) { return s[static_cast<size_t>(pos - 1)]; }

Units slice(Units s, int32_t fromPos, int32_t count) {
    return s.substr(static_cast<size_t>(fromPos - 1), static_cast<size_t>(count));
}

bool isBlank(char16_t c) { return c == u' ' || c == u'\t' || c == kCR || c == kLF; }
bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

int hexDigit(char16_t c) {
    if (isDigit(c)) return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

// The number at the start of text (after blanks). consumed is the count of units used, 0 when
// nothing numeric is there. An &H/&O value that fits 16 bits is a signed 16-bit value, one
// that fits 32 bits a signed 32-bit value; anything larger reads as infinity (out of range).
double parseNumber(Units s, size_t& consumed) {
    consumed = 0;
    size_t i = 0;
    while (i < s.size() && isBlank(s[i]))
        ++i;
    if (i + 1 < s.size() && s[i] == u'&') {
        const char16_t kind = static_cast<char16_t>(s[i + 1] | 0x20);
        if (kind == u'h' || kind == u'o') {
            const int base = kind == u'h' ? 16 : 8;
            size_t j = i + 2;
            uint64_t value = 0;
            bool big = false;
            for (; j < s.size(); ++j) {
                const int d = hexDigit(s[j]);
                if (d < 0 || d >= base) break;
                value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
                if (value > 0xFFFFFFFFull) big = true, value = 0x100000000ull;
            }
            if (j == i + 2) return 0;
            consumed = j;
            if (big) return std::numeric_limits<double>::infinity();
            if (value <= 0xFFFF) return static_cast<int16_t>(static_cast<uint16_t>(value));
            return static_cast<int32_t>(static_cast<uint32_t>(value));
        }
    }
    std::string ascii;
    size_t j = i;
    if (j < s.size() && (s[j] == u'+' || s[j] == u'-')) {
        if (s[j] == u'-') ascii += '-';
        ++j;
    }
    size_t digits = 0;
    for (; j < s.size() && isDigit(s[j]); ++j, ++digits)
        ascii += static_cast<char>(s[j]);
    if (j < s.size() && s[j] == u'.') {
        ascii += '.';
        for (++j; j < s.size() && isDigit(s[j]); ++j, ++digits)
            ascii += static_cast<char>(s[j]);
    }
    if (digits == 0) return 0;
    if (j < s.size() && ((s[j] | 0x20) == u'e' || (s[j] | 0x20) == u'd')) {
        size_t k = j + 1;
        std::string exponent = "e";
        if (k < s.size() && (s[k] == u'+' || s[k] == u'-')) exponent += static_cast<char>(s[k++]);
        const size_t first = k;
        for (; k < s.size() && isDigit(s[k]); ++k)
            exponent += static_cast<char>(s[k]);
        if (k > first) {
            ascii += exponent;
            j = k;
        }
    }
    consumed = j;
    double value = 0;
    const auto [ptr, ec] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    (void)ptr;
    if (ec == std::errc::result_out_of_range) {
        // Only a negative exponent can make a value too small; it rounds to 0.
        if (ascii.find("e-") != std::string::npos) return 0;
        return ascii[0] == '-' ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::infinity();
    }
    return ec == std::errc() ? value : 0;
}

}  // namespace

std::u16string upperCase(Units source) {
    std::u16string out(source);
    for (auto& c : out) {
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
    }
    return out;
}

std::u16string fileNameAfterBackslash(Units path) {
    const size_t slash = path.rfind(u'\\');
    return slash == Units::npos ? std::u16string() : std::u16string(path.substr(slash + 1));
}

double leadingNumber(Units source) {
    size_t consumed = 0;
    return parseNumber(source, consumed);
}

int32_t toLong(Units source) {
    const double rounded = std::nearbyint(leadingNumber(source));
    if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) return 0;
    return static_cast<int32_t>(rounded);
}

std::optional<bool> toBoolean(Units source) {
    const Units trimmed = text::TrimSpaces(source);
    if (text::IsEqualString(trimmed, u"TRUE", kTextCompare)) return true;
    if (text::IsEqualString(trimmed, u"FALSE", kTextCompare)) return false;
    size_t consumed = 0;
    const double value = parseNumber(trimmed, consumed);
    if (consumed == 0 || consumed != trimmed.size()) return std::nullopt;
    return value != 0;
}

// ---- Writer ----

std::u16string Writer::line(Units body) const {
    if (indent_ < 0) raise(errInvalidCall);
    std::u16string out(static_cast<size_t>(indent_), u' ');
    out += body;
    out += u"\r\n";
    return out;
}

std::u16string Writer::WriteAnnouncementTag() const { return line(u"<?xml version=\"1.0\"?>"); }

int32_t Writer::movedIndent(int32_t step) const {
    const int64_t moved = int64_t{indent_} + step;
    if (moved < INT32_MIN || moved > INT32_MAX) raise(errOverflow);
    return static_cast<int32_t>(moved);
}

std::u16string Writer::WriteOpenTag(Units tagName) {
    const int32_t next = movedIndent(kIndentIncrement);
    std::u16string out = line(openTag(upperCase(tagName)));
    indent_ = next;
    return out;
}

std::u16string Writer::WriteCloseTag(Units tagName) {
    indent_ = movedIndent(-kIndentIncrement);
    return line(closeTag(upperCase(tagName)));
}

std::u16string Writer::WriteProperty(Units propertyName, Units propertyValue) const {
    const std::u16string name = upperCase(propertyName);
    return line(openTag(name) + std::u16string(propertyValue) + closeTag(name));
}

// ---- TagIndex ----

namespace {

// A unit as lrkInstr's text mode compares it: the low byte, a..z raised.
uint8_t folded(char16_t c) {
    const auto low = static_cast<uint8_t>(c & 0xFF);
    return (low >= 'a' && low <= 'z') ? static_cast<uint8_t>(low - 32) : low;
}

// A pattern the index can answer: "<", at most kMaxTagUnits units, and its only ">" at the end.
bool isSingleTag(Units pattern) {
    if (pattern.size() < 2 || pattern.size() > TagIndex::kMaxTagUnits) return false;
    if (folded(pattern.front()) != '<' || folded(pattern.back()) != '>') return false;
    return std::none_of(pattern.begin(), pattern.end() - 1, [](char16_t c) { return folded(c) == '>'; });
}

using Key = TagIndex::Key;

constexpr size_t kShortTag = 16;
constexpr uint64_t kLongTag = UINT64_MAX;  // a short key's last byte is ">" or 0, never 0xFF

// The print of a tag: the units after its "<", four at most and none past its ">", by their low
// bytes with bit 5 cleared, mixed into one byte. Units that fold alike clear alike, so every
// match of a pattern has the pattern's print; raw holds those low bytes, the first one lowest.
uint8_t printOf(uint32_t raw, uint64_t hashMask) {
    // The lowest byte flagged is the first ">" (a borrow can only flag bytes above it). The
    // bytes up to it are kept: all of them when none is flagged, since 0 - 1 has every bit.
    const uint32_t gt = raw ^ 0x3E3E3E3Eu;
    const uint64_t flagged = (gt - 0x01010101u) & ~gt & 0x80808080u;
    const uint64_t kept = ((flagged & (0 - flagged)) << 1) - 1;
    return static_cast<uint8_t>((((raw & kept & 0xDFDFDFDFu) * 0x9E3779B1u) >> 24) & hashMask);
}

// The low bytes of the four units after offset open (0 past the end).
inline uint32_t unitsAfter(Units text, size_t open) {
#if defined(__SSE2__)
    if (open + 9 <= text.size()) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + open + 1));
        const __m128i bytes = _mm_and_si128(units, _mm_set1_epi16(0xFF));
        return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(bytes, bytes)));
    }
#endif
    uint32_t raw = 0;
    for (size_t k = 0; k < 4 && open + 1 + k < text.size(); ++k)
        raw |= uint32_t{static_cast<uint8_t>(text[open + 1 + k])} << (8 * k);
    return raw;
}

// The key of tag, whose units end with its ">", and whose print is print.
Key keyOf(Units tag, uint8_t print, uint64_t hashMask) {
    Key key;
    if (tag.size() <= kShortTag) {
        for (size_t k = 0; k < tag.size(); ++k)
            (k < 8 ? key.lo : key.hi) |= uint64_t{folded(tag[k])} << (8 * (k % 8));
        return key;
    }
    uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (char16_t c : tag)
        hash = (hash ^ folded(c)) * 1099511628211ull;
    return Key{hash & hashMask, kLongTag ^ print};
}

// The print of a pattern that is a single tag.
uint8_t printOfTag(Units tag, uint64_t hashMask) { return printOf(unitsAfter(tag, 0), hashMask); }

// The length of the tag opening at offset open (up to and including the first ">"), or 0 when
// no ">" follows within kMaxTagUnits units.
size_t tagLength(Units text, size_t open) {
    const size_t limit = std::min(text.size(), open + TagIndex::kMaxTagUnits);
    for (size_t k = open + 1; k < limit; ++k)
        if (folded(text[k]) == '>') return k - open + 1;
    return 0;
}

#if defined(__SSE2__)
// The key of a tag of up to 16 units, read with two loads from at, which has 16 units after it;
// the empty key when no ">" is among them.
inline Key shortKeyAt(const char16_t* at) {
    const auto* units = reinterpret_cast<const __m128i*>(at);
    const __m128i lowByte = _mm_set1_epi16(0xFF);
    const __m128i bytes = _mm_packus_epi16(_mm_and_si128(_mm_loadu_si128(units), lowByte),
                                           _mm_and_si128(_mm_loadu_si128(units + 1), lowByte));
    const __m128i lower =
        _mm_and_si128(_mm_cmpgt_epi8(bytes, _mm_set1_epi8('a' - 1)), _mm_cmplt_epi8(bytes, _mm_set1_epi8('z' + 1)));
    const __m128i fold = _mm_sub_epi8(bytes, _mm_and_si128(lower, _mm_set1_epi8(32)));
    const auto closing = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(fold, _mm_set1_epi8('>'))));
    if (closing == 0) return {};
    const auto length = static_cast<char>(std::countr_zero(closing) + 1);
    const __m128i index = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    const __m128i tag = _mm_and_si128(fold, _mm_cmplt_epi8(index, _mm_set1_epi8(length)));
    alignas(16) uint64_t halves[2];
    _mm_store_si128(reinterpret_cast<__m128i*>(halves), tag);
    return Key{halves[0], halves[1]};
}
#endif

// Whether pattern lies at the 1-based position pos, compared as lrkInstr's text mode does.
bool matchesAt(Units text, int32_t pos, Units pattern) {
    const auto from = static_cast<size_t>(pos - 1);
    if (from + pattern.size() > text.size()) return false;
    for (size_t k = 0; k < pattern.size(); ++k)
        if (folded(text[from + k]) != folded(pattern[k])) return false;
    return true;
}

// The offsets of the units in [from, to) whose low byte is "<", in order, written to out, which
// has room for to - from entries; returns their count. 16 units a step with SSE2.
size_t openingBrackets(Units text, size_t from, size_t to, uint32_t* out) {
    size_t n = 0, i = from;
#if defined(__SSE2__)
    const __m128i lowByte = _mm_set1_epi16(0xFF), bracket = _mm_set1_epi16('<');
    for (; i + 16 <= to; i += 16) {
        const auto* units = reinterpret_cast<const __m128i*>(text.data() + i);
        const __m128i first = _mm_cmpeq_epi16(_mm_and_si128(_mm_loadu_si128(units), lowByte), bracket);
        const __m128i second = _mm_cmpeq_epi16(_mm_and_si128(_mm_loadu_si128(units + 1), lowByte), bracket);
        for (auto hits = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(first, second))); hits != 0;
             hits &= hits - 1)
            out[n++] = static_cast<uint32_t>(i + static_cast<size_t>(std::countr_zero(hits)));
    }
#endif
    for (; i < to; ++i)
        if ((text[i] & 0xFF) == '<') out[n++] = static_cast<uint32_t>(i);
    return n;
}

// Calls visit(k) for each k in [from, to) whose print is print, in order, until visit returns
// true; returns that k, or to. 16 prints a step with SSE2.
template <class Visit>
size_t eachPrint(const uint8_t* prints, size_t from, size_t to, uint8_t print, Visit visit) {
    size_t k = from;
#if defined(__SSE2__)
    const __m128i wanted = _mm_set1_epi8(static_cast<char>(print));
    for (; k + 16 <= to; k += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(prints + k));
        for (auto hits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, wanted))); hits != 0;
             hits &= hits - 1)
            if (visit(k + static_cast<size_t>(std::countr_zero(hits))))
                return k + static_cast<size_t>(std::countr_zero(hits));
    }
#endif
    for (; k < to; ++k)
        if (prints[k] == print && visit(k)) return k;
    return to;
}

template <class T>
void release(std::vector<T>& v) {
    v.clear();
    v.shrink_to_fit();
}

// std::lower_bound on sorted positions, halving without a branch that depends on them: the
// searches of a walk land anywhere, and a mispredicted branch a step costs more than the step.
const int32_t* firstNotBelow(const int32_t* first, const int32_t* last, int32_t value) {
    if (first >= last) return first;
    for (auto n = static_cast<size_t>(last - first); n > 1; n -= n / 2)
        first = first[n / 2] < value ? first + n / 2 : first;
    return first + (*first < value);
}

// Narrows [lo, hi), the part of the sorted at that holds the first position at or after start,
// around last, where the previous search ended: forward in doubling steps when a walk moves on,
// else before it.
void narrowNear(const int32_t* at, uint32_t& lo, uint32_t& hi, uint32_t last, int32_t start) {
    if (last < lo || last >= hi) return;
    if (at[last] < start) {
        lo = last + 1;
        uint32_t step = 1;
        while (step <= hi - lo && at[lo + step - 1] < start) {
            lo += step;
            step *= 2;
        }
        hi = std::min(hi, lo + step);
    } else {
        hi = last + 1;
    }
}

// The slot of key in a table of 2 to the power 64 - shift slots: the top bits of its hash.
size_t slotIndex(const Key& key, uint64_t hashMask, unsigned shift) {
    const uint64_t hash = (key.lo * 0x9E3779B97F4A7C15ull + key.hi * 0xC2B2AE3D27D4EB4Full) & hashMask;
    return static_cast<size_t>(hash >> shift);
}

}  // namespace

size_t TagIndex::slotOf(const Key& key) const { return slotIndex(key, hashMask_, slotShift_); }

TagIndex::Slot& TagIndex::probe(const Key& key) {
    for (size_t mask = slots_.size() - 1, i = slotOf(key);; i = (i + 1) & mask)
        if (slots_[i].group == 0 || slots_[i].key == key) return slots_[i];
}

// Doubles the table (kept at most half full) and puts every key in again.
void TagIndex::growSlots() {
    const size_t size = std::max<size_t>(1024, slots_.size() * 2);
    slotShift_ = static_cast<unsigned>(64 - std::countr_zero(size));
    std::vector<Slot> old = std::exchange(slots_, std::vector<Slot>(size));
    for (const Slot& slot : old)
        if (slot.group != 0) probe(slot.key) = slot;
}

uint32_t TagIndex::groupNumberOf(const Key& key) {
    if (slots_.empty()) growSlots();
    Slot* slot = &probe(key);
    if (slot->group == 0) {
        if ((groups_.size() + 1) * 2 > slots_.size()) {
            growSlots();
            slot = &probe(key);
        }
        Group group;
        group.checked = key.hi >> 56 == 0xFF;
        groups_.push_back(group);
        *slot = Slot{key, static_cast<uint32_t>(groups_.size())};
    }
    return slot->group;
}

void TagIndex::build(Units text) {
    clear();
    extend(text, true);
}

void TagIndex::extend(Units text, bool complete) {
    // A print reads four units past its "<": until the text is complete, the brackets that
    // close to its end wait for the next call.
    const size_t limit = complete ? text.size() : text.size() - std::min<size_t>(text.size(), 4);
    constexpr size_t kBlock = 4096;
    std::array<uint32_t, kBlock> found;   // left unfilled: only what openingBrackets wrote is read
    const uint64_t hashMask = hashMask_;  // in a register: the prints' stores may alias any member
    for (size_t from = indexed_; from < limit; from += kBlock) {
        const size_t count = openingBrackets(text, from, std::min(limit, from + kBlock), found.data());
        const size_t before = opens_.size();
        opens_.resize(before + count);
        prints_.resize(before + count);
        int32_t* opens = opens_.data() + before;
        uint8_t* prints = prints_.data() + before;
        for (size_t k = 0; k < count; ++k) {
            opens[k] = static_cast<int32_t>(found[k] + 1);
            prints[k] = printOf(unitsAfter(text, found[k]), hashMask);
        }
        for (size_t k = openSamples_.size() * kSampleStep; k < opens_.size(); k += kSampleStep)
            openSamples_.push_back(opens_[k]);
    }
    indexed_ = std::max(indexed_, limit);
    built_ = built_ || complete;
}

TagIndex::Key TagIndex::keyAtBracket(Units text, size_t k) const {
    const auto open = static_cast<size_t>(opens_[k] - 1);
#if defined(__SSE2__)
    if (text.size() - open >= kShortTag)
        if (const Key key = shortKeyAt(text.data() + open); key != Key{}) return key;
#endif
    const size_t length = tagLength(text, open);
    return length == 0 ? Key{} : keyOf(text.substr(open, length), prints_[k], hashMask_);
}

void TagIndex::addSamples(Group& group) {
    group.samples = static_cast<uint32_t>(samples_.size());
    for (uint32_t k = group.begin; k < group.end; k += kSampleStep)
        samples_.push_back(positions_[k]);
}

uint32_t TagIndex::list(Units text, const Prepared& tag) {
    const uint32_t number = groupNumberOf(tag.key);
    Group& group = groups_[number - 1];
    group.begin = static_cast<uint32_t>(positions_.size());
    size_t compared = 0;
    eachPrint(prints_.data(), 0, prints_.size(), tag.print, [&](size_t k) {
        ++compared;
        if (keyAtBracket(text, k) == tag.key) {
            positions_.push_back(opens_[k]);
            brackets_.push_back(static_cast<uint32_t>(k));
        }
        return false;
    });
    group.end = group.last = static_cast<uint32_t>(positions_.size());
    addSamples(group);
    // A pass over the prints, and the tags compared: more than those listed when other tags
    // share the print.
    listingWork_ += prints_.size() / 16 + compared;
    return number;
}

// The positions of each group laid end to end, a group after another, each in text order.
void TagIndex::sortAll(Units text) {
    std::vector<std::vector<int32_t>> lists(groups_.size());
    for (size_t k = 0; k < opens_.size(); ++k) {
        const Key key = keyAtBracket(text, k);
        if (key == Key{}) continue;
        const uint32_t number = groupNumberOf(key);
        if (number > lists.size()) lists.resize(number);
        lists[number - 1].push_back(opens_[k]);
    }
    lists.resize(groups_.size());
    positions_.clear();
    samples_.clear();
    for (size_t g = 0; g < groups_.size(); ++g) {
        Group& group = groups_[g];
        group.begin = static_cast<uint32_t>(positions_.size());
        positions_.insert(positions_.end(), lists[g].begin(), lists[g].end());
        group.end = group.last = static_cast<uint32_t>(positions_.size());
        addSamples(group);
    }
    sorted_ = true;
    // Searches go by the lists alone from now on.
    release(opens_);
    release(openSamples_);
    release(prints_);
    release(brackets_);
}

uint32_t TagIndex::firstFrom(const int32_t* at, const int32_t* sample, uint32_t begin, uint32_t lo, uint32_t hi,
                             int32_t start) {
    if (hi - lo > kSampleStep) {
        // Sample k is at[begin + k * kSampleStep]; those within [lo, hi) are searched. The first
        // at or after start bounds the answer from above, the one before it from below.
        const uint32_t first = (lo - begin + kSampleStep - 1) / kSampleStep;
        const uint32_t last = (hi - begin + kSampleStep - 1) / kSampleStep;
        const auto k = static_cast<uint32_t>(firstNotBelow(sample + first, sample + last, start) - sample);
        if (k > first) lo = std::max(lo, begin + (k - 1) * kSampleStep + 1);
        if (k < last) hi = std::min(hi, begin + k * kSampleStep + 1);
    }
    return static_cast<uint32_t>(firstNotBelow(at + lo, at + hi, start) - at);
}

size_t TagIndex::heldBytes() const {
    const size_t brackets = (opens_.capacity() + openSamples_.capacity()) * sizeof(int32_t) + prints_.capacity();
    const size_t listed = (positions_.capacity() + brackets_.capacity() + samples_.capacity()) * sizeof(int32_t);
    return brackets + listed + groups_.capacity() * sizeof(Group) + slots_.capacity() * sizeof(Slot);
}

TagIndex::Prepared TagIndex::prepare(Units text, Units pattern) {
    Prepared prepared;
    prepared.pattern = pattern;
    if (!indexes(text.size()) || !isSingleTag(pattern)) return prepared;
    if (!built_) build(text);
    prepared.direct = false;
    prepared.print = printOfTag(pattern, hashMask_);
    prepared.key = keyOf(pattern, prepared.print, hashMask_);
    if (!slots_.empty()) prepared.group = probe(prepared.key).group;
    return prepared;
}

bool TagIndex::isAt(Units text, int32_t pos, const Prepared& tag) const {
#if defined(__SSE2__)
    const auto open = static_cast<size_t>(pos - 1);
    if (tag.key.hi >> 56 != 0xFF && text.size() - open >= kShortTag) return shortKeyAt(text.data() + open) == tag.key;
#endif
    return matchesAt(text, pos, tag.pattern);
}

std::optional<int32_t> TagIndex::findNear(Units text, int32_t start, const Prepared& tag) {
    const int32_t* at = opens_.data();
    const auto count = static_cast<uint32_t>(opens_.size());
    uint32_t lo = 0, hi = count;
    narrowNear(at, lo, hi, hint_, start);
    const uint32_t from = firstFrom(at, openSamples_.data(), 0, lo, hi, start);
    const uint32_t to = count - from > kShortHop ? from + kShortHop : count;
    const size_t k = eachPrint(prints_.data(), from, to, tag.print, [&](size_t j) { return isAt(text, at[j], tag); });
    hint_ = static_cast<uint32_t>(std::min<size_t>(k, count - (count > 0)));
    if (k < to) return at[k];
    if (to == count) return 0;
    return std::nullopt;
}

int32_t TagIndex::findListed(Units text, int32_t start, Group& group, Units pattern) {
    const int32_t* at = positions_.data();
    uint32_t lo = group.begin, hi = group.end;
    narrowNear(at, lo, hi, group.last, start);
    // A long tag's group also holds tags that only share its hash; they are passed over.
    for (const int32_t* p = at + firstFrom(at, samples_.data() + group.samples, group.begin, lo, hi, start);
         p < at + group.end; ++p) {
        if (!group.checked || matchesAt(text, *p, pattern)) {
            group.last = static_cast<uint32_t>(p - at);
            if (!sorted_) hint_ = brackets_[group.last];
            return *p;
        }
    }
    return 0;
}

int32_t TagIndex::find(Units source, int32_t start, const Prepared& pattern) {
    if (pattern.direct) return plainFind(start, source, pattern.pattern);
    if (start < 1 || start > len32(source)) return 0;
    // Its group, when it was listed since the pattern was prepared.
    uint32_t number = pattern.group != 0 || slots_.empty() ? pattern.group : probe(pattern.key).group;
    if (number == 0) {
        // Every tag of the text has its group: a tag without one is not there.
        if (sorted_) return 0;
        // Searches through the prints each read the text where they land. When the tags of one
        // print have had as many as one per kNearPerList brackets, which cost about what a list
        // does, the tag searched is listed, so that a long session ends up halving.
        const bool often = ++nearSearches_[pattern.print] > opens_.size() / kNearPerList;
        if (often) nearSearches_[pattern.print] = 0;
        if (!often)
            if (const auto near = findNear(source, start, pattern)) return *near;
        if (listingWork_ > kListingPasses * opens_.size()) {
            sortAll(source);
            number = probe(pattern.key).group;
            if (number == 0) return 0;
        } else {
            number = list(source, pattern);
        }
    }
    return findListed(source, start, groups_[number - 1], pattern.pattern);
}

// ---- Document ----

int32_t Document::locate(int32_t start, Units pattern) const { return index_.find(content_, start, pattern); }

bool Document::Load(std::u16string source) {
    if (source.size() > kMaxUnits) return false;
    index_.clear();
    start(std::move(source));
    return true;
}

void Document::start(std::u16string source) {
    content_ = std::move(source);
    walks_ = {};
    level_ = 1;
    start_[0] = 1;
    end_[0] = len32(content_) + 1;
}

std::optional<std::pair<int32_t, int32_t>> Document::CurrentRange() const {
    if (level_ < 1 || level_ > kMaxLevels) return std::nullopt;
    return std::pair{start_[static_cast<size_t>(level_ - 1)], end_[static_cast<size_t>(level_ - 1)]};
}

// Both tags side by side, "<NAME></NAME>": in place for names of up to 45 units, which is
// nearly all of them, so that a lookup allocates nothing.
struct Document::TagPair {
    TagPair(const Document& document, Units name) {
        const size_t size = 2 * name.size() + kOpening.size() + kClosing.size() + 2;
        char16_t* out = size <= local.size() ? local.data() : (longer.resize(size), longer.data());
        char16_t* middle = writeTag(out, kOpening, name);
        char16_t* end = writeTag(middle, kClosing, name);
        openText = Units(out, static_cast<size_t>(middle - out));
        closeText = Units(middle, static_cast<size_t>(end - middle));
        open = document.index_.prepare(document.content_, openText);
        close = document.index_.prepare(document.content_, closeText);
    }
    TagPair(const TagPair&) = delete;
    TagPair& operator=(const TagPair&) = delete;

    std::array<char16_t, 95> local;
    std::u16string longer;
    Units openText, closeText;
    TagIndex::Prepared open, close;
};

std::optional<Document::Pair> Document::findPair(int32_t from, int32_t end, const TagPair& tags) const {
    const int32_t o = index_.find(content_, from, tags.open);
    if (o == 0 || o >= end) return std::nullopt;
    const int32_t inner = o + len32(tags.openText);
    const int32_t c = index_.find(content_, inner, tags.close);
    if (c == 0 || c >= end) return std::nullopt;
    return Pair{o, inner, c, c + len32(tags.closeText)};
}

bool Document::push(const Pair& pair) {
    // The level is raised before the new range is stored, so a 51st level is left without one.
    ++level_;
    if (level_ > kMaxLevels) return false;
    start_[static_cast<size_t>(level_ - 1)] = pair.inner + 1;
    end_[static_cast<size_t>(level_ - 1)] = pair.close;
    return true;
}

bool Document::ReadWithinTags(std::u16string& tagName) {
    bool result = false;
    stopOnError([&] {
        tagName = upperCase(tagName);
        const auto range = CurrentRange();
        if (!range) return;
        const auto pair = findPair(range->first, range->second, TagPair(*this, tagName));
        if (pair) result = push(*pair);
    });
    return result;
}

Document::Walk& Document::walkOf(Units tagName, int32_t from, int32_t end) {
    Walk* oldest = &walks_[0];
    for (Walk& walk : walks_) {
        if (walk.used != 0 && walk.from == from && walk.end == end && walk.name == tagName) {
            walk.used = ++walkClock_;
            return walk;
        }
        if (walk.used < oldest->used) oldest = &walk;
    }
    // The oldest walk's buffers are used again.
    oldest->name.assign(tagName);
    oldest->from = from;
    oldest->end = end;
    oldest->pairs.clear();
    oldest->complete = false;
    oldest->used = ++walkClock_;
    return *oldest;
}

bool Document::ReadWithinTagsOccurence(Units tagName, int32_t occurrence) {
    bool result = false;
    stopOnError([&] {
        const auto range = CurrentRange();
        if (!range || occurrence < 1) return;
        Walk& walk = walkOf(tagName, range->first, range->second);
        const auto wanted = static_cast<size_t>(occurrence);
        if (walk.pairs.size() < wanted && !walk.complete) {
            const TagPair tags(*this, tagName);
            int32_t from = walk.pairs.empty() ? range->first : walk.pairs.back().after;
            while (walk.pairs.size() < wanted) {
                const auto pair = findPair(from, range->second, tags);
                if (!pair) {
                    walk.complete = true;
                    break;
                }
                walk.pairs.push_back(*pair);
                from = pair->after;
            }
        }
        if (wanted <= walk.pairs.size()) result = push(walk.pairs[wanted - 1]);
    });
    return result;
}

bool Document::ReadUpOneLevel() {
    if (level_ <= 1) return false;
    --level_;
    return true;
}

bool Document::ReadProperty(Units propertyName, std::u16string& value, Units defaultValue) const {
    bool result = false;
    stopOnError([&] {
        if (!defaultValue.empty()) value = defaultValue;
        const auto range = CurrentRange();
        if (!range) return;
        const auto pair = findPair(range->first, range->second, TagPair(*this, propertyName));
        if (!pair) return;
        value = slice(content_, pair->inner, pair->close - pair->inner);
        result = true;
    });
    return result;
}

int32_t Document::ReadPropertyLong(Units propertyName, int32_t defaultValue) const {
    std::u16string value;
    if (!ReadProperty(propertyName, value)) return defaultValue;
    return toLong(value);
}

bool Document::ReadPropertyBoolean(Units propertyName, bool& reference) const {
    std::u16string value;
    if (!ReadProperty(propertyName, value)) return false;
    if (const auto converted = toBoolean(value)) reference = *converted;
    return true;
}

int32_t Document::ReadAllProperties(size_t capacity, PropertyList& out) const {
    out.names.clear();
    out.values.clear();
    int32_t result = -1;
    stopOnError([&] {
        const auto range = CurrentRange();
        if (!range) return;
        const int32_t end = range->second;
        int32_t from = range->first;
        for (;;) {
            const int32_t lt = text::lrkInChar(from, content_, u'<', kBinaryCompare);
            if (lt < 1 || lt >= end) break;
            if (lt < len32(content_) && at(content_, lt + 1) == u'/') break;
            const int32_t gt = text::lrkInChar(lt + 1, content_, u'>', kBinaryCompare);
            if (gt < 1 || gt >= end) return;
            const Units name = slice(content_, lt + 1, gt - lt - 1);
            const std::u16string close = closeTag(name);
            const int32_t c = locate(gt, close);
            if (c == 0 || c >= end) return;
            if (out.names.size() >= capacity) return;
            out.names.emplace_back(name);
            out.values.emplace_back(slice(content_, gt + 1, c - gt - 1));
            from = c + len32(close);
        }
        result = static_cast<int32_t>(out.names.size());
    });
    return result;
}

int32_t Document::CountTags(Units tagName) const { return static_cast<int32_t>(Tags(tagName).size()); }

std::vector<Span> Document::Tags(Units tagName) const {
    std::vector<Span> spans;
    stopOnError([&] {
        const auto range = CurrentRange();
        if (!range) return;
        const TagPair tags(*this, tagName);
        int32_t from = range->first;
        while (const auto pair = findPair(from, range->second, tags)) {
            spans.push_back({static_cast<size_t>(pair->inner - 1), static_cast<size_t>(pair->close - pair->inner)});
            from = pair->after;
        }
    });
    return spans;
}

bool Document::AppendTextWithinTag(Units textToInject) {
    bool result = false;
    stopOnError([&] {
        const auto range = CurrentRange();
        if (!range) return;
        const int32_t e = range->second;
        if (e < 4 || e - 4 > len32(content_)) return;
        index_.clear();
        walks_ = {};
        content_.insert(static_cast<size_t>(e - 4), textToInject);
        result = true;
    });
    return result;
}

bool Document::DeleteCurrentSection() {
    bool result = false;
    stopOnError([&] {
        const auto range = CurrentRange();
        if (!range) return;
        const auto [s, e] = *range;
        const int32_t n = len32(content_);
        // The line break before the opening tag's line: its LF at or before s - 1.
        int32_t before = -1;
        for (int32_t from = std::min(s - 2, n); from >= 1;) {
            const int32_t cr = text::lrkInCharRev(content_, kCR, kBinaryCompare, from);
            if (cr < 1) break;
            if (cr < n && at(content_, cr + 1) == kLF) {
                before = cr;
                break;
            }
            from = cr - 1;
        }
        if (before < 1) return;
        int32_t after = -1;
        for (int32_t from = e; from >= 1 && from <= n;) {
            const int32_t cr = text::lrkInChar(from, content_, kCR, kBinaryCompare);
            if (cr < 1) break;
            if (cr < n && at(content_, cr + 1) == kLF) {
                after = cr;
                break;
            }
            from = cr + 1;
        }
        if (after < 1) return;
        index_.clear();
        walks_ = {};
        content_.erase(static_cast<size_t>(before - 1), static_cast<size_t>(after - before));
        result = true;
    });
    return result;
}

// ---- Element ----

Element::Element(Units source, Span span, Kind kind)
    : span_(source.substr(std::min(span.offset, source.size()), span.length)), kind_(kind) {}

std::u16string Element::Value() const {
    std::u16string result;
    stopOnError([&] {
        if (kind_ != Kind::Tagged) return;
        const int32_t gt = text::lrkInChar(1, span_, u'>', kBinaryCompare);
        if (gt < 1) return;
        int32_t lastClose = -1;
        for (int32_t from = len32(span_) - 1; from >= 1;) {
            const int32_t lt = text::lrkInCharRev(span_, u'<', kBinaryCompare, from);
            if (lt < 1) break;
            if (at(span_, lt + 1) == u'/') {
                lastClose = lt;
                break;
            }
            from = lt - 1;
        }
        if (lastClose < gt) return;
        result = slice(span_, gt + 1, lastClose - gt - 1);
    });
    return result;
}

std::u16string Element::GetProperty(Units propertyName) const {
    std::u16string result;
    stopOnError([&] {
        if (propertyName.empty()) return;
        int32_t regionStart = 1, limit = len32(span_) + 1;
        size_t partStart = 0;
        for (;;) {
            const size_t sep = propertyName.find(u'>', partStart);
            const Units part = propertyName.substr(partStart, sep == Units::npos ? Units::npos : sep - partStart);
            const std::u16string open = openTag(part);
            const int32_t o = plainFind(regionStart, span_, open);
            if (o == 0 || o >= limit) return;
            const int32_t inner = o + len32(open);
            const int32_t c = plainFind(inner, span_, closeTag(part));
            if (c == 0) return;
            if (sep == Units::npos) {
                result = slice(span_, inner, c - inner);
                return;
            }
            regionStart = o + 1;
            limit = c;
            partStart = sep + 1;
        }
    });
    return result;
}

std::vector<Span> Element::Tags(Units tagName) const {
    std::vector<Span> spans;
    stopOnError([&] {
        const std::u16string open = openTag(tagName), close = closeTag(tagName);
        int32_t from = 1;
        for (;;) {
            const int32_t o = plainFind(from, span_, open);
            if (o == 0) return;
            const int32_t c = plainFind(o + len32(open), span_, close);
            if (c == 0) return;
            const int32_t after = c + len32(close);
            spans.push_back({static_cast<size_t>(o - 1), static_cast<size_t>(after - o)});
            from = after;
        }
    });
    return spans;
}

}  // namespace lark::xml
