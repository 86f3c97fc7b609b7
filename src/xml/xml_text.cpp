#include "xml/xml_text.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>
#include <charconv>
#include <cmath>
#include <limits>

#include "frame/error.hpp"
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
// Positions are 32-bit and a range end may be one past the text.
constexpr size_t kMaxContent = static_cast<size_t>(std::numeric_limits<int32_t>::max()) - 8;

int32_t len32(Units s) { return static_cast<int32_t>(s.size()); }

// lrkInstr in text mode, 0 when the start lies past the text (a range may after edits).
int32_t plainFind(int32_t start, Units textToSearch, Units pattern) {
    if (start < 1 || start > len32(textToSearch)) return 0;
    return text::lrkInstr(start, textToSearch, pattern, kTextCompare);
}

std::u16string wrap(Units before, Units name) {
    std::u16string out;
    out.reserve(before.size() + name.size() + 1);
    out.append(before).append(name).push_back(u'>');
    return out;
}
std::u16string openTag(Units name) { return wrap(u"<", name); }
std::u16string closeTag(Units name) { return wrap(u"</", name); }

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

std::u16string Writer::WriteOpenTag(Units tagName) {
    std::u16string out = line(openTag(upperCase(tagName)));
    indent_ += kIndentIncrement;
    return out;
}

std::u16string Writer::WriteCloseTag(Units tagName) {
    indent_ -= kIndentIncrement;
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

// A tag as the index sees it: its length and hash, and for tags of up to 16 units (nearly all)
// its folded bytes, zero-padded, from which the hash is made; longer tags are hashed unit by unit.
constexpr size_t kShortTag = 16;

struct Tag {
    uint32_t hash = 0;
    uint32_t length = 0;
    alignas(16) uint8_t bytes[kShortTag] = {};
};

uint32_t shortTagHash(const uint8_t* bytes, size_t length) {
    uint64_t lo = 0, hi = 0;
    std::memcpy(&lo, bytes, 8);
    std::memcpy(&hi, bytes + 8, 8);
    const uint64_t h = (lo ^ (hi * 0xC2B2AE3D27D4EB4Full) ^ length) * 0x9E3779B97F4A7C15ull;
    return static_cast<uint32_t>(h >> 32);
}

// The tag made of the units of tag, which end with its ">".
Tag tagOf(Units tag) {
    Tag out;
    out.length = static_cast<uint32_t>(tag.size());
    if (tag.size() <= kShortTag) {
        for (size_t k = 0; k < tag.size(); ++k) out.bytes[k] = folded(tag[k]);
        out.hash = shortTagHash(out.bytes, tag.size());
        return out;
    }
    uint32_t hash = 2166136261u;  // FNV-1a
    for (char16_t c : tag) hash = (hash ^ folded(c)) * 16777619u;
    out.hash = hash;
    return out;
}

// The length of the tag opening at offset open (up to and including the first ">"), or 0 when
// no ">" follows within kMaxTagUnits units.
size_t tagLength(Units text, size_t open) {
    const size_t limit = std::min(text.size(), open + TagIndex::kMaxTagUnits);
    for (size_t k = open + 1; k < limit; ++k)
        if (folded(text[k]) == '>') return k - open + 1;
    return 0;
}

// The tag opening at offset open; false when no tag opens there. With SSE2, a tag of up to 16
// units away from the text's end is read with two loads.
bool tagAt(Units text, size_t open, Tag& tag) {
#if defined(__SSE2__)
    if (text.size() - open >= kShortTag) {
        const auto* units = reinterpret_cast<const __m128i*>(text.data() + open);
        const __m128i lowByte = _mm_set1_epi16(0xFF);
        const __m128i bytes = _mm_packus_epi16(_mm_and_si128(_mm_loadu_si128(units), lowByte),
                                               _mm_and_si128(_mm_loadu_si128(units + 1), lowByte));
        const __m128i lower = _mm_and_si128(_mm_cmpgt_epi8(bytes, _mm_set1_epi8('a' - 1)),
                                            _mm_cmplt_epi8(bytes, _mm_set1_epi8('z' + 1)));
        const __m128i fold = _mm_sub_epi8(bytes, _mm_and_si128(lower, _mm_set1_epi8(32)));
        const auto closing = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(fold, _mm_set1_epi8('>'))));
        if (closing != 0) {
            const auto length = static_cast<size_t>(std::countr_zero(closing)) + 1;
            const __m128i index = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
            const __m128i keep = _mm_cmplt_epi8(index, _mm_set1_epi8(static_cast<char>(length)));
            _mm_store_si128(reinterpret_cast<__m128i*>(tag.bytes), _mm_and_si128(fold, keep));
            tag.length = static_cast<uint32_t>(length);
            tag.hash = shortTagHash(tag.bytes, length);
            return true;
        }
    }
#endif
    const size_t length = tagLength(text, open);
    if (length == 0) return false;
    tag = tagOf(text.substr(open, length));
    return true;
}

// Whether pattern lies at the 1-based position pos, compared as lrkInstr's text mode does.
bool matchesAt(Units text, int32_t pos, Units pattern) {
    const auto from = static_cast<size_t>(pos - 1);
    if (from + pattern.size() > text.size()) return false;
    for (size_t k = 0; k < pattern.size(); ++k)
        if (folded(text[from + k]) != folded(pattern[k])) return false;
    return true;
}

// Offsets of the units whose low byte is "<", in order: 16 units a step with SSE2.
template <class Visit>
void forEachOpeningBracket(Units text, Visit visit) {
    size_t i = 0;
#if defined(__SSE2__)
    const __m128i lowByte = _mm_set1_epi16(0xFF), bracket = _mm_set1_epi16('<');
    for (; i + 16 <= text.size(); i += 16) {
        const auto* units = reinterpret_cast<const __m128i*>(text.data() + i);
        const __m128i first = _mm_cmpeq_epi16(_mm_and_si128(_mm_loadu_si128(units), lowByte), bracket);
        const __m128i second = _mm_cmpeq_epi16(_mm_and_si128(_mm_loadu_si128(units + 1), lowByte), bracket);
        for (auto hits = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(first, second))); hits != 0;
             hits &= hits - 1)
            visit(i + static_cast<size_t>(std::countr_zero(hits)));
    }
#endif
    for (; i < text.size(); ++i)
        if ((text[i] & 0xFF) == '<') visit(i);
}

}  // namespace

TagIndex::Group* TagIndex::groupOf(uint32_t hash, bool create) {
    if (slots_.empty()) {
        if (!create) return nullptr;
        growSlots();
    }
    for (size_t mask = slots_.size() - 1, i = hash & mask;; i = (i + 1) & mask) {
        const uint64_t slot = slots_[i];
        if (slot >> 32 == hash && slot != 0) return &groups_[static_cast<uint32_t>(slot) - 1];
        if (slot != 0) continue;
        if (!create) return nullptr;
        if ((groups_.size() + 1) * 2 > slots_.size()) {
            growSlots();
            return groupOf(hash, create);
        }
        groups_.emplace_back();
        slots_[i] = uint64_t{hash} << 32 | groups_.size();
        return &groups_.back();
    }
}

// Doubles the table (at most half full) and puts every hash in again.
void TagIndex::growSlots() {
    std::vector<uint64_t> old = std::exchange(slots_, std::vector<uint64_t>(std::max<size_t>(64, slots_.size() * 2)));
    const size_t mask = slots_.size() - 1;
    for (uint64_t slot : old) {
        if (slot == 0) continue;
        size_t i = static_cast<uint32_t>(slot >> 32) & mask;
        while (slots_[i] != 0) i = (i + 1) & mask;
        slots_[i] = slot;
    }
}

void TagIndex::build(Units text) {
    clear();
    // First the group and position of each tag in text order, counting each group's size ...
    std::vector<uint64_t> tags;
    tags.reserve(text.size() / 16);  // about one tag a line in a settings file
    forEachOpeningBracket(text, [&](size_t open) {
        Tag tag;
        if (!tagAt(text, open, tag)) return;
        // Nearly every tag repeats one seen before: its slot is the first one probed.
        const uint32_t hash = tag.hash & hashMask_;
        const uint64_t first = slots_.empty() ? 0 : slots_[hash & (slots_.size() - 1)];
        Group* group = first != 0 && first >> 32 == hash ? &groups_[static_cast<uint32_t>(first) - 1]
                                                         : groupOf(hash, true);
        if (group->end == 0) {
            group->sample = static_cast<uint32_t>(open + 1);
            group->length = tag.length;
            std::memcpy(group->shape, tag.bytes, kShortTag);
        } else if (!group->mixed) {
            const bool same = group->length == tag.length &&
                              (tag.length <= kShortTag ? std::memcmp(group->shape, tag.bytes, kShortTag) == 0
                                                       : matchesAt(text, static_cast<int32_t>(group->sample),
                                                                   text.substr(open, tag.length)));
            group->mixed = !same;
        }
        ++group->end;
        tags.push_back(uint64_t{static_cast<uint32_t>(group - groups_.data())} << 32 | static_cast<uint32_t>(open + 1));
    });
    // ... then each group's place, and the positions dealt out to it, still in text order.
    uint32_t total = 0;
    for (Group& group : groups_) {
        const uint32_t count = group.end;
        group.begin = group.end = total;
        total += count;
    }
    positions_.resize(tags.size());
    for (uint64_t tag : tags) positions_[groups_[tag >> 32].end++] = static_cast<int32_t>(static_cast<uint32_t>(tag));
    for (Group& group : groups_) group.last = group.end;
    built_ = true;
}

const TagIndex::Recent& TagIndex::lookup(Units text, Units pattern) {
    auto remembered = [&](size_t i) { return !recent_[i].pattern.empty() && recent_[i].pattern == pattern; };
    if (remembered(lastHit_)) return recent_[lastHit_];
    std::swap(lastHit_, hitBefore_);
    if (remembered(lastHit_)) return recent_[lastHit_];
    for (size_t i = 0; i < recent_.size(); ++i) {
        if (remembered(i)) {
            lastHit_ = i;
            return recent_[i];
        }
    }
    lastHit_ = nextRecent_++ % recent_.size();
    Recent& r = recent_[lastHit_];
    r.pattern.assign(pattern);
    const Tag tag = tagOf(pattern);
    r.group = groupOf(tag.hash & hashMask_, false);
    r.exact = false;
    if (r.group && !r.group->mixed) {
        // All tags of the group read alike: either all of them match or none does.
        r.exact = r.group->length == tag.length &&
                  (tag.length <= kShortTag ? std::memcmp(r.group->shape, tag.bytes, kShortTag) == 0
                                           : matchesAt(text, static_cast<int32_t>(r.group->sample), pattern));
        if (!r.exact) r.group = nullptr;
    }
    return r;
}

int32_t TagIndex::find(Units source, int32_t start, Units pattern) {
    if (source.size() < threshold_ || !isSingleTag(pattern)) return plainFind(start, source, pattern);
    if (start < 1 || start > len32(source)) return 0;
    if (!built_) build(source);
    const Recent& found = lookup(source, pattern);
    Group* group = found.group;
    if (!group) return 0;
    // The first position at or after start lies in [lo, hi): forward from the last answer in
    // doubling steps when a walk moves on, else before it.
    const int32_t* at = positions_.data();
    uint32_t lo = group->begin, hi = group->end;
    if (group->last < group->end) {
        if (at[group->last] < start) {
            lo = group->last + 1;
            uint32_t step = 1;
            while (step <= hi - lo && at[lo + step - 1] < start) {
                lo += step;
                step *= 2;
            }
            hi = std::min(hi, lo + step);
        } else {
            hi = group->last + 1;
        }
    }
    // In a mixed group, tags that only share the hash are passed over.
    for (const int32_t* p = std::lower_bound(at + lo, at + hi, start); p < at + group->end; ++p) {
        if (found.exact || matchesAt(source, *p, pattern)) {
            group->last = static_cast<uint32_t>(p - at);
            return *p;
        }
    }
    return 0;
}

// ---- Document ----

int32_t Document::locate(int32_t start, Units pattern) const { return index_.find(content_, start, pattern); }

bool Document::Load(std::u16string source) {
    if (source.size() > kMaxContent) return false;
    content_ = std::move(source);
    index_.clear();
    level_ = 1;
    start_[0] = 1;
    end_[0] = len32(content_) + 1;
    return true;
}

std::optional<std::pair<int32_t, int32_t>> Document::CurrentRange() const {
    if (level_ < 1 || level_ > kMaxLevels) return std::nullopt;
    return std::pair{start_[static_cast<size_t>(level_ - 1)], end_[static_cast<size_t>(level_ - 1)]};
}

std::optional<Document::Pair> Document::findPair(int32_t from, int32_t end, Units open, Units close) const {
    const int32_t o = locate(from, open);
    if (o == 0 || o >= end) return std::nullopt;
    const int32_t inner = o + len32(open);
    const int32_t c = locate(inner, close);
    if (c == 0 || c >= end) return std::nullopt;
    return Pair{o, inner, c, c + len32(close)};
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
        const auto pair = findPair(range->first, range->second, openTag(tagName), closeTag(tagName));
        if (pair) result = push(*pair);
    });
    return result;
}

bool Document::ReadWithinTagsOccurence(Units tagName, int32_t occurrence) {
    bool result = false;
    stopOnError([&] {
        const auto range = CurrentRange();
        if (!range) return;
        const std::u16string open = openTag(tagName), close = closeTag(tagName);
        int32_t from = range->first, count = 0;
        while (const auto pair = findPair(from, range->second, open, close)) {
            if (++count == occurrence) {
                result = push(*pair);
                return;
            }
            from = pair->after;
        }
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
        const auto pair = findPair(range->first, range->second, openTag(propertyName), closeTag(propertyName));
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
        const std::u16string open = openTag(tagName), close = closeTag(tagName);
        int32_t from = range->first;
        while (const auto pair = findPair(from, range->second, open, close)) {
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
