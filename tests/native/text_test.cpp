// Text core: tables, random strings against plain rules, command lines, the sort, words. Also built on the scalar core.
#include "support.hpp"
#include "text/command_line.hpp"
#include "text/quick_sort.hpp"
#include "text/strings.hpp"
#include "text/words.hpp"

using namespace lark::text;
using namespace lark::test;
using Texts = std::vector<u16string>;

namespace {

// The plain rules: mode 1 folds a..z, mode 2 (database) finds nothing, any other mode is binary.
uint16_t fold(uint16_t u, int mode) { return mode == 1 && u >= 'a' && u <= 'z' ? u - 32 : u; }

int refInChar(int start, Units s, uint16_t c, int mode, int step) {  // step -1: backward, start -1 the end
    if (step < 0 && start == -1) start = int(s.size());
    for (int p = start; p >= 1 && p <= int(s.size()); p += step)
        if (fold(s[p - 1], mode) == fold(c, mode)) return p;
    return -1;
}

int refInstr(int start, Units s, Units m, int mode) {  // low bytes only
    if (s.empty() || m.empty() || m.size() > s.size()) return 0;
    if (start < 0) return -1;
    const auto same = [&](uint16_t a, uint16_t b) { return fold(a & 0xFF, mode) == fold(b & 0xFF, mode); };
    for (size_t p = size_t(start - 1); mode != 2 && p + m.size() <= s.size(); ++p)
        if (std::equal(m.begin(), m.end(), s.begin() + p, same)) return int(p + 1);
    return 0;
}

// The tokenizer walk with the quoted-field rule; nothing where a quoted field has no inside.
std::optional<std::vector<Token>> refSplit(Units s, uint16_t delimiter, int mode, bool quoted) {
    const auto isDelimiter = [&](uint16_t u) { return fold(u, mode) == fold(delimiter, mode); };
    std::vector<Token> out;
    for (size_t i = 0;;) {
        i = std::find_if_not(s.begin() + i, s.end(), isDelimiter) - s.begin();
        if (i >= s.size()) return out;
        const size_t first = i;
        const bool q = quoted && s[i] == u'"';
        if (q) i = std::min(s.find(u'"', i + 1), s.size());
        i = std::find_if(s.begin() + i, s.end(), isDelimiter) - s.begin();
        if (q && i - first < 2) return std::nullopt;
        out.push_back(q ? Token{first + 1, i - first - 2} : Token{first, i - first});
    }
}

TEST(TextCore, RowsOfEachMember) {
    EXPECT_EQ(lrkInstr(0, u"", u"a", 0) + lrkInstr(0, u"abc", u"abcd", 0), 0);  // both win over the start-0 error
    EXPECT_EQ(lrkInstrRev(u"abcabc", u"BC"), 5);                                // text mode from the end by default
    EXPECT_EQ((std::array{lrkInstr(INT32_MAX, u"ab", u"b", 0), lrkInstr(INT32_MIN, u"ab", u"b", 0),  // far starts
                          lrkInChar(INT32_MAX, u"ab", 'b', 0), lrkInChar(INT32_MIN, u"ab", 'b', 0),
                          lrkInCharRev(u"ab", 'b', 0, INT32_MAX), lrkInCharRev(u"ab", 'b', 0, INT32_MIN)}),
              (std::array{0, -1, -1, -1, -1, -1}));
    EXPECT_EQ(u16string(TrimSpaces(u"  a b \t ")) + u16string(TrimSpaces(u"   ")), u"a b \t");
    // clang-format off
    const std::pair<std::function<void()>, Units> errors[] = {
        {[] { lrkInstr(0, u"abc", u"b", 0); }, u"MDataStructures.lrkInstr"},
        {[] { lrkInstrRev(u"abc", u"b", 0); }, u"MDataStructures.lrkInstrRev"}, {[] { StripQuotes(u"\""); }, u""},
        {[] { lrkInstrRev(u"abc", u"b", -2); }, u"MDataStructures.lrkInstrRev"},
        {[] { FastSplit2(u"a,\"", 44, 0, true); }, u""}};
    // Whole units from the end, giving up at one above 255: text, match, start, mode, position.
    const std::tuple<Units, Units, int, int, int> reverse[] = {{u"abcabc", u"", 2, 0, 6}, {u"ab", u"abc", 0, 0, 0},
        {u"abcabc", u"bc", -1, 0, 5}, {u"abcabc", u"bc", 4, 0, 2}, {u"abcabc", u"bc", 5, 0, 5},
        {u"abcabc", u"bc", 6, 0, 5}, {u"abcabc", u"bc", 7, 0, 0}, {u"abcabc", u"BC", -1, 1, 5},
        {u"abcabc", u"BC", -1, 3, 0}, {u"abcabc", u"bc", 6, 2, 0}, {u"abcabc", u"bc", -1, 2, 5},
        {u"a\u0100bc", u"a", -1, 0, 0}, {u"\u0100bc", u"b", -1, 0, 2}, {u"abcabc", u"bc", INT32_MAX, 0, 0}};
    // text, position, mode, QuickMid, lrkMidAscW
    const std::tuple<Units, int, int, int, int> units[] = {{u"abc", 2, 0, 'b', 'b'}, {u"`az{", 1, 1, '`', '`'},
        {u"`az{", 2, 1, 'A', 'a'}, {u"`az{", 3, 1, 'Z', 'z'}, {u"`az{", 4, 1, '{', '{'}, {u"abc", 0, 1, 0, 0},
        {u"abc", 4, 1, 0, 0}, {u"a\uFF61", 2, 1, -159, -159}, {u"abc", INT32_MAX, 1, 0, 0}, {u"abc", INT32_MIN, 1, 0, 0}};
    const std::tuple<u16string, int, char16_t, char16_t, int, u16string> replaces[] = {{u"Aa", 1, u'a', u'x', 1, u"xx"},
        {u"abab", 4, u'b', u'z', 0, u"abaz"}, {u"abab", 0, u'b', u'z', 0, u"abab"},
        {u"abab", 5, u'b', u'z', 0, u"abab"}, {u"abab", 1, u'b', u'z', 2, u"abab"},
        {u"abab", INT32_MAX, u'b', u'z', 0, u"abab"}, {u"abab", INT32_MIN, u'b', u'z', 0, u"abab"},
        {u16string(16383, u'a'), 2, u'a', u'b', 0, u'a' + u16string(16382, u'b')},
        {u16string(16384, u'a'), 1, u'a', u'b', 0, u16string(16384, u'a')}};  // past the 16-bit byte count
    const std::tuple<Units, Units, int, bool> equals[] = {{u"", u"", 0, false}, {u"abc", u"ABC", 1, true},
        {u"abc", u"ABC", 0, false}, {u"abc", u"abc", 2, false}, {u"abc", u"abcd", 0, false},
        {u"\u0141b", u"Ab", 0, true}};
    const std::pair<Units, Units> strips[] = {{u"\"abc\"", u"abc"}, {u"\"abc", u"abc"}, {u"abc\"", u"abc"}, {u"", u""},
        {u"\"\"", u""}};
    const std::array<int32_t, 3> words[] = {{65537, 1, 1}, {-65536, 0, -1}, {65535, -1, 0}, {32767, 32767, 0},
        {32768, -32768, 0}, {INT32_MIN, 0, -32768}};  // value, low word, high word
    // clang-format on
    for (const auto& [call, source] : errors)
        EXPECT_EQ(std::pair(raised(call).number, raised(call).source), std::pair(5, u16string(source)));
    for (const auto& [s, m, start, mode, at] : reverse)
        EXPECT_EQ(lrkInstrRev(s, m, start, mode), at) << show(s) << start;
    for (const auto& [s, pos, mode, quickMid, midAscW] : units)
        EXPECT_EQ(std::pair(QuickMid(s, pos, mode), lrkMidAscW(s, pos)), std::pair(int16_t(quickMid), int16_t(midAscW)))
            << pos;
    for (auto [s, start, match, by, mode, expected] : replaces) {
        lrkReplaceChar(start, s, int16_t(match), int16_t(by), mode);
        EXPECT_EQ(s, expected) << show(expected) << start;
    }
    for (const auto& [a, b, mode, equal] : equals)
        EXPECT_EQ(IsEqualString(a, b, mode), equal) << show(a) << show(b);
    for (const auto& [in, out] : strips)
        EXPECT_EQ(StripQuotes(in), out) << show(in);
    for (const auto& [v, lo, hi] : words)
        EXPECT_EQ(std::pair(loWord(uint32_t(v)), hiWord(uint32_t(v))), std::pair(int16_t(lo), int16_t(hi))) << v;
    for (auto [lo, hi, packed] : {std::array{-1, 1, 131071}, {1, -1, -65535}, {0, -32768, INT32_MIN}, {-1, -1, -1}})
        EXPECT_EQ(packWords(int16_t(lo), int16_t(hi)), packed) << lo << ',' << hi;
    for (auto [v, low] : {std::pair{300, 44}, {-1, 255}, {256, 0}})
        EXPECT_EQ(lowByte(v), low) << v;
}

// Random strings up to a few vector blocks, every other one mostly filler so that matches fall at every block offset.
// Units: letters and their neighbours at both ends of the fold range, letters and a comma under a high byte, a quote.
// Run once per vector width the build and the processor offer.
TEST(TextSearch, RandomStringsAgainstThePlainRules) {
    const char16_t alphabet[] = {u'a', u'A', u'z', u'Z',  u'b',  u',',   u'"',  u'@', u'[',
                                 u'`', u'{', u' ', 0x141, 0x161, 0xFF61, 0x12C, 0x17A};
    const std::vector<VectorWidth> widths = searchVectorWidths();
    for (VectorWidth width : widths) {
        setSearchVectorWidth(width);
        std::mt19937 rng(20100097);
        for (int trial = 0; trial < 8000; ++trial) {
            const size_t n = trial < 4100 ? trial % 41 : 41 + rng() % 300;
            const size_t kinds = 2 + rng() % (std::size(alphabet) - 1);  // fewer kinds, more matches
            const auto pick = [&](size_t length, unsigned filler) {      // filler: the share of 'x', in percent
                u16string s(length, u'x');
                std::generate(s.begin(), s.end(),
                              [&] { return rng() % 100 >= filler ? alphabet[rng() % kinds] : u'x'; });
                return s;
            };
            const u16string m = pick(1 + rng() % 4, 0), buffer = pick(n, trial % 2 ? 0 : 95 + rng() % 5) + m + m;
            const Units s(buffer.data(), n);  // the needle right after the end: reading past it finds it
            const int mode = int(rng() % 4), start = int(rng() % (n + 2)) - 1;
            const uint16_t c = m[0];
            SCOPED_TRACE(testing::Message() << show(s) << ", " << show(m) << ", start " << start << ", mode " << mode
                                            << ", width " << int(width));
            ASSERT_EQ(lrkInChar(start, s, int16_t(c), mode), refInChar(start, s, c, mode, 1));
            ASSERT_EQ(lrkInCharRev(s, int16_t(c), mode, start), refInChar(start, s, c, mode, -1));
            ASSERT_EQ(start ? lrkInstr(start, s, m, mode) : 0, start ? refInstr(start, s, m, mode) : 0);
            for (bool quoted : {false, true}) {
                const auto want = refSplit(s, c, mode, quoted);
                std::vector<Token> got;
                ASSERT_EQ(raised([&] { got = FastSplit2(s, int16_t(c), mode, quoted); }).number, want ? 0 : 5);
                ASSERT_EQ(got, want.value_or(std::vector<Token>{}));
            }
        }
    }
}

struct Case {
    u16string line;
    Texts parameters;
    bool malformed = false;
    int32_t count = -1;  // -1: as many as stored
};

// At most 100 parameters are stored: a 101st is counted and ends the parse, unless an unterminated quote ends it
// first. The position may not pass 32,767: a move beyond fails the parse after the parameter just taken.
TEST(CommandLine, QuotingSpacesAndLimits) {
    const auto x = [](size_t n) { return u16string(n, u'x'); };
    const size_t kMax = 32767;
    Texts w;  // "w00" to "w99"
    u16string words;
    for (char16_t i = 0; i < 100; ++i)
        words += u' ' + w.emplace_back(u16string{u'w', char16_t(u'0' + i / 10), char16_t(u'0' + i % 10)});
    // clang-format off
    const Case cases[] = {{u"x a\"b c", {u"x", u"a\"b", u"c"}}, {u"ab\"cd ef\"", {u"ab", u"cd ef"}},
        {u"\"a\"b", {u"a", u"b"}}, {u"a b\"", {u"a", u"b\""}}, {u"  one   two  ", {u"one", u"two"}},
        {u"a\tb c", {u"a\tb", u"c"}},
        // The space that ends a parameter is its own: the next one is not "after spaces".
        {u"a b c\"d e\"", {u"a", u"b", u"c", u"d e"}}, {u"\"a b\"c\"d e\"", {u"a b", u"c", u"d e"}},
        {u"a  \"b\"", {u"a", u"b"}}, {u"\"a\"\"b\"", {u"a", u"b"}}, {u"  \"\"  ", {u""}}, {u"\"\" \"\"", {u"", u""}},
        {u"a\"\"b", {u"a", u"", u"b"}}, {u"", {}}, {u16string(70000, u' '), {}},
        // An unterminated quote keeps what came before it.
        {u"\"", {}, true}, {u"x \"abc", {u"x"}, true}, {u"x\"abc", {u"x"}, true}, {u"a\"", {u"a"}, true},
        {words, w}, {words + u" x", w, true, 101}, {words + u" \"\"", w, true, 101}, {words + u" \"x", w, true},
        // Unquoted at the start, the position moves to just after the end; quoted, past the mark.
        {x(kMax - 1), {x(kMax - 1)}}, {x(kMax), {x(kMax)}, true}, {u'"' + x(kMax - 3) + u'"', {x(kMax - 3)}},
        {u'"' + x(kMax - 2) + u'"', {x(kMax - 2)}, true},
        // After spaces a parameter must start by 32,767, and the last one may run on past it; the
        // space that ends one must leave the next position within range.
        {u'a' + u16string(kMax - 2, u' ') + u'b', {u"a", u"b"}},
        {u'a' + u16string(kMax - 1, u' ') + u'b', {u"a"}, true}, {u"a " + x(40000), {u"a", x(40000)}},
        {u"a " + x(kMax - 3) + u" c", {u"a", x(kMax - 3)}, true},
        {u"a " + x(kMax - 4) + u" c", {u"a", x(kMax - 4), u"c"}, true}};
    // clang-format on
    for (const Case& c : cases) {
        const ParsedCommandLine r = parseCommandLine(c.line);
        EXPECT_EQ(std::tuple(r.parameters, r.malformed, r.count),
                  std::tuple(c.parameters, c.malformed, c.count < 0 ? int32_t(c.parameters.size()) : c.count))
            << show(c.line);
    }
}

using Exchanges = std::vector<std::pair<int64_t, int64_t>>;

// An array by its own indices from lower on; any other index throws, as a subscript error does. Exchanges are logged.
struct Access {
    int64_t lower = 0;
    std::vector<int> items;
    Exchanges log{};
    int& operator[](int64_t i) {
        if (i < lower || i - lower >= int64_t(items.size())) throw std::out_of_range("subscript");
        return items[size_t(i - lower)];
    }
    int pivot(int64_t i) { return (*this)[i]; }
    bool less(int64_t i, int p) { return (*this)[i] < p; }
    bool greater(int64_t i, int p) { return (*this)[i] > p; }
    void exchange(int64_t i, int64_t j) { std::swap((*this)[i], (*this)[j]), log.emplace_back(i, j); }
};

// The plain procedure, both parts by recursion in the order the sort takes them (it loops for the second one).
template <class A>
void recursiveSort(A& a, int64_t left, int64_t right) {
    if (left >= right) return;
    const int64_t mid = (left + right) / 2;
    const auto pivot = a.pivot(mid);
    int64_t i = left, j = right;
    do {
        while (a.less(i, pivot))
            ++i;
        while (a.greater(j, pivot))
            --j;
        if (i <= j) a.exchange(i++, j--);
    } while (i <= j);
    recursiveSort(a, j > mid ? i : left, j > mid ? right : j);
    recursiveSort(a, j > mid ? left : i, j > mid ? j : right);
}

std::vector<int> randomKeys(std::mt19937& rng, size_t n, int distinct) {
    std::vector<int> keys(n);
    std::generate(keys.begin(), keys.end(), [&] { return int(rng() % unsigned(distinct)) - distinct / 2; });
    return keys;
}

TEST(QuickSort, ExchangesAsThePlainProcedureAndEndsOnAnyOrder) {
    std::mt19937 rng(11);
    for (int round = 0; round < 3000; ++round) {
        const size_t n = 1 + rng() % (round < 2900 ? 60 : 3000);
        const int64_t lower = int64_t(rng() % 7) - 3, left = lower + int64_t(rng() % n),
                      right = lower + int64_t(rng() % n);
        Access ours{lower, randomKeys(rng, n, round % 3 ? 1 + int(rng() % 12) : 1 << 30)}, theirs = ours;
        quickSort(ours, left, right);
        recursiveSort(theirs, left, right);
        ASSERT_EQ(ours.log, theirs.log) << "round " << round << ": " << left << ".." << right << " from " << lower;
        ASSERT_TRUE(left >= right || std::is_sorted(&ours[left], &ours[right] + 1));
    }
    // Always less, always greater or at random: the sort ends, stays inside the range and keeps every element.
    struct Inconsistent : Access {
        std::mt19937* rng;
        int mode, calls = 0;
        bool say(int64_t i, int answer) {
            if (++calls > 1000000) throw std::runtime_error("the sort does not end");
            return (*this)[i] == (*this)[i] && (mode == answer || (mode == 2 && (*rng)() % 2));
        }
        bool less(int64_t i, int) { return say(i, 0); }
        bool greater(int64_t i, int) { return say(i, 1); }
    };
    rng.seed(3);
    for (int round = 0; round < 150; ++round) {
        Inconsistent bad{{10, randomKeys(rng, 1 + rng() % 100, 100)}, &rng, round % 3};
        const std::vector<int> before = bad.items;
        ASSERT_NO_THROW(quickSort(bad, 10, 9 + int64_t(bad.items.size()))) << "mode " << bad.mode;
        ASSERT_TRUE(std::is_permutation(before.begin(), before.end(), bad.items.begin()));
    }
}

}  // namespace
