#include "xml/xml_text.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "frame/error.hpp"
#include "text/strings.hpp"

using namespace lark::xml;
using std::u16string;

namespace {

// The sample settings file, written line by line as the file class does.
u16string writeSample() {
    Writer w;
    u16string out = w.WriteAnnouncementTag();
    out += w.WriteOpenTag(u"Settings");
    out += w.WriteProperty(u"Left", u"10");
    out += w.WriteOpenTag(u"Recent");
    out += w.WriteProperty(u"File", u"a.txt");
    out += w.WriteCloseTag(u"Recent");
    out += w.WriteCloseTag(u"Settings");
    return out;
}

const u16string kSample =
    u"<?xml version=\"1.0\"?>\r\n"
    u"<SETTINGS>\r\n"
    u"   <LEFT>10</LEFT>\r\n"
    u"   <RECENT>\r\n"
    u"      <FILE>a.txt</FILE>\r\n"
    u"   </RECENT>\r\n"
    u"</SETTINGS>\r\n";

const u16string kThreeFiles =
    u"<?xml version=\"1.0\"?>\r\n"
    u"<SETTINGS>\r\n"
    u"   <LEFT>10</LEFT>\r\n"
    u"   <RECENT>\r\n"
    u"      <FILE>a.txt</FILE>\r\n"
    u"      <FILE>b.txt</FILE>\r\n"
    u"      <FILE>c.txt</FILE>\r\n"
    u"   </RECENT>\r\n"
    u"</SETTINGS>\r\n";

Document load(const u16string& text) {
    Document d;
    EXPECT_TRUE(d.Load(text));
    return d;
}

// Enters the given tags in turn, expecting each to be found.
void enter(Document& d, std::initializer_list<const char16_t*> tags) {
    for (const char16_t* tag : tags) {
        u16string name = tag;
        ASSERT_TRUE(d.ReadWithinTags(name)) << "entering level " << d.Level() + 1;
    }
}

int errorNumber(auto&& call) {
    try {
        call();
    } catch (const lark::Error& e) {
        return e.number;
    }
    return 0;
}

u16string spanText(const u16string& text, Span s) { return text.substr(s.offset, s.length); }

}  // namespace

TEST(XmlWriter, SampleFileIsWrittenByteForByte) {
    EXPECT_EQ(writeSample(), kSample);
    Writer w;
    EXPECT_EQ(w.WriteProperty(u"a\u00e9z", u"<x>\r\n"), u"<A\u00e9Z><x>\r\n</A\u00e9Z>\r\n");
    w.SetIndent(2);
    EXPECT_EQ(w.WriteOpenTag(u"t"), u"  <T>\r\n");
    EXPECT_EQ(w.Indent(), 5);
    EXPECT_EQ(w.WriteAnnouncementTag(), u"     <?xml version=\"1.0\"?>\r\n");
    w.Reset();
    EXPECT_EQ(w.Indent(), 0);
}

TEST(XmlWriter, NegativeIndentRaisesError5) {
    Writer w;
    EXPECT_EQ(errorNumber([&] { w.WriteCloseTag(u"x"); }), lark::errInvalidCall);
    EXPECT_EQ(w.Indent(), -3);  // the subtraction stands
    EXPECT_EQ(errorNumber([&] { w.WriteOpenTag(u"x"); }), lark::errInvalidCall);
    EXPECT_EQ(w.Indent(), -3);  // nothing written, nothing added
    EXPECT_EQ(errorNumber([&] { w.WriteProperty(u"x", u"1"); }), lark::errInvalidCall);
    EXPECT_EQ(errorNumber([&] { w.WriteAnnouncementTag(); }), lark::errInvalidCall);
    w.SetIndent(0);
    EXPECT_EQ(errorNumber([&] { w.WriteProperty(u"x", u"1"); }), 0);
}

TEST(XmlDocument, SampleReadBack) {
    Document d = load(writeSample());
    EXPECT_EQ(d.Level(), 1);
    u16string tag = u"settings";
    EXPECT_TRUE(d.ReadWithinTags(tag));
    EXPECT_EQ(tag, u"SETTINGS");
    EXPECT_EQ(d.Level(), 2);
    u16string value;
    EXPECT_TRUE(d.ReadProperty(u"left", value));
    EXPECT_EQ(value, u"10");
    EXPECT_EQ(d.ReadPropertyLong(u"LEFT"), 10);
    enter(d, {u"Recent"});
    EXPECT_TRUE(d.ReadProperty(u"File", value));
    EXPECT_EQ(value, u"a.txt");
    EXPECT_FALSE(d.ReadProperty(u"Left", value));  // outside the RECENT level
    EXPECT_EQ(value, u"a.txt");
    EXPECT_TRUE(d.ReadUpOneLevel());
    EXPECT_TRUE(d.ReadUpOneLevel());
    EXPECT_FALSE(d.ReadUpOneLevel());
    EXPECT_EQ(d.Level(), 1);
    EXPECT_EQ(d.ReadPropertyLong(u"missing"), INT32_MIN);
    EXPECT_EQ(d.ReadPropertyLong(u"missing", 7), 7);
    // Level 1 is the whole text, so the first LEFT at any depth is found.
    EXPECT_EQ(d.ReadPropertyLong(u"left", 7), 10);
}

TEST(XmlDocument, LevelRangesSkipTheLineBreakAfterTheOpeningTag) {
    Document d = load(kSample);
    enter(d, {u"SETTINGS"});
    auto range = d.CurrentRange();
    ASSERT_TRUE(range);
    // Start: just after "<SETTINGS>" plus one (the CR); end: the "</SETTINGS>" position.
    EXPECT_EQ(range->first, int32_t(kSample.find(u"<SETTINGS>") + 10 + 2));
    EXPECT_EQ(range->second, int32_t(kSample.find(u"</SETTINGS>") + 1));
    d.ReadUpOneLevel();
    EXPECT_EQ(d.CurrentRange(), (std::pair<int32_t, int32_t>{1, int32_t(kSample.size()) + 1}));
}

namespace {

// With no current range (nothing loaded, or level 51) every reading and editing member fails,
// even for a tag the text holds; the level and the text stay as they were.
void expectEverythingFails(Document& d, const u16string& present) {
    const int32_t level = d.Level();
    const u16string text = d.Content();
    EXPECT_FALSE(d.CurrentRange());
    u16string tag = present, value = u"keep";
    EXPECT_FALSE(d.ReadWithinTags(tag));
    EXPECT_FALSE(d.ReadWithinTagsOccurence(present, 1));
    EXPECT_FALSE(d.ReadProperty(present, value));
    EXPECT_EQ(value, u"keep");
    EXPECT_FALSE(d.ReadProperty(present, value, u"dflt"));
    EXPECT_EQ(value, u"dflt");  // the default is taken before anything is searched
    EXPECT_EQ(d.ReadPropertyLong(present, 3), 3);
    bool b = true;
    EXPECT_FALSE(d.ReadPropertyBoolean(present, b));
    PropertyList list;
    EXPECT_EQ(d.ReadAllProperties(10, list), -1);
    EXPECT_EQ(d.CountTags(present), 0);
    EXPECT_TRUE(d.Tags(present).empty());
    EXPECT_FALSE(d.AppendTextWithinTag(u"x"));
    EXPECT_FALSE(d.DeleteCurrentSection());
    EXPECT_EQ(d.Level(), level);
    EXPECT_EQ(d.Content(), text);
}

}  // namespace

TEST(XmlDocument, BeforeLoadingEverythingFails) {
    Document d;
    EXPECT_EQ(d.Level(), 0);
    expectEverythingFails(d, u"A");
    EXPECT_FALSE(d.ReadUpOneLevel());
    u16string tag = u"a";
    d.ReadWithinTags(tag);
    EXPECT_EQ(tag, u"A");  // upper-cased even when nothing is searched
}

TEST(XmlDocument, OccurrencesAndCounts) {
    Document d = load(kThreeFiles);
    enter(d, {u"SETTINGS", u"RECENT"});
    EXPECT_EQ(d.CountTags(u"file"), 3);
    EXPECT_EQ(d.CountTags(u"LEFT"), 0);  // outside the level
    ASSERT_TRUE(d.ReadWithinTagsOccurence(u"file", 2));
    EXPECT_EQ(d.Level(), 4);
    // Inside "<FILE>b.txt</FILE>" the start skips one unit: the level is "txt".
    auto range = d.CurrentRange();
    EXPECT_EQ(d.Content().substr(size_t(range->first - 1), size_t(range->second - range->first)), u".txt");
    d.ReadUpOneLevel();
    for (int32_t n : {4, 0, -1, INT32_MIN}) {
        EXPECT_FALSE(d.ReadWithinTagsOccurence(u"FILE", n)) << n;
        EXPECT_EQ(d.Level(), 3);
    }
    d.ReadUpOneLevel();
    EXPECT_EQ(d.CountTags(u"FILE"), 3);
    EXPECT_EQ(d.CountTags(u"RECENT"), 1);
    EXPECT_EQ(d.CountTags(u"SETTINGS"), 0);  // its closing tag is the level's end
}

TEST(XmlDocument, UnclosedAndNestedTags) {
    // An opening tag without its closing tag is not entered; the level stays.
    Document d = load(u"<A>\r\n<B>x\r\n</A>\r\n<B>y</B>");
    enter(d, {u"A"});
    u16string tag = u"B", value;
    EXPECT_FALSE(d.ReadWithinTags(tag));  // </B> lies past A's end
    EXPECT_FALSE(d.ReadProperty(u"B", value));
    EXPECT_EQ(d.CountTags(u"B"), 0);
    EXPECT_EQ(d.Level(), 2);
    d.ReadUpOneLevel();
    // At level 1 the first <B> is used with the first </B> after it.
    EXPECT_TRUE(d.ReadProperty(u"b", value));
    EXPECT_EQ(value, u"x\r\n</A>\r\n<B>y");
    // Same-name nesting is not balanced: the inner closing tag ends the range.
    Document n = load(u"<X>1<X>2</X>3</X>");
    EXPECT_TRUE(n.ReadProperty(u"X", value));
    EXPECT_EQ(value, u"1<X>2");
    EXPECT_EQ(n.CountTags(u"X"), 1);
}

TEST(XmlDocument, FiftyFirstLevel) {
    // Same-name nesting is not balanced, so each depth has its own tag name.
    auto name = [](int i) { return u16string{u'L', char16_t(u'A' + i % 26), char16_t(u'A' + i / 26)}; };
    u16string text;
    for (int i = 0; i < 52; ++i)
        text.append(u"<").append(name(i)).append(u">\r\n");
    text += u"<V>deep</V>\r\n";
    for (int i = 51; i >= 0; --i)
        text.append(u"</").append(name(i)).append(u">\r\n");
    Document d = load(text);
    for (int i = 0; i < 49; ++i) {
        u16string t = name(i);
        ASSERT_TRUE(d.ReadWithinTags(t)) << i;
    }
    EXPECT_EQ(d.Level(), 50);
    u16string value;
    EXPECT_TRUE(d.ReadProperty(u"V", value));
    u16string t = name(49);
    EXPECT_FALSE(d.ReadWithinTags(t));
    EXPECT_EQ(d.Level(), 51);
    expectEverythingFails(d, u"V");
    EXPECT_TRUE(d.ReadUpOneLevel());
    EXPECT_EQ(d.Level(), 50);
    EXPECT_TRUE(d.ReadProperty(u"V", value));
    EXPECT_EQ(value, u"deep");
}

TEST(XmlDocument, ReadPropertyUsesTheLowByteLetterFold) {
    Document d = load(kSample);
    u16string value = u"old";
    // U+014C has the low byte of 'L'; U+0165 that of 'e', folded to 'E'.
    EXPECT_TRUE(d.ReadProperty(u"\u014C\u0165ft", value));
    EXPECT_EQ(value, u"10");
    EXPECT_FALSE(d.ReadProperty(u"RIGHT", value, u"5"));
    EXPECT_EQ(value, u"5");
    value = u"kept";
    EXPECT_FALSE(d.ReadProperty(u"RIGHT", value, u""));
    EXPECT_EQ(value, u"kept");
}

TEST(XmlDocument, NumbersAndBooleans) {
    const std::vector<std::pair<u16string, int32_t>> longs = {
        {u"  12abc", 12},
        {u"2.5", 2},
        {u"3.5", 4},
        {u"-2.5", -2},
        {u"-3.5", -4},
        {u"0.5", 0},
        {u"&H10", 16},
        {u"&hFFFF", -1},
        {u"&O17", 15},
        {u"&H7FFFFFFF", INT32_MAX},
        {u"&H80000000", INT32_MIN},
        {u"&H100000000", 0},
        {u"abc", 0},
        {u"", 0},
        {u"1e3", 1000},
        {u"1D2x", 100},
        {u"1e", 1},
        {u"+7", 7},
        {u"3000000000", 0},
        {u"-2147483648", INT32_MIN},
        {u"2147483647.4", INT32_MAX},
        {u"2147483647.5", 0},
        {u"-2147483648.5", INT32_MIN},
        {u"1e400", 0},
        {u"1e-400", 0},
        {u"\r\n\t 42", 42},
        {u"&H", 0},
        {u"&O8", 0},
        {u".5", 0},
        {u"1.5.5", 2},
    };
    for (const auto& [text, expected] : longs) {
        Document d = load(u"<N>" + text + u"</N>");
        EXPECT_EQ(d.ReadPropertyLong(u"n", -99), expected) << std::string(text.begin(), text.end());
    }
    const std::vector<std::pair<u16string, std::optional<bool>>> bools = {
        {u"true", true}, {u"FALSE", false}, {u" True ", true}, {u"0", false}, {u"-1", true}, {u"2.5", true},
        {u"0.0", false}, {u"&H0", false},   {u"yes", {}},      {u"1x", {}},   {u"", {}},     {u"truex", {}},
    };
    for (const auto& [text, expected] : bools) {
        Document d = load(u"<B>" + text + u"</B>");
        for (bool start : {false, true}) {
            bool b = start;
            EXPECT_TRUE(d.ReadPropertyBoolean(u"b", b));
            EXPECT_EQ(b, expected.value_or(start)) << std::string(text.begin(), text.end());
        }
    }
    Document d = load(u"<B>1</B>");
    bool b = false;
    EXPECT_FALSE(d.ReadPropertyBoolean(u"C", b));
    EXPECT_FALSE(b);
}

TEST(XmlDocument, ReadAllPropertiesListsChildren) {
    Document d = load(kSample);
    enter(d, {u"SETTINGS"});
    PropertyList list;
    EXPECT_EQ(d.ReadAllProperties(10, list), 2);
    EXPECT_EQ(list.names, (std::vector<u16string>{u"LEFT", u"RECENT"}));
    EXPECT_EQ(list.values[0], u"10");
    EXPECT_EQ(list.values[1], u"\r\n      <FILE>a.txt</FILE>\r\n   ");
    // No room at all, or room for one: -1, with what fitted kept.
    EXPECT_EQ(d.ReadAllProperties(0, list), -1);
    EXPECT_TRUE(list.names.empty());
    EXPECT_EQ(d.ReadAllProperties(1, list), -1);
    EXPECT_EQ(list.names, (std::vector<u16string>{u"LEFT"}));
    enter(d, {u"RECENT", u"FILE"});
    EXPECT_EQ(d.ReadAllProperties(10, list), 0);  // "txt" has no children

    Document broken = load(u"<A>1</A><B>2</b><C>3");
    EXPECT_EQ(broken.ReadAllProperties(10, list), -1);  // C has no closing tag
    EXPECT_EQ(list.names, (std::vector<u16string>{u"A", u"B"}));
    EXPECT_EQ(load(u"<A>1</A><B").ReadAllProperties(10, list), -1);  // "<" without ">"
    EXPECT_EQ(load(u"<A>1</A></Z><B>2</B>").ReadAllProperties(10, list), 1);
    EXPECT_EQ(load(u"plain").ReadAllProperties(10, list), 0);
    EXPECT_EQ(load(u"").ReadAllProperties(10, list), 0);
}

TEST(XmlDocument, TagsGiveInnerTextElements) {
    Document d = load(kThreeFiles);
    enter(d, {u"SETTINGS", u"RECENT"});
    const auto spans = d.Tags(u"file");
    ASSERT_EQ(spans.size(), 3u);
    const char16_t* names[] = {u"a.txt", u"b.txt", u"c.txt"};
    for (size_t i = 0; i < 3; ++i) {
        Element e(d.Content(), spans[i], Element::Kind::Inner);
        EXPECT_EQ(e.Contents(), names[i]);
        EXPECT_EQ(e.Value(), u"");
    }
    // Empty pairs give empty elements and the listing goes on; a pair past the level is not found.
    Document e = load(u"<R>\r\n<X></X><X>5</X>\r\n</R><X>9</X>");
    enter(e, {u"R"});
    const auto xs = e.Tags(u"x");
    ASSERT_EQ(xs.size(), 2u);
    EXPECT_EQ(spanText(e.Content(), xs[0]), u"");
    EXPECT_EQ(spanText(e.Content(), xs[1]), u"5");
}

TEST(XmlDocument, EditingThenReadingAgain) {
    Document d = load(kSample);
    enter(d, {u"SETTINGS", u"RECENT"});
    EXPECT_TRUE(d.AppendTextWithinTag(u"   <FILE>b.txt</FILE>\r\n"));
    EXPECT_EQ(d.Content(),
              u"<?xml version=\"1.0\"?>\r\n<SETTINGS>\r\n   <LEFT>10</LEFT>\r\n   <RECENT>\r\n"
              u"      <FILE>a.txt</FILE>\r\n   <FILE>b.txt</FILE>\r\n   </RECENT>\r\n</SETTINGS>\r\n");
    // The ranges are not adjusted, so the text is read again from a fresh level stack.
    Document again = load(d.Content());
    enter(again, {u"SETTINGS", u"RECENT"});
    EXPECT_EQ(again.CountTags(u"FILE"), 2);
    EXPECT_TRUE(again.DeleteCurrentSection());
    EXPECT_EQ(again.Content(), u"<?xml version=\"1.0\"?>\r\n<SETTINGS>\r\n   <LEFT>10</LEFT>\r\n</SETTINGS>\r\n");
    EXPECT_EQ(again.ReWriteText(), again.Content() + u"\r\n");
    Document third = load(again.Content());
    enter(third, {u"SETTINGS"});
    EXPECT_EQ(third.CountTags(u"RECENT"), 0);
    EXPECT_EQ(third.ReadPropertyLong(u"LEFT"), 10);
    // Level 1 ends past the text: no line break after it.
    third.ReadUpOneLevel();
    EXPECT_FALSE(third.DeleteCurrentSection());
    // An opening tag on the first line has no line break before it.
    Document first = load(u"<A>\r\nx\r\n</A>\r\n");
    enter(first, {u"A"});
    EXPECT_FALSE(first.DeleteCurrentSection());
    EXPECT_EQ(first.Content(), u"<A>\r\nx\r\n</A>\r\n");
    // A lone CR does not count as a line break.
    Document lone = load(u"z\r<A>\r\nx\r\n</A>\r\n");
    enter(lone, {u"A"});
    EXPECT_FALSE(lone.DeleteCurrentSection());
}

TEST(XmlDocument, AppendNeedsRoomBeforeTheLevelEnd) {
    Document d = load(u"ab");
    EXPECT_FALSE(d.AppendTextWithinTag(u"x"));  // level 1 ends at 3
    Document e = load(u"abcdef");
    EXPECT_TRUE(e.AppendTextWithinTag(u"X"));  // end 7: inserted after the first 3 units
    EXPECT_EQ(e.Content(), u"abcXdef");
    Document f = load(u"<Q>\r\n</Q>");
    enter(f, {u"Q"});  // end 6
    EXPECT_TRUE(f.AppendTextWithinTag(u"-"));
    EXPECT_EQ(f.Content(), u"<Q->\r\n</Q>");
    // After edits that shrink the text, a stale range past its end fails instead of crashing.
    Document g = load(u"x\r\n<Q>\r\n" + u16string(20, u'y') + u"\r\n</Q>\r\nz");
    enter(g, {u"Q"});
    EXPECT_TRUE(g.DeleteCurrentSection());
    EXPECT_FALSE(g.AppendTextWithinTag(u"x"));
    EXPECT_FALSE(g.DeleteCurrentSection());
}

TEST(XmlElement, PathsAndChildren) {
    const u16string text = u"<ITEM><NAME>x</NAME><SIZE>5</SIZE></ITEM>";
    Document d = load(text);
    const auto items = d.Tags(u"ITEM");
    ASSERT_EQ(items.size(), 1u);
    Element item(d.Content(), items[0], Element::Kind::Inner);
    EXPECT_EQ(item.GetProperty(u"name"), u"x");
    EXPECT_EQ(item.GetProperty(u"SIZE"), u"5");
    EXPECT_EQ(item.GetProperty(u"COLOR"), u"");
    EXPECT_EQ(item.GetProperty(u""), u"");
    const auto sizes = item.Tags(u"size");
    ASSERT_EQ(sizes.size(), 1u);
    const Element size = item.Child(sizes[0]);
    EXPECT_EQ(size.Contents(), u"<SIZE>5</SIZE>");
    EXPECT_EQ(size.Value(), u"5");
    EXPECT_EQ(size.GetProperty(u"SIZE"), u"5");

    Element ab(u"<A><B>1</B></A><B>2</B>", {0, 23}, Element::Kind::Inner);
    EXPECT_EQ(ab.GetProperty(u"A>B"), u"1");
    EXPECT_EQ(ab.GetProperty(u"a>b"), u"1");
    EXPECT_EQ(ab.GetProperty(u"B"), u"1");
    EXPECT_EQ(ab.GetProperty(u"A>"), u"");
    Element outside(u"<A></A><B>2</B>", {0, 15}, Element::Kind::Inner);
    EXPECT_EQ(outside.GetProperty(u"A>B"), u"");
    EXPECT_EQ(outside.GetProperty(u"B"), u"2");
    Element three(u"<A><B><C>c</C></B></A>", {0, 22}, Element::Kind::Inner);
    EXPECT_EQ(three.GetProperty(u"A>B>C"), u"c");
    EXPECT_EQ(three.GetProperty(u"A>C"), u"c");
    EXPECT_EQ(three.GetProperty(u"B>A"), u"");
    // The next part is searched from just after the "<" of the previous opening tag.
    Element odd(u"<A<B>x</B></A<B>", {0, 16}, Element::Kind::Inner);
    EXPECT_EQ(odd.GetProperty(u"A<B>B"), u"x");

    Document one = load(u"<X>5</X>");
    const auto xs = one.Tags(u"X");
    ASSERT_EQ(xs.size(), 1u);
    EXPECT_EQ(Element(one.Content(), xs[0], Element::Kind::Inner).Contents(), u"5");
}

TEST(XmlElement, ValueAndIndependence) {
    Element list(u"<L><I>1</I>\r\n<I><J>2</J></I><I>3</i></L>", {0, 41}, Element::Kind::Inner);
    const auto is = list.Tags(u"I");
    ASSERT_EQ(is.size(), 3u);
    EXPECT_EQ(list.Child(is[0]).Value(), u"1");
    EXPECT_EQ(list.Child(is[1]).Value(), u"<J>2</J>");  // first ">" to last "</"
    EXPECT_EQ(list.Child(is[2]).Contents(), u"<I>3</i>");
    EXPECT_EQ(Element(u"</a>x", {0, 5}, Element::Kind::Tagged).Value(), u"");
    EXPECT_EQ(Element(u"abc", {0, 3}, Element::Kind::Tagged).Value(), u"");
    EXPECT_EQ(Element(u"a>bc", {0, 4}, Element::Kind::Tagged).Value(), u"");
    EXPECT_EQ(Element(u"<a></a>", {0, 7}, Element::Kind::Tagged).Value(), u"");
    EXPECT_EQ(Element().Contents(), u"");
    // An element keeps its own copy through edits and the end of the document.
    Element kept;
    {
        Document d = load(kThreeFiles);
        enter(d, {u"SETTINGS", u"RECENT"});
        kept = Element(d.Content(), d.Tags(u"FILE")[1], Element::Kind::Inner);
        EXPECT_TRUE(d.DeleteCurrentSection());
    }
    EXPECT_EQ(kept.Contents(), u"b.txt");
    // A span past the text is cut to what exists.
    EXPECT_EQ(Element(u"abc", {2, 10}, Element::Kind::Inner).Contents(), u"c");
    EXPECT_EQ(Element(u"abc", {9, 1}, Element::Kind::Inner).Contents(), u"");
}

TEST(XmlRobustness, HostileTextNeverBreaksTheInvariants) {
    const char16_t alphabet[] = {u'<', u'>', u'/',      u'A',      u'B',      u'a',  u'\r', u'\n',
                                 u' ', u'1', u'\u013C', u'\u013E', u'\uFFFF', u'\0', u'&',  u'H'};
    const u16string names[] = {u"A", u"B", u"a", u"AB", u"", u"/", u"<", u">"};
    std::mt19937 rng(20261205);
    size_t unitsSeen = 0;
    for (int round = 0; round < 1500 && unitsSeen < 600000; ++round) {
        const size_t length = rng() % 300;
        unitsSeen += length;
        u16string text;
        for (size_t i = 0; i < length; ++i)
            text += (rng() % 8 == 0) ? char16_t(rng() & 0xFFFF) : alphabet[rng() % std::size(alphabet)];
        Document d = load(text);
        for (int step = 0; step < 40; ++step) {
            const u16string& name = names[rng() % std::size(names)];
            switch (rng() % 9) {
                case 0: {
                    u16string t = name;
                    d.ReadWithinTags(t);
                    break;
                }
                case 1:
                    d.ReadWithinTagsOccurence(name, int32_t(rng() % 4) - 1);
                    break;
                case 2:
                    d.ReadUpOneLevel();
                    break;
                case 3: {
                    u16string v;
                    if (d.ReadProperty(name, v)) {
                        ASSERT_NE(d.Content().find(v), u16string::npos);
                    }
                    break;
                }
                case 4: {
                    PropertyList list;
                    const int32_t n = d.ReadAllProperties(5, list);
                    ASSERT_GE(n, -1);
                    ASSERT_LE(n, 5);
                    ASSERT_EQ(list.names.size(), list.values.size());
                    if (n >= 0) {
                        ASSERT_EQ(size_t(n), list.names.size());
                    }
                    break;
                }
                case 5: {
                    const auto spans = d.Tags(name);
                    ASSERT_EQ(int32_t(spans.size()), d.CountTags(name));
                    for (const Span& s : spans) {
                        ASSERT_LE(s.offset + s.length, d.Content().size());
                        const Element e(d.Content(), s, Element::Kind::Inner);
                        const u16string p = e.GetProperty(name + u">" + names[rng() % std::size(names)]);
                        ASSERT_NE(e.Contents().find(p), u16string::npos);
                        for (const Span& c : e.Tags(name)) {
                            ASSERT_LE(c.offset + c.length, e.Contents().size());
                            const Element child = e.Child(c);
                            ASSERT_NE(child.Contents().find(child.Value()), u16string::npos);
                        }
                    }
                    break;
                }
                case 6: {
                    const size_t before = d.Content().size();
                    const bool done = d.AppendTextWithinTag(u"<A>");
                    ASSERT_EQ(d.Content().size(), before + (done ? 3 : 0));
                    break;
                }
                case 7: {
                    const size_t before = d.Content().size();
                    const bool done = d.DeleteCurrentSection();
                    ASSERT_EQ(d.Content().size() < before, done);
                    break;
                }
                default:
                    d.ReadPropertyLong(name);
                    break;
            }
            ASSERT_GE(d.Level(), 1);
            ASSERT_LE(d.Level(), kMaxLevels + 1);
        }
    }
}

TEST(XmlRobustness, LongAndDegenerateText) {
    // Many opening tags and no closing ones; "<" without ">"; empty text.
    const u16string opens = [] {
        u16string s;
        for (int i = 0; i < 200000; ++i)
            s += u"<A>";
        return s;
    }();
    Document d = load(opens);
    u16string t = u"A", v;
    EXPECT_FALSE(d.ReadWithinTags(t));
    EXPECT_EQ(d.CountTags(u"A"), 0);
    PropertyList list;
    EXPECT_EQ(d.ReadAllProperties(10, list), -1);
    EXPECT_EQ(load(u16string(500000, u'<')).ReadAllProperties(10, list), -1);
    Document empty = load(u"");
    EXPECT_FALSE(empty.ReadProperty(u"A", v));
    EXPECT_FALSE(empty.AppendTextWithinTag(u"x"));
    EXPECT_FALSE(empty.DeleteCurrentSection());
    // Many well-formed pairs are all listed.
    u16string pairs;
    for (int i = 0; i < 100000; ++i)
        pairs += u"<P>" + std::u16string(1, char16_t(u'0' + i % 10)) + u"</P>\r\n";
    Document p = load(pairs);
    EXPECT_EQ(p.CountTags(u"p"), 100000);
    const auto spans = p.Tags(u"P");
    ASSERT_EQ(spans.size(), 100000u);
    EXPECT_EQ(spanText(p.Content(), spans[99999]), u"9");
    EXPECT_EQ(p.ReadAllProperties(100000, list), 100000);
}

namespace {

// Random tag soup over a few names, with nesting, stray brackets and line breaks.
u16string randomDocument(std::mt19937& rng, size_t pieces) {
    // Units whose low byte is a bracket or a letter count as those; tags longer than 16 units
    // take the index's other hash.
    const u16string parts[] = {u"<A>", u"</A>", u"<b>",   u"</B>",   u"<AB>",   u"</ab>",
                               u"<",   u">",    u"\r\n", u"x",      u"12",     u"<<A>>",
                               u"\u0141", u"   ", u"\u013C", u"\u013E", u"<LONGER_THAN_SIXTEEN>"};
    u16string text;
    for (size_t i = 0; i < pieces; ++i)
        text += parts[rng() % std::size(parts)];
    return text;
}

}  // namespace

TEST(XmlIndex, FindMatchesThePlainSearch) {
    std::mt19937 rng(7);
    const u16string patterns[] = {u"<A>", u"</a>", u"<<", u"<AB>", u"\u0141", u"B>", u"<\u0141>", u"zz",
                                  u"\u013CA\u013E", u"<longer_than_sixteen>", u"<LONGER_THAN_SIXTEEN"};
    for (int round = 0; round < 40; ++round) {
        // The last rounds' texts are long enough for groups of thousands of tags.
        const u16string text = randomDocument(rng, round < 36 ? 200 + rng() % 400 : 20000);
        TagIndex index;
        index.setThreshold(0);
        // Every other round, two hash bits: different tags share groups and must be told apart.
        if (round % 2) index.setHashMask(3);
        for (int q = 0; q < 300; ++q) {
            // Now and then a one-off pattern, so that the cache also fills up and starts afresh.
            const u16string p =
                rng() % 4 ? patterns[rng() % std::size(patterns)] : u16string{u'<', char16_t(rng() % 128), u'>'};
            const auto start = int32_t(rng() % (text.size() + 3)) - 1;
            const int32_t expected =
                start < 1 || start > int32_t(text.size()) ? 0 : lark::text::lrkInstr(start, text, p, 1);
            ASSERT_EQ(index.find(text, start, p), expected) << "start " << start;
        }
    }
}

TEST(XmlIndex, IndexedDocumentAnswersLikeThePlainOne) {
    std::mt19937 rng(11);
    const u16string names[] = {u"A", u"b", u"AB", u"a"};
    for (int round = 0; round < 60; ++round) {
        const u16string text = randomDocument(rng, 300);
        Document plain = load(text), indexed = load(text);
        plain.SetIndexThreshold(SIZE_MAX);
        indexed.SetIndexThreshold(0);
        for (int step = 0; step < 60; ++step) {
            const u16string& name = names[rng() % std::size(names)];
            switch (rng() % 7) {
                case 0: {
                    u16string t1 = name, t2 = name;
                    ASSERT_EQ(plain.ReadWithinTags(t1), indexed.ReadWithinTags(t2));
                    break;
                }
                case 1: {
                    const auto n = int32_t(rng() % 4);
                    ASSERT_EQ(plain.ReadWithinTagsOccurence(name, n), indexed.ReadWithinTagsOccurence(name, n));
                    break;
                }
                case 2:
                    ASSERT_EQ(plain.ReadUpOneLevel(), indexed.ReadUpOneLevel());
                    break;
                case 3: {
                    u16string v1, v2;
                    ASSERT_EQ(plain.ReadProperty(name, v1), indexed.ReadProperty(name, v2));
                    ASSERT_EQ(v1, v2);
                    break;
                }
                case 4: {
                    PropertyList l1, l2;
                    ASSERT_EQ(plain.ReadAllProperties(50, l1), indexed.ReadAllProperties(50, l2));
                    ASSERT_EQ(l1.names, l2.names);
                    ASSERT_EQ(l1.values, l2.values);
                    break;
                }
                case 5:
                    ASSERT_EQ(plain.Tags(name), indexed.Tags(name));
                    break;
                default: {
                    // Edits must drop the index.
                    if (rng() % 2) {
                        ASSERT_EQ(plain.AppendTextWithinTag(u"<A>q</A>"), indexed.AppendTextWithinTag(u"<A>q</A>"));
                    } else {
                        ASSERT_EQ(plain.DeleteCurrentSection(), indexed.DeleteCurrentSection());
                    }
                    break;
                }
            }
            ASSERT_EQ(plain.Level(), indexed.Level());
            ASSERT_EQ(plain.Content(), indexed.Content());
            ASSERT_EQ(plain.CountTags(name), indexed.CountTags(name));
        }
    }
}

TEST(XmlIndex, FilledTextHasTheSizeAskedFor) {
    // Sizes just past a short string's own room make the library grow it further than asked.
    for (const size_t size : {size_t(0), size_t(7), size_t(8), size_t(9), size_t(13), size_t(40)}) {
        Document d;
        ASSERT_TRUE(d.LoadFilled(size, [](char16_t* out, size_t from, size_t to) {
            std::fill(out, out + (to - from), u'x');
            return to - from;
        }));
        EXPECT_EQ(d.Content(), u16string(size, u'x'));
        // Tag names of these lengths are written and found again.
        const u16string name(size + 1, u'N');
        Document tags = load(u"<" + name + u">v</" + name + u">");
        u16string value;
        EXPECT_TRUE(tags.ReadProperty(name, value)) << size;
        EXPECT_EQ(value, u"v");
    }
}

TEST(XmlIndex, TextFilledInBlocksIsIndexedAsItArrives) {
    std::mt19937 rng(5);
    const u16string names[] = {u"A", u"b", u"AB", u"LONGER_THAN_SIXTEEN"};
    for (int round = 0; round < 4; ++round) {
        // Several blocks, and a long tag across the first block's end. In the last round the
        // source runs dry early (a file that shrank while read): the text ends there.
        u16string text = randomDocument(rng, 20000);
        text.insert(16384 - 10 + size_t(round) * 3, u"<LONGER_THAN_SIXTEEN>");
        const size_t promised = text.size();
        if (round == 3) text.resize(40000);
        Document plain = load(text), filled;
        plain.SetIndexThreshold(SIZE_MAX);
        filled.SetIndexThreshold(0);
        ASSERT_TRUE(filled.LoadFilled(promised, [&](char16_t* out, size_t from, size_t to) {
            to = std::min(to, text.size());
            std::copy(text.begin() + std::ptrdiff_t(from), text.begin() + std::ptrdiff_t(to), out);
            return to - from;
        }));
        ASSERT_EQ(filled.Content(), text);
        for (const u16string& name : names) {
            ASSERT_EQ(plain.CountTags(name), filled.CountTags(name)) << round;
            ASSERT_EQ(plain.Tags(name), filled.Tags(name)) << round;
        }
        for (int step = 0; step < 40; ++step) {
            const u16string& name = names[rng() % std::size(names)];
            const auto n = int32_t(1 + rng() % 3);
            ASSERT_EQ(plain.ReadWithinTagsOccurence(name, n), filled.ReadWithinTagsOccurence(name, n));
            if (rng() % 2) {
                ASSERT_EQ(plain.ReadUpOneLevel(), filled.ReadUpOneLevel());
            }
            ASSERT_EQ(plain.CurrentRange(), filled.CurrentRange());
        }
    }
}

TEST(XmlIndex, OccurrenceWalksResumeWhereTheyStopped) {
    // Walks are remembered per name and range: whatever order the occurrences are asked in, and
    // across edits, each lands where the list of pairs says.
    std::mt19937 rng(3);
    const u16string names[] = {u"A", u"b", u"AB", u"a", u"LONGER_THAN_SIXTEEN"};
    for (int round = 0; round < 30; ++round) {
        Document d = load(randomDocument(rng, 400));
        d.SetIndexThreshold(round % 2 ? 0 : SIZE_MAX);
        for (int step = 0; step < 80; ++step) {
            const u16string& name = names[rng() % std::size(names)];
            switch (rng() % 6) {
                case 0:
                    d.ReadUpOneLevel();
                    break;
                case 1:
                    if (rng() % 4 == 0) {
                        d.AppendTextWithinTag(u"<A>\r\nq</A>");
                    } else if (rng() % 4 == 0) {
                        d.DeleteCurrentSection();
                    }
                    break;
                default: {
                    const auto before = d.CurrentRange();
                    const auto spans = d.Tags(name);
                    const auto n = int32_t(rng() % (spans.size() + 2));
                    const int32_t level = d.Level();
                    const bool entered = d.ReadWithinTagsOccurence(name, n);
                    ASSERT_EQ(entered, n >= 1 && size_t(n) <= spans.size() && level < kMaxLevels);
                    if (!before || n < 1 || size_t(n) > spans.size()) {
                        ASSERT_EQ(d.Level(), level);
                    } else if (entered) {
                        const Span& span = spans[size_t(n) - 1];
                        ASSERT_EQ(d.CurrentRange(), std::make_pair(int32_t(span.offset) + 2,
                                                                   int32_t(span.offset + span.length) + 1));
                    }
                    break;
                }
            }
        }
    }
}

TEST(XmlIndex, LongTagNamesAreFoundIndexedOrNot) {
    // Names around the length kept in place, a long indexed one, and one past the indexed length.
    for (const size_t n : {45u, 46u, 100u, 300u}) {
        const u16string name(n, u'N');
        const u16string text = u"<" + name + u">one</" + name + u">\r\n<" + name + u">two</" + name + u">";
        for (const size_t threshold : {size_t(0), SIZE_MAX}) {
            Document d = load(text);
            d.SetIndexThreshold(threshold);
            u16string value;
            EXPECT_TRUE(d.ReadProperty(name, value)) << n;
            EXPECT_EQ(value, u"one") << n;
            EXPECT_EQ(d.CountTags(name), 2) << n;
            EXPECT_TRUE(d.ReadWithinTagsOccurence(name, 2)) << n;
        }
    }
}

TEST(XmlIndex, OccurrenceWalkOnATenMegabyteText) {
    // 10 MB of settings: walking the entries one by one and reading a property of each must
    // not rescan the text for every step.
    u16string text = u"<LIST>\r\n";
    const u16string entry =
        u"   <ENTRY>\r\n      <NAME>n</NAME>\r\n      <PAD>" + u16string(60, u'.') + u"</PAD>\r\n   </ENTRY>\r\n";
    size_t entries = 0;
    while (text.size() < 10u * 1024 * 1024) {
        text += entry;
        ++entries;
    }
    text += u"</LIST>\r\n<TAIL>end</TAIL>\r\n";
    Document d = load(text);
    enter(d, {u"LIST"});
    EXPECT_EQ(size_t(d.CountTags(u"ENTRY")), entries);
    u16string value;
    for (int i = 0; i < 2000; ++i) {
        // A missing tag is the worst case of the plain search: the whole text every time.
        ASSERT_FALSE(d.ReadProperty(u"MISSING", value));
        ASSERT_TRUE(d.ReadProperty(u"NAME", value));
    }
    d.ReadUpOneLevel();
    EXPECT_TRUE(d.ReadProperty(u"TAIL", value));
    EXPECT_EQ(value, u"end");
}
