#include "text/strings.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "frame/error.hpp"

using namespace lark::text;
using std::u16string;

namespace {

constexpr char16_t Q = u'"';

// Runs body and returns the error it raised, if any.
template <class Body>
std::optional<lark::Error> errorOf(Body&& body) {
    try {
        body();
    } catch (const lark::Error& e) {
        return e;
    }
    return std::nullopt;
}

std::vector<u16string> texts(Units s, const std::vector<Token>& tokens) {
    std::vector<u16string> out;
    for (const Token& t : tokens) out.emplace_back(s.substr(t.offset, t.length));
    return out;
}

using Texts = std::vector<u16string>;

// Straightforward versions of the search rules, unit by unit, for comparison.
uint16_t fold(uint16_t u, int compare) { return compare == 1 && u >= 97 && u <= 122 ? u - 32 : u; }

// Step 1 scans forward, -1 backward (where a start of -1 means the end).
int refInChar(int start, Units s, int16_t c, int compare, int step) {
    const int len = static_cast<int>(s.size());
    if (step < 0 && start == -1) start = len;
    if (len == 0 || start > len || start < 1) return -1;
    for (int p = start; p >= 1 && p <= len; p += step)
        if (fold(s[p - 1], compare) == fold(static_cast<uint16_t>(c), compare)) return p;
    return -1;
}

// Copies both strings to byte buffers and compares the even (low) bytes.
int refInstr(int start, Units s, Units m, int compare) {
    if (s.empty() || m.empty() || m.size() > s.size()) return 0;
    if (start < 0) return -1;
    if (start > static_cast<int>(s.size()) || compare == 2) return 0;
    std::vector<uint8_t> c, mb;
    for (char16_t u : s) c.insert(c.end(), {uint8_t(u & 0xFF), uint8_t(u >> 8)});
    for (char16_t u : m) mb.insert(mb.end(), {uint8_t(u & 0xFF), uint8_t(u >> 8)});
    const auto fb = [&](uint8_t b) { return compare == 1 && b >= 97 && b <= 122 ? b - 32 : b; };
    for (size_t o = 2 * (start - 1); o + mb.size() <= c.size(); o += 2) {
        bool all = true;
        for (size_t k = 0; k < mb.size() && all; k += 2) all = fb(c[o + k]) == fb(mb[k]);
        if (all) return static_cast<int>((o + 2) / 2);
    }
    return 0;
}

int refInstrRev(Units s, Units m, int start, int compare) {
    const int n = static_cast<int>(s.size()), len = static_cast<int>(m.size());
    if (len == 0) return n;
    if (len > n) return 0;
    if (start == -1) start = n;
    else if (start > n || compare == 2) return 0;
    start = std::min(start, n - len + 1);
    for (int p = start; p >= 1; --p) {
        int k = 1;
        for (; k <= len; ++k) {
            const uint16_t a = fold(s[p + k - 2], compare), b = fold(m[k - 1], compare);
            if (a > 255 || b > 255) return 0;
            if (a != b) break;
        }
        if (k > len) return p;
    }
    return 0;
}

// The tokenizer walk, with the quoted-field rule; nullopt where the quoted Mid would fail.
std::optional<Texts> refSplit(Units s, int16_t delim, int compare, bool quoted) {
    const auto isDelim = [&](size_t i) { return fold(s[i], compare) == fold(uint16_t(delim), compare); };
    Texts out;
    size_t i = 0;
    while (true) {
        while (i < s.size() && isDelim(i)) ++i;
        if (i >= s.size()) return out;
        const size_t first = i;
        const bool q = quoted && s[i] == Q;
        if (q)
            for (++i; i < s.size() && s[i] != Q;) ++i;
        while (i < s.size() && !isDelim(i)) ++i;
        if (!q) out.emplace_back(s.substr(first, i - first));
        else if (i - first < 2) return std::nullopt;
        else out.emplace_back(s.substr(first + 1, i - first - 2));
    }
}

// Letters and their neighbours at both ends of the fold range, units whose low byte is a letter
// or a comma but whose high byte is set (one of them negative as a 16-bit value), and a quote.
const char16_t kAlphabet[] = {u'a', u'A', u'z', u'Z', u'b', u',', Q,      u'@',   u'[',
                              u'`', u'{', u' ', 0x141, 0x161, 0xFF61, 0x12C, 0x17A};

}  // namespace

// What the random comparison below does not reach: start 0, errors, and the other members.
TEST(TextSearch, ErrorsAndPrecedence) {
    EXPECT_EQ(lrkInstr(0, u"", u"a", 0), 0);  // the empty check wins over the start-0 error
    EXPECT_EQ(lrkInstr(0, u"abc", u"abcd", 0), 0);
    EXPECT_EQ(lrkInstrRev(u"ab", u"abc", 0), 0);  // too long wins over the start error
    EXPECT_EQ(lrkInstrRev(u"abcabc", u"BC"), 5);   // text mode by default
    EXPECT_EQ(lrkInChar(0, u"abc", 97, 0), -1);
    EXPECT_EQ(lrkInCharRev(u"a,b,c", 44, 0, 0), -1);
    const std::pair<std::function<void()>, const char16_t*> raising[] = {
        {[] { lrkInstr(0, u"abc", u"b", 0); }, u"MDataStructures.lrkInstr"},
        {[] { lrkInstrRev(u"abc", u"b", 0); }, u"MDataStructures.lrkInstrRev"},
        {[] { lrkInstrRev(u"abc", u"b", -2); }, u"MDataStructures.lrkInstrRev"},
        {[] { FastSplit2(u"\"", 44, 0, true); }, nullptr},
        {[] { FastSplit2(u"a,\"", 44, 0, true); }, nullptr},
        {[] { StripQuotes(u"\""); }, nullptr}};
    for (const auto& [body, source] : raising) {
        const auto e = errorOf(body);
        ASSERT_TRUE(e);
        EXPECT_EQ(e->number, 5);
        EXPECT_TRUE(!source || e->source == source);
    }
}

TEST(TextSearch, CharAccessReplaceCompareAndTrim) {
    EXPECT_EQ(QuickMid(u"abc", 2, 1), 66);
    EXPECT_EQ(QuickMid(u"abc", 2, 0), 98);
    EXPECT_EQ(QuickMid(u"abc", 0, 1), 0);
    EXPECT_EQ(QuickMid(u"abc", 4, 1), 0);
    EXPECT_EQ(lrkMidAscW(u"a\uFF61", 2), -159);
    EXPECT_EQ(lrkMidAscW(u"abc", 4), 0);

    u16string s = u"Aa";
    lrkReplaceChar(1, s, 97, 120, 1);
    EXPECT_EQ(s, u"xx");
    s = u"abab";
    lrkReplaceChar(2, s, u'a', u'Y', 0);
    EXPECT_EQ(s, u"abYb");
    for (auto [start, compare] : {std::pair{0, 0}, {5, 0}, {1, 2}}) {
        lrkReplaceChar(start, s, u'b', u'z', compare);
        EXPECT_EQ(s, u"abYb") << start << ' ' << compare;
    }
    u16string longest(16383, u'a'), over(16384, u'a');
    lrkReplaceChar(1, longest, u'a', u'b', 0);
    lrkReplaceChar(1, over, u'a', u'b', 0);
    EXPECT_EQ(longest, u16string(16383, u'b'));
    EXPECT_EQ(over, u16string(16384, u'a'));

    EXPECT_FALSE(IsEqualString(u"", u"", 0));
    EXPECT_TRUE(IsEqualString(u"abc", u"ABC", 1));
    EXPECT_FALSE(IsEqualString(u"abc", u"ABC", 0));
    EXPECT_FALSE(IsEqualString(u"abc", u"abc", 2));
    EXPECT_FALSE(IsEqualString(u"abc", u"abcd", 0));
    EXPECT_TRUE(IsEqualString(u"\u0141b", u"Ab", 0));
    for (Units q : {u"\"abc\"", u"\"abc", u"abc\"", u"abc"}) EXPECT_EQ(StripQuotes(q), u"abc");
    EXPECT_EQ(StripQuotes(u""), u"");
    EXPECT_EQ(StripQuotes(u"\"\""), u"");
    EXPECT_EQ(TrimSpaces(u"  a b \t "), u"a b \t");
    EXPECT_EQ(TrimSpaces(u"   "), u"");
}

TEST(TextTokenize, FixedCases) {
    EXPECT_EQ(texts(u",,a,b,,", FastTokenize(u",,a,b,,", 44, 0)), (Texts{u"a", u"b"}));
    EXPECT_TRUE(FastTokenize(u"", 44, 0).empty());
    EXPECT_EQ(texts(u"xAyaz", FastTokenize(u"xAyaz", u'a', 1)), (Texts{u"x", u"y", u"z"}));
    EXPECT_EQ(texts(u"\"abc", FastSplit2(u"\"abc", 44, 0, true)), (Texts{u"ab"}));
    const u16string after = u",\"a,b\"cd,e\"f\",\"\"";
    EXPECT_EQ(texts(after, FastSplit2(after, 44, 0, true)), (Texts{u"a,b\"c", u"e\"f\"", u""}));
    EXPECT_EQ(texts(u"\",b", FastSplit2(u"\",b", 44, 0, true)), (Texts{u","}));  // runs to the end
}

// A single match at every offset of strings spanning several vector blocks, from every start.
TEST(TextSearch, BlockEdges) {
    for (size_t n = 1; n <= 140; ++n) {
        for (size_t j = 0; j < n; ++j) {
            u16string s(n, u'x');
            s[j] = 0x161;  // low byte 'a', high byte set
            const int want = static_cast<int>(j) + 1;
            for (int start = 1; start <= static_cast<int>(n); start += 7) {
                ASSERT_EQ(lrkInChar(start, s, 0x161, 0), start <= want ? want : -1) << n << ' ' << j;
                ASSERT_EQ(lrkInCharRev(s, 0x161, 0, start), start >= want ? want : -1) << n << ' ' << j;
            }
            ASSERT_EQ(lrkInChar(1, s, u'a', 1), -1);
            ASSERT_EQ(lrkInstr(1, s, u"A", 1), want);
            if (j + 3 <= n) {
                s[j + 2] = u'Q';
                ASSERT_EQ(lrkInstr(1, s, u"axq", 1), want) << n << ' ' << j;
                ASSERT_EQ(lrkInstr(1, s, u"axq", 0), 0);
            }
            s[j] = u',';
            const Texts parts = texts(s, FastTokenize(s, 44, 0));
            ASSERT_EQ(parts.size(), size_t{j > 0} + size_t{j + 1 < n}) << n << ' ' << j;
        }
    }
}

TEST(TextSearch, RandomAgainstReference) {
    std::mt19937 rng(20100097);
    const auto pick = [&](size_t n, size_t kinds) {
        u16string s(n, 0);
        for (auto& u : s) u = kAlphabet[rng() % kinds];
        return s;
    };
    for (int trial = 0; trial < 6000; ++trial) {
        const size_t n = trial < 4100 ? trial % 41 : 41 + rng() % 300;
        const size_t kinds = 2 + rng() % (std::size(kAlphabet) - 1);  // fewer kinds, more matches
        const u16string s = pick(n, kinds), m = pick(1 + rng() % 4, kinds);
        const int compare = static_cast<int>(rng() % 3), start = static_cast<int>(rng() % (n + 2)) - 1;
        const auto c = static_cast<int16_t>(m[0]);
        SCOPED_TRACE(testing::Message() << "trial " << trial);
        ASSERT_EQ(lrkInChar(start, s, c, compare), refInChar(start, s, c, compare, 1));
        ASSERT_EQ(lrkInCharRev(s, c, compare, start), refInChar(start, s, c, compare, -1));
        if (start != 0) {
            ASSERT_EQ(lrkInstr(start, s, m, compare), refInstr(start, s, m, compare));
            if (start >= -1) {
                ASSERT_EQ(lrkInstrRev(s, m, start, compare), refInstrRev(s, m, start, compare));
            }
        }
        for (bool quoted : {false, true}) {
            const auto want = refSplit(s, c, compare, quoted);
            Texts got;
            const auto e = errorOf([&] { got = texts(s, FastSplit2(s, c, compare, quoted)); });
            ASSERT_EQ(e.has_value(), !want.has_value());
            if (want) {
                ASSERT_EQ(got, *want);
            }
        }
    }
}

TEST(TextSearch, LongStrings) {
    u16string s(1 << 20, u'x');
    s.back() = u'Z';
    EXPECT_EQ(lrkInChar(1, s, u'z', 1), 1 << 20);
    EXPECT_EQ(lrkInCharRev(s, u'z', 1), 1 << 20);
    EXPECT_EQ(lrkInChar(1, s, u'z', 0), -1);
    s[s.size() - 3] = u'y';
    EXPECT_EQ(lrkInstr(1, s, u"yxz", 1), (1 << 20) - 2);
    EXPECT_EQ(lrkInstrRev(s, u"yxz"), (1 << 20) - 2);
    for (size_t i = 5; i < s.size(); i += 9) s[i] = u',';
    EXPECT_EQ(FastTokenize(s, 44, 0).size(), s.size() / 9 + 1);
}
