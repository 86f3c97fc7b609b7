// The search and tokenizing functions against plain loops over the same units: every position,
// token list, replacement and trimmed text must agree, and the errors come exactly where stated.
#include "input.hpp"
#include "text/strings.hpp"

#include <algorithm>
#include <optional>

using namespace lark::text;
using lark::fuzz::raised;

namespace {

uint16_t fold(uint16_t unit, int32_t mode) { return mode == kTextCompare && static_cast<uint16_t>(unit - u'a') < 26 ? static_cast<uint16_t>(unit - 32) : unit; }

// The position of the first (step 1) or last (step -1) unit from start on that matches c; -1
// when there is none or start lies outside the text.
int32_t plainInChar(Units s, int32_t start, uint16_t c, int32_t mode, int step) {
    if (step < 0 && start == -1) start = static_cast<int32_t>(s.size());
    if (start < 1 || start > static_cast<int64_t>(s.size())) return -1;
    for (int64_t p = start; p >= 1 && p <= static_cast<int64_t>(s.size()); p += step)
        if (fold(s[p - 1], mode) == fold(c, mode)) return static_cast<int32_t>(p);
    return -1;
}

// The first position from start where the low bytes of m occur; -1 for a negative start.
int32_t plainInstr(int32_t start, Units s, Units m, int32_t mode) {
    if (s.empty() || m.empty() || m.size() > s.size()) return 0;
    if (start < 0) return -1;
    const auto same = [&](uint16_t a, uint16_t b) { return fold(a & 0xFF, mode) == fold(b & 0xFF, mode); };
    for (int64_t p = start - 1; mode != kDatabaseCompare && p + m.size() <= s.size(); ++p)
        if (std::equal(m.begin(), m.end(), s.begin() + p, same)) return static_cast<int32_t>(p + 1);
    return 0;
}

// The tokens as one walk finds them; nothing where a quoted token has no inside.
std::optional<std::vector<Token>> plainSplit(Units s, uint16_t delimiter, int32_t mode, bool quoted) {
    const auto isDelimiter = [&](uint16_t u) { return fold(u, mode) == fold(delimiter, mode); };
    std::vector<Token> out;
    for (size_t i = 0;;) {
        while (i < s.size() && isDelimiter(s[i])) ++i;
        if (i == s.size()) return out;
        const size_t first = i;
        const bool q = quoted && s[i] == u'"';
        if (q) i = std::min(s.find(u'"', i + 1), s.size());
        while (i < s.size() && !isDelimiter(s[i])) ++i;
        if (q && i - first < 2) return std::nullopt;
        out.push_back(q ? Token{first + 1, i - first - 2} : Token{first, i - first});
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    lark::fuzz::Input in(data, size);
    const int32_t mode = in.byte() % 4;  // 3: any other mode, which acts as binary
    const int32_t start = in.position();
    const std::u16string match = in.text(), check = in.text();
    const uint16_t c = match.empty() ? 0 : match[0];
    const auto n = static_cast<int64_t>(check.size());

    FUZZ_CHECK(lrkInChar(start, check, static_cast<int16_t>(c), mode) == plainInChar(check, start, c, mode, 1));
    FUZZ_CHECK(lrkInCharRev(check, static_cast<int16_t>(c), mode, start) == plainInChar(check, start, c, mode, -1));

    const bool startError = start == 0 && !check.empty() && !match.empty() && match.size() <= check.size();
    int32_t at = 0;
    FUZZ_CHECK(raised([&] { at = lrkInstr(start, check, match, mode); }) == (startError ? 5 : 0));
    if (!startError) FUZZ_CHECK(at == plainInstr(start, check, match, mode));
    FUZZ_CHECK(IsEqualString(check, match, mode) == (check.size() == match.size() && plainInstr(1, check, match, mode) == 1));

    // From the end: a position where match stands, compared unit by unit, or 0.
    const bool revError = !match.empty() && match.size() <= check.size() && (start == 0 || start < -1);
    FUZZ_CHECK(raised([&] { at = lrkInstrRev(check, match, start, mode); }) == (revError ? 5 : 0));
    if (!revError && !match.empty()) {
        FUZZ_CHECK(at == 0 || (at >= 1 && at <= n - static_cast<int64_t>(match.size()) + 1));
        for (size_t k = 0; at > 0 && k < match.size(); ++k)
            FUZZ_CHECK(fold(check[at - 1 + k], mode) == fold(match[k], mode));
    }

    for (bool quoted : {false, true}) {
        const auto want = plainSplit(check, c, mode, quoted);
        std::vector<Token> got;
        FUZZ_CHECK(raised([&] { got = FastSplit2(check, static_cast<int16_t>(c), mode, quoted); }) == (want ? 0 : 5));
        if (want) FUZZ_CHECK(got == *want);
    }
    FUZZ_CHECK(FastTokenize(check, static_cast<int16_t>(c), mode) == plainSplit(check, c, mode, false));

    // Every unit from start on that matches c becomes the replacement, within the stated limits.
    std::u16string replaced = check, expected = check;
    const auto by = static_cast<char16_t>(c ^ 0x21);
    lrkReplaceChar(start, replaced, static_cast<int16_t>(c), static_cast<int16_t>(by), mode);
    if (n <= 16383 && start >= 1 && start <= n && mode != kDatabaseCompare)
        for (int64_t p = start; p <= n; ++p)
            if (fold(expected[p - 1], mode) == fold(c, mode)) expected[p - 1] = by;
    FUZZ_CHECK(replaced == expected);

    const uint16_t unitAt = start >= 1 && start <= n ? check[start - 1] : 0;
    FUZZ_CHECK(static_cast<uint16_t>(lrkMidAscW(check, start)) == unitAt);
    FUZZ_CHECK(static_cast<uint16_t>(QuickMid(check, start, mode)) == fold(unitAt, mode));

    // Without one quotation mark at each end; a lone mark has nothing left and raises.
    const bool lone = check == u"\"";
    Units stripped;
    FUZZ_CHECK(raised([&] { stripped = StripQuotes(check); }) == (lone ? 5 : 0));
    if (!lone) {
        const size_t first = !check.empty() && check.front() == u'"';
        const size_t last = check.size() - (!check.empty() && check.back() == u'"');
        FUZZ_CHECK(stripped == Units(check).substr(first, last - first));
    }
    const Units trimmed = TrimSpaces(check);
    const size_t lead = Units(check).find_first_not_of(u' ');
    FUZZ_CHECK(lead == Units::npos ? trimmed.empty() : trimmed.data() == check.data() + lead);
    FUZZ_CHECK(trimmed.empty() || (trimmed.front() != u' ' && trimmed.back() != u' '));
    FUZZ_CHECK(Units(check).substr(lead == Units::npos ? 0 : lead + trimmed.size()).find_first_not_of(u' ') == Units::npos);
    return 0;
}
