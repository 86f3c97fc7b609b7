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
    bool malformed = false;
};

u16string repeat(char16_t c, size_t n) { return u16string(n, c); }

// Words "w1" to "wN", one space apart.
u16string words(int n) {
    u16string line;
    for (int i = 1; i <= n; ++i)
        for (char c : (i > 1 ? " w" : "w") + std::to_string(i)) line += static_cast<char16_t>(c);
    return line;
}

void expectParse(const Case& c) {
    std::string shown;  // the start of the line, for failure messages
    for (char16_t u : c.line.substr(0, 60)) shown += u < 128 ? static_cast<char>(u) : '?';
    SCOPED_TRACE(shown + " (" + std::to_string(c.line.size()) + " units)");
    ParsedCommandLine r = parseCommandLine(c.line);
    EXPECT_EQ(c.parameters, r.parameters);
    EXPECT_EQ(static_cast<int32_t>(c.parameters.size()), r.count);
    EXPECT_EQ(c.malformed, r.malformed);
}

TEST(CommandLine, QuotingSpacesAndUnterminatedQuotes) {
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
             {u"\"\"", {u""}},
             {u"  \"\"  ", {u""}},
             {u"\"\" \"\"", {u"", u""}},
             {u"a\"\"b", {u"a", u"", u"b"}},
             {u"", {}},
             {u" ", {}},
             {repeat(u' ', 70000), {}},
             // An unterminated quote keeps what came before it.
             {u"\"abc", {}, true},
             {u"\"", {}, true},
             {u"x \"abc", {u"x"}, true},
             {u"x\"abc", {u"x"}, true},
             {u"a\"", {u"a"}, true},
             {u"\"a\" \"", {u"a"}, true},
             {u"a b\"c d\"", {u"a", u"b\"c", u"d"}, true},
         })
        expectParse(c);
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
    for (const Case& c : std::vector<Case>{
             // An unquoted parameter that starts the line moves the position to just after its end.
             {repeat(u'x', kMax - 1), {repeat(u'x', kMax - 1)}},
             {repeat(u'x', kMax), {repeat(u'x', kMax)}, true},
             {repeat(u'x', 1000000), {repeat(u'x', 1000000)}, true},
             // A quoted one moves it past the closing mark.
             {u'"' + repeat(u'x', kMax - 3) + u'"', {repeat(u'x', kMax - 3)}},
             {u'"' + repeat(u'x', kMax - 2) + u'"', {repeat(u'x', kMax - 2)}, true},
             // After spaces, the parameter must start by 32,767, and the last one may run on past it.
             {u'a' + repeat(u' ', kMax - 2) + u'b', {u"a", u"b"}},
             {u'a' + repeat(u' ', kMax - 1) + u'b', {u"a"}, true},
             {u"a " + repeat(u'b', 40000), {u"a", repeat(u'b', 40000)}},
             // The space that ends it must leave the next position within range.
             {u"a " + repeat(u'b', kMax - 3) + u" c", {u"a", repeat(u'b', kMax - 3)}, true},
             {u"a " + repeat(u'b', kMax - 4) + u" c", {u"a", repeat(u'b', kMax - 4), u"c"}, true},
         })
        expectParse(c);
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
        expectParse({line, parameters});
        if (HasFailure()) break;
    }
}

}  // namespace
