#include "xml/xml_text.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "frame/error.hpp"
#include "text/strings.hpp"

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

int32_t TagIndex::find(Units source, int32_t start, Units pattern) {
    if (source.size() < threshold_ || pattern.empty()) return plainFind(start, source, pattern);
    if (start < 1 || start > len32(source)) return 0;
    // The key is the pattern as lrkInstr compares it: low bytes, a..z folded.
    std::u16string key(pattern.size(), u'\0');
    std::transform(pattern.begin(), pattern.end(), key.begin(), [](char16_t c) {
        const auto low = static_cast<char16_t>(c & 0xFF);
        return (low >= u'a' && low <= u'z') ? static_cast<char16_t>(low - 32) : low;
    });
    // Memory stays within a few times the text: too many patterns, or more positions than the
    // text has units (overlapping matches of many patterns), start the cache afresh.
    if ((entries_.size() >= kMaxPatterns || stored_ > source.size()) && entries_.find(key) == entries_.end()) clear();
    Entry& entry = entries_[key];
    if (!entry.built) {
        if (++entry.uses < 2) return plainFind(start, source, pattern);
        for (int32_t p = plainFind(1, source, pattern); p > 0; p = plainFind(p + 1, source, pattern))
            entry.positions.push_back(p);
        entry.built = true;
        stored_ += entry.positions.size();
    }
    const auto it = std::lower_bound(entry.positions.begin(), entry.positions.end(), start);
    return it == entry.positions.end() ? 0 : *it;
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
