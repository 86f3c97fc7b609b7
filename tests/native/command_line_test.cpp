#include "text/command_line.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace lark::text;
using std::u16string;
using Texts = std::vector<u16string>;

namespace {

struct Case {
    u16string line;
    Texts parameters;
};

u16string repeat(char16_t c, size_t n) { return u16string(n, c); }

// Words "w1" to "wN", one space apart.
u16string words(int n) {
    u16string line;
    for (int i = 1; i <= n; ++i) {
        if (i > 1) line += u' ';
        for (char c : "w" + std::to_string(i))
            if (c) line += static_cast<char16_t>(c);
    }
    return line;
}

// The start of a line, for failure messages.
std::string shown(const u16string& line) {
    std::string out;
    for (char16_t u : line.substr(0, 60)) out += u < 128 ? static_cast<char>(u) : '?';
    return out + (line.size() > 60 ? "... (" + std::to_string(line.size()) + " units)" : "");
}

void expectClean(const Case& c) {
    SCOPED_TRACE(shown(c.line));
    ParsedCommandLine r = parseCommandLine(c.line);
    EXPECT_EQ(c.parameters, r.parameters);
    EXPECT_EQ(static_cast<int32_t>(c.parameters.size()), r.count);
    EXPECT_FALSE(r.malformed);
}

void expectMalformed(const u16string& line, const Texts& kept) {
    SCOPED_TRACE(shown(line));
    ParsedCommandLine r = parseCommandLine(line);
    EXPECT_EQ(kept, r.parameters);
    EXPECT_EQ(static_cast<int32_t>(kept.size()), r.count);
    EXPECT_TRUE(r.malformed);
}

TEST(CommandLine, QuotationMarksEndAParameterOnlyWhenNoSpacesPrecedeIt) {
    for (const Case& c : std::vector<Case>{
             {u"x a\"b c", {u"x", u"a\"b", u"c"}},
             {u"ab\"cd ef\"", {u"ab", u"cd ef"}},
             {u"\"a\"b", {u"a", u"b"}},
             {u"a \"b c\" d", {u"a", u"b c", u"d"}},
             {u"a b\"", {u"a", u"b\""}},
             // The space that ends a parameter is its own: the next one is not "after spaces".
             {u"a b c\"d e\"", {u"a", u"b", u"c", u"d e"}},
             {u"\"a b\"c\"d e\"", {u"a b", u"c", u"d e"}},
             {u"a  \"b\"", {u"a", u"b"}},
             {u"\"a\"\"b\"", {u"a", u"b"}},
             {u"  one   two  ", {u"one", u"two"}},
             {u"a\tb c", {u"a\tb", u"c"}},  // only code 32 separates
         })
        expectClean(c);
}

TEST(CommandLine, QuotedEmptyStringsCount) {
    for (const Case& c : std::vector<Case>{
             {u"\"\"", {u""}},
             {u"  \"\"  ", {u""}},
             {u"\"\" \"\"", {u"", u""}},
             {u"a\"\"b", {u"a", u"", u"b"}},
         })
        expectClean(c);
}

TEST(CommandLine, EmptyAndBlankLinesHaveNoParameters) {
    for (const u16string& line : {u16string(), u16string(u" "), repeat(u' ', 70000)}) {
        ParsedCommandLine r = parseCommandLine(line);
        EXPECT_EQ(0, r.count);
        EXPECT_TRUE(r.parameters.empty());
        EXPECT_FALSE(r.malformed);
    }
}

TEST(CommandLine, UnterminatedQuoteKeepsWhatCameBefore) {
    expectMalformed(u"\"abc", {});
    expectMalformed(u"\"", {});
    expectMalformed(u"x \"abc", {u"x"});
    expectMalformed(u"x\"abc", {u"x"});
    expectMalformed(u"a\"", {u"a"});
    expectMalformed(u"\"a\" \"", {u"a"});
    expectMalformed(u"a b\"c d\"", {u"a", u"b\"c", u"d"});
}

TEST(CommandLine, AtMostOneHundredParametersAreStored) {
    ParsedCommandLine hundred = parseCommandLine(words(100));
    EXPECT_EQ(100, hundred.count);
    EXPECT_FALSE(hundred.malformed);
    ASSERT_EQ(100u, hundred.parameters.size());
    EXPECT_EQ(u"w1", hundred.parameters.front());
    EXPECT_EQ(u"w100", hundred.parameters.back());

    // A 101st parameter is counted, not stored, and ends the parse.
    for (const u16string& line : {words(101), words(150), words(100) + u" \"\"", words(100) + u" \"a b\""}) {
        ParsedCommandLine r = parseCommandLine(line);
        EXPECT_EQ(101, r.count);
        EXPECT_TRUE(r.malformed);
        ASSERT_EQ(100u, r.parameters.size());
        EXPECT_EQ(u"w100", r.parameters.back());
    }

    // An unterminated quote found in 101st place fails before anything is counted.
    ParsedCommandLine r = parseCommandLine(words(100) + u" \"x");
    EXPECT_EQ(100, r.count);
    EXPECT_TRUE(r.malformed);
}

// The last position is 32,767; moving past it fails the parse after the parameter just taken.
TEST(CommandLine, PositionsStopAt32767) {
    const size_t kMax = 32767;
    // An unquoted parameter that starts the line moves the position to just after its end.
    expectClean({repeat(u'x', kMax - 1), {repeat(u'x', kMax - 1)}});
    expectMalformed(repeat(u'x', kMax), {repeat(u'x', kMax)});
    expectMalformed(repeat(u'x', 1000000), {repeat(u'x', 1000000)});
    // A quoted one moves it past the closing mark.
    expectClean({u'"' + repeat(u'x', kMax - 3) + u'"', {repeat(u'x', kMax - 3)}});
    expectMalformed(u'"' + repeat(u'x', kMax - 2) + u'"', {repeat(u'x', kMax - 2)});
    expectMalformed(u'"' + repeat(u'x', 40000) + u'"', {repeat(u'x', 40000)});
    // After spaces, the parameter must start by 32,767, and the last one may run on past it.
    expectClean({u'a' + repeat(u' ', kMax - 2) + u'b', {u"a", u"b"}});
    expectMalformed(u'a' + repeat(u' ', kMax - 1) + u'b', {u"a"});
    expectClean({u"a " + repeat(u'b', 40000), {u"a", repeat(u'b', 40000)}});
    // The space that ends it must leave the next position within range.
    expectMalformed(u"a " + repeat(u'b', kMax - 3) + u" c", {u"a", repeat(u'b', kMax - 3)});
    expectMalformed(u"a " + repeat(u'b', kMax - 4) + u" c", {u"a", repeat(u'b', kMax - 4), u"c"});
}

TEST(CommandLine, RandomLinesRoundTrip) {
    std::mt19937 rng(20100097);
    const auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    for (int round = 0; round < 2000; ++round) {
        // Plain words and quoted texts, spaced out; a quoted text needs no space after it.
        Texts parameters;
        u16string line = repeat(u' ', pick(3));
        bool quotedBefore = false;
        const int n = pick(12);
        for (int i = 0; i < n; ++i) {
            if (i > 0 && !(quotedBefore && pick(2))) line += repeat(u' ', 1 + pick(3));
            u16string text;
            quotedBefore = pick(2);
            for (int k = quotedBefore ? pick(5) : 1 + pick(4); k > 0; --k)
                text += quotedBefore ? u" ab\t"[pick(4)] : u"ab'\t"[pick(4)];
            line += quotedBefore ? u'"' + text + u'"' : text;
            parameters.push_back(text);
        }
        line += repeat(u' ', pick(3));
        expectClean({line, parameters});
        if (HasFailure()) break;
    }
}

}  // namespace
