// The frame's text services on the real platform: the library's case-insensitive comparison
// and its one pair of ANSI conversions.
#include "com_support.hpp"
#include "frame/errors.hpp"
#include "frame/platform_text.hpp"

namespace lark::test {
namespace {

TEST(FrameText, ComparisonIgnoresCaseAndFollowsTheLocale) {
    EXPECT_EQ(0, com::textCompare(u"MixedCase", u"mIXEDcASE"));
    EXPECT_EQ(0, com::textCompare(u"ÄBC", u"äbc"));
    EXPECT_EQ(-1, com::textCompare(u"apple", u"Banana")) << "not by code: 'a' < 'B' in the locale";
    EXPECT_EQ(1, com::textCompare(u"b", u"A"));
    EXPECT_EQ(-1, com::textCompare(u"", u"a"));
    EXPECT_EQ(0, com::textCompare(std::u16string_view(), u""));
}

TEST(FrameText, AnsiRoundTripInTheSystemCodePage) {
    ASSERT_EQ(1252u, GetACP()) << "the test prefix runs with the Western code page";
    const std::u16string text = u"Caf\u00e9 \u20ac5";
    const std::string ansi = com::toAnsi(text);
    EXPECT_EQ(std::string("Caf\xe9 \x80" "5"), ansi);
    EXPECT_EQ(text, com::fromAnsi(ansi));
    EXPECT_EQ("?", com::toAnsi(u"\u4e2d")) << "what the code page cannot hold becomes the default character";
    EXPECT_EQ(std::string(), com::toAnsi(u""));
    EXPECT_EQ(std::u16string(), com::fromAnsi(""));
    const std::string embedded("a\0b", 3);
    EXPECT_EQ(std::u16string(u"a\0b", 3), com::fromAnsi(embedded)) << "embedded zeros are kept";
}

}  // namespace
}  // namespace lark::test
