// XML text core: writer, call scripts, elements, random documents with and without the tag index; also scalar-built.
#include "xml/xml_text.hpp"

#include <algorithm>

#include "support.hpp"
#include "text/strings.hpp"

using namespace lark::xml;
using namespace lark::test;

namespace {

const u16string kSample =
    u"<?xml version=\"1.0\"?>\r\n<SETTINGS>\r\n   <LEFT>10</LEFT>\r\n   <RECENT>\r\n"
    u"      <FILE>a.txt</FILE>\r\n   </RECENT>\r\n</SETTINGS>\r\n";

// The sample with lines added at the end of RECENT.
u16string withFiles(Units lines) { return u16string(kSample).insert(kSample.find(u"   </RECENT>"), lines); }

// One call on a document: its result (true as 1) and the text it reads, compared when given and always for A, T
// and R. arg is an occurrence, a default (P: 1 for "dflt"), a room for pairs, or the reference passed in.
struct Step {
    char call;
    Units name = {};
    int32_t arg = 0, result = 1;
    Units text = {};
};

std::pair<int32_t, u16string> call(Document& d, const Step& s) {
    u16string text, old = u"old", name(s.name);
    int32_t result = 1;
    bool reference = s.arg;
    PropertyList list;
    const auto range = d.CurrentRange().value_or(std::pair(0, 0));  // a stale range may lie past the text
    const Units content = d.Content(), inRange = content.substr(std::min<size_t>(range.first - 1, content.size()));
    const auto note = [&](const Element& e, const u16string& part) {  // for 'E'
        text += part + u";", result += e.Contents().find(part) == u16string::npos;
    };
    // clang-format off
    switch (s.call) {
        case 'W': result = d.ReadWithinTags(name); text = name; break;  // the name as left
        case 'O': result = d.ReadWithinTagsOccurence(s.name, s.arg); break;
        case 'U': result = d.ReadUpOneLevel(); break;
        case 'L': result = d.Level(); break;
        case 'X': result = d.Load(d.Content()); break;  // the content read again
        case 'R': result = range.first > 0; text = inRange.substr(0, size_t(std::max(range.second - range.first, 0)));
                  break;
        case 'P': result = d.ReadProperty(s.name, old, s.arg ? u"dflt" : u""); text = old; break;  // "old" before
        case 'N': result = s.arg ? d.ReadPropertyLong(s.name, s.arg) : d.ReadPropertyLong(s.name); break;
        case 'B': result = d.ReadPropertyBoolean(s.name, reference); text = reference ? u"true" : u"false"; break;
        case 'C': result = d.CountTags(s.name); break;
        case 'T': for (const Span& t : d.Tags(s.name)) text.append(content.substr(t.offset, t.length)) += u";";
                  result = int32_t(d.Tags(s.name).size()); break;  // "inner;" each
        case 'A': result = d.ReadAllProperties(size_t(s.arg), list);  // "name=value;" each
                  for (size_t k = 0; k < list.names.size(); ++k) text += list.names[k] + u"=" + list.values[k] + u";";
                  break;
        case 'I': result = d.AppendTextWithinTag(s.name); text = d.Content(); break;
        case 'D': result = d.DeleteCurrentSection(); text = d.Content(); break;
        case 'E': result = 0;  // the pairs as elements, a path into each, their children's values; result: misses
                  for (const Span& t : d.Tags(s.name)) {
                      const Element e(d.Content(), t, Element::Kind::Inner);
                      note(e, e.GetProperty(name + u">" + name));
                      for (const Span& c : e.Tags(name)) note(e.Child(c), e.Child(c).Value());
                  }
                  break;
    }
    // clang-format on
    return {result, text};
}

void run(Document& d, const std::vector<Step>& steps) {
    for (size_t i = 0; i < steps.size(); ++i) {
        const Step& s = steps[i];
        const auto [result, text] = call(d, s);
        const bool readsText = !s.text.empty() || Units(u"ATR").find(s.call) != Units::npos;
        EXPECT_EQ(std::pair(result, readsText ? text : u16string()), std::pair(s.result, u16string(s.text)))
            << "step " << i + 1 << ": " << s.call << ' ' << show(s.name);
    }
}

Document loaded(Units text, size_t indexThreshold = TagIndex::kDefaultThreshold) {
    Document d;
    d.SetIndexThreshold(indexThreshold), d.Load(u16string(text));
    return d;
}

// Tag soup: a few names nested, stray brackets, line breaks, low bytes of brackets and letters, long tags, any unit.
u16string randomDocument(std::mt19937& rng, size_t pieces) {
    // clang-format off
    static const u16string parts[] = {u"<A>", u"</A>", u"<b>", u"</B>", u"<AB>", u"</ab>", u"<", u">", u"\r\n", u"x",
        u"12", u"<<A>>", u"\u0141", u"   ", u"\u013C", u"\u013E", u"<LONGER_THAN_SIXTEEN>"};
    // clang-format on
    u16string text;
    for (size_t i = 0; i < pieces; ++i)
        text += rng() % 16 ? parts[rng() % std::size(parts)] : u16string(1, char16_t(rng()));
    return text;
}

TEST(XmlWriterAndElement, LinesIndentsPathsValuesAndChildren) {
    Writer w;
    const u16string lines[] = {w.WriteAnnouncementTag(),           w.WriteOpenTag(u"Settings"),
                               w.WriteProperty(u"Left", u"10"),    w.WriteOpenTag(u"Recent"),
                               w.WriteProperty(u"File", u"a.txt"), w.WriteCloseTag(u"Recent"),
                               w.WriteCloseTag(u"Settings")};
    EXPECT_EQ(lines[0] + lines[1] + lines[2] + lines[3] + lines[4] + lines[5] + lines[6], kSample);
    EXPECT_EQ(w.WriteProperty(u"a\u00e9z", u"<x>\r\n"), u"<A\u00e9Z><x>\r\n</A\u00e9Z>\r\n");  // only a..z raised
    w.SetIndent(2);
    EXPECT_EQ(w.WriteOpenTag(u"t"), u"  <T>\r\n");
    EXPECT_EQ(w.WriteAnnouncementTag(), u"     <?xml version=\"1.0\"?>\r\n");
    w.Reset();
    // A negative indent raises error 5 for every line; the close tag's subtraction stands.
    const std::function<void()> writes[] = {[&] { w.WriteCloseTag(u"x"); }, [&] { w.WriteOpenTag(u"x"); },
                                            [&] { w.WriteProperty(u"x", u"1"); }, [&] { w.WriteAnnouncementTag(); }};
    for (const auto& write : writes)
        EXPECT_EQ((std::pair{raised(write).number, w.Indent()}), std::pair(5, -3));  // in this order
    for (const int32_t edge : {INT32_MIN + 2, INT32_MAX - 2}) {  // the close or open tag's move leaves the Long range
        w.SetIndent(edge);
        EXPECT_EQ((std::pair{raised(writes[edge > 0]).number, w.Indent()}), std::pair(6, edge));
    }
    w.SetIndent(0);
    EXPECT_EQ(raised(writes[2]).number, 0);
    // Elements made from a file level: text, path, GetProperty. Each part of a path must open inside
    // the pair before it, searched from just after that pair's "<".
    // clang-format off
    const std::tuple<Units, Units, Units> paths[] = {{u"<I><N>x</N><S>5</S></I>", u"s", u"5"},
        {u"<I><N>x</N></I>", u"C", u""}, {u"<I><N>x</N></I>", u"", u""}, {u"<A><B>1</B></A><B>2</B>", u"a>b", u"1"},
        {u"<A><B>1</B></A><B>2</B>", u"B", u"1"}, {u"<A><B>1</B></A><B>2</B>", u"A>", u""},
        {u"<A></A><B>2</B>", u"A>B", u""}, {u"<A><B><C>c</C></B></A>", u"A>B>C", u"c"},
        {u"<A><B><C>c</C></B></A>", u"A>C", u"c"}, {u"<A><B><C>c</C></B></A>", u"B>A", u""},
        {u"<A<B>x</B></A<B>", u"A<B>B", u"x"}};
    // Only an element with its tags has a value: from the first ">" to the last "</".
    using enum Element::Kind;
    const std::tuple<Units, Element::Kind, Units> values[] = {{u"<I>1</I>", Tagged, u"1"},
        {u"<I><J>2</J></I>", Tagged, u"<J>2</J>"}, {u"<I>1</I>", Inner, u""}, {u"</a>x", Tagged, u""},
        {u"abc", Tagged, u""}, {u"a>bc", Tagged, u""}, {u"<a></a>", Tagged, u""}};
    // clang-format on
    for (const auto& [text, path, value] : paths)
        EXPECT_EQ(Element(text, {0, text.size()}, Inner).GetProperty(path), value) << show(path);
    for (const auto& [text, kind, value] : values)
        EXPECT_EQ(Element(text, {0, text.size()}, kind).Value(), value);
    const Element list(u"<L><I>1</I>\r\n<I><J>2</J></I><I>3</i></L>", {0, 41}, Inner);
    const auto items = list.Tags(u"I");
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(list.Child(items[1]).Value() + list.Child(items[2]).Contents(), u"<J>2</J><I>3</i>");
    // A span past the text is cut to what exists.
    EXPECT_EQ(Element(u"abc", {2, 10}, Inner).Contents() + Element(u"abc", {9, 1}, Inner).Contents(), u"c");
}

TEST(XmlDocument, NumbersScriptsAndTheFiftyFirstLevel) {
    const u16string added = u"   <FILE>b.txt</FILE>\r\n", edited = withFiles(added);
    // clang-format off
    // text, ReadPropertyLong's number (half to even, 0 outside the Long range), boolean ({}: none)
    const std::tuple<Units, int32_t, std::optional<bool>> rows[] = {{u"  12abc", 12, {}}, {u"\r\n\t 42", 42, 1},
        {u"2.5", 2, 1}, {u"3.5", 4, 1}, {u".5", 0, 1}, {u"1.5.5", 2, {}}, {u"+7", 7, 1}, {u"-1", -1, 1}, {u"0", 0, 0},
        {u"1e3", 1000, 1}, {u"1D2x", 100, {}}, {u"1e", 1, {}}, {u"1e400", 0, 1}, {u"1e-400", 0, 0},
        {u"3000000000", 0, 1}, {u"2147483647.4", INT32_MAX, 1}, {u"2147483647.5", 0, 1},
        {u"-2147483648.5", INT32_MIN, 1}, {u"&H10", 16, 1}, {u"&hFFFF", -1, 1}, {u"&O17", 15, 1},
        {u"&H7FFFFFFF", INT32_MAX, 1}, {u"&H80000000", INT32_MIN, 1}, {u"&H100000000", 0, 1}, {u"&H", 0, {}},
        {u"&O8", 0, {}}, {u"", 0, {}}, {u" True ", 0, 1}, {u"FALSE", 0, 0}};
    const std::pair<u16string, std::vector<Step>> scripts[] = {
        {kSample, {{'L', {}, 0, 1}, {'R', {}, 0, 1, kSample}, {'W', u"settings", 0, 1, u"SETTINGS"}, {'L', {}, 0, 2},
            // From the unit after the opening tag's CR up to the closing tag.
            {'R', {}, 0, 1, u"\n   <LEFT>10</LEFT>\r\n   <RECENT>\r\n      <FILE>a.txt</FILE>\r\n   </RECENT>\r\n"},
            {'P', u"left", 0, 1, u"10"}, {'P', u"\u014C\u0165ft", 0, 1, u"10"},  // the low bytes of "Le", folded
            {'P', u"RIGHT", 1, 0, u"dflt"}, {'P', u"RIGHT", 0, 0, u"old"}, {'N', u"LEFT", 0, 10},
            {'B', u"LEFT", 0, 1, u"true"}, {'B', u"RIGHT", 1, 0, u"true"},
            {'A', {}, 10, 2, u"LEFT=10;RECENT=\r\n      <FILE>a.txt</FILE>\r\n   ;"},
            {'A', {}, 1, -1, u"LEFT=10;"}, {'A', {}, 0, -1},  // out of room: what fitted stays
            {'W', u"Recent"}, {'P', u"File", 0, 1, u"a.txt"}, {'P', u"Left", 0, 0, u"old"},  // outside the level
            {'W', u"FILE"}, {'A', {}, 10, 0}, {'U'}, {'U'}, {'U'}, {'U', {}, 0, 0}, {'L', {}, 0, 1},
            {'N', u"missing", 0, INT32_MIN}, {'N', u"missing", 7, 7},
            {'N', u"left", 7, 10}}},  // level 1 is the whole text: the first LEFT at any depth
        {withFiles(u"      <FILE>b.txt</FILE>\r\n      <FILE>c.txt</FILE>\r\n"), {{'W', u"SETTINGS"}, {'W', u"RECENT"},
            {'C', u"file", 0, 3}, {'C', u"LEFT", 0, 0}, {'T', u"file", 0, 3, u"a.txt;b.txt;c.txt;"}, {'O', u"file", 2},
            {'L', {}, 0, 4}, {'R', {}, 0, 1, u".txt"}, {'U'}, {'O', u"FILE", 4, 0}, {'O', u"FILE", 0, 0},
            {'O', u"FILE", -1, 0}, {'O', u"FILE", INT32_MIN, 0}, {'L', {}, 0, 3}, {'U'}, {'C', u"FILE", 0, 3},
            {'C', u"RECENT", 0, 1}, {'C', u"SETTINGS", 0, 0}}},
        // An opening tag whose closing tag lies past the level's end is not entered; at level 1 the
        // first <B> goes with the first </B> after it.
        {u"<A>\r\n<B>x\r\n</A>\r\n<B>y</B>", {{'W', u"A"}, {'W', u"B", 0, 0}, {'P', u"B", 0, 0, u"old"},
            {'C', u"B", 0, 0}, {'L', {}, 0, 2}, {'U'}, {'P', u"b", 0, 1, u"x\r\n</A>\r\n<B>y"}}},
        // A fifth walk takes the place of the oldest one, with nothing of it left.
        {u"<A>xa</A><B>xb</B><C>xc</C><D>xd</D><E>xe</E>", {{'O', u"A", 1}, {'U'}, {'O', u"B", 1}, {'U'},
            {'O', u"C", 1}, {'U'}, {'O', u"D", 1}, {'U'}, {'O', u"E", 1}, {'R', {}, 0, 1, u"e"}}},
        // Same-name nesting is not balanced: the inner closing tag ends the range.
        {u"<X>1<X>2</X>3</X>", {{'P', u"X", 0, 1, u"1<X>2"}, {'C', u"X", 0, 1}}},
        {u"<R>\r\n<X></X><X>5</X>\r\n</R><X>9</X>", {{'W', u"R"}, {'T', u"x", 0, 2, u";5;"}}},
        // Edits leave the level stack as it was, so the text is read again from a fresh one. Level 1
        // ends past the text, with no line break after it.
        {kSample, {{'W', u"SETTINGS"}, {'W', u"RECENT"}, {'I', added, 0, 1, edited}, {'X'}, {'W', u"SETTINGS"},
            {'W', u"RECENT"}, {'C', u"FILE", 0, 2},
            {'D', {}, 0, 1, u"<?xml version=\"1.0\"?>\r\n<SETTINGS>\r\n   <LEFT>10</LEFT>\r\n</SETTINGS>\r\n"},
            {'X'}, {'W', u"SETTINGS"}, {'C', u"RECENT", 0, 0}, {'N', u"LEFT", 0, 10}, {'U'}, {'D', {}, 0, 0}}},
        // No line break before the opening tag's line: on the first line, or only a CR.
        {u"<A>\r\nx\r\n</A>\r\n", {{'W', u"A"}, {'D', {}, 0, 0, u"<A>\r\nx\r\n</A>\r\n"}}},
        {u"z\r<A>\r\nx\r\n</A>\r\n", {{'W', u"A"}, {'D', {}, 0, 0}}},
        // Text goes 4 units before the level's end.
        {u"ab", {{'I', u"x", 0, 0}}}, {u"abcdef", {{'I', u"X", 0, 1, u"abcXdef"}}},
        {u"<Q>\r\n</Q>", {{'W', u"Q"}, {'I', u"-", 0, 1, u"<Q->\r\n</Q>"}}},
        // After an edit that shrinks the text, a stale range past its end fails instead of crashing.
        {u"x\r\n<Q>\r\n" + u16string(20, u'y') + u"\r\n</Q>\r\nz",
            {{'W', u"Q"}, {'D'}, {'I', u"x", 0, 0}, {'D', {}, 0, 0}}}};
    // With no current range every reading and editing member fails, even for a tag the text holds; a
    // default is taken before anything is searched, and a name is upper-cased all the same.
    const std::vector<Step> noRange = {{'R', {}, 0, 0}, {'W', u"v", 0, 0, u"V"}, {'O', u"V", 1, 0},
        {'P', u"V", 0, 0, u"old"}, {'P', u"V", 1, 0, u"dflt"}, {'N', u"V", 3, 3}, {'B', u"V", 1, 0, u"true"},
        {'A', {}, 10, -1}, {'C', u"V", 0, 0}, {'T', u"V", 0, 0}, {'I', u"x", 0, 0}, {'D', {}, 0, 0}};
    // clang-format on
    for (const auto& [text, number, boolean] : rows)
        EXPECT_EQ(std::pair(toLong(text), toBoolean(text)), std::pair(number, boolean)) << show(text);
    for (const auto& [text, steps] : scripts) {
        SCOPED_TRACE(show(text));
        Document d = loaded(text);
        run(d, steps);
        EXPECT_EQ(d.ReWriteText(), d.Content() + u"\r\n");
    }
    Document none;
    run(none, noRange);
    run(none, {{'L', {}, 0, 0}, {'U', {}, 0, 0}});
    // Each depth has its own name, since same-name nesting is not balanced.
    const auto name = [](int i) { return u16string{u'L', char16_t(u'A' + i % 26), char16_t(u'A' + i / 26)}; };
    u16string text = u"<V>deep</V>\r\n";
    for (int i = 0; i < 52; ++i)
        text = u"<" + name(i) + u">\r\n" + text + u"</" + name(i) + u">\r\n";
    Document d = loaded(text);
    for (int i = 52; i-- > 3;)
        run(d, {{'W', name(i)}});
    run(d, {{'L', {}, 0, 50}, {'P', u"V", 0, 1, u"deep"}, {'W', name(2), 0, 0}, {'L', {}, 0, 51}});
    run(d, noRange);
    run(d, {{'L', {}, 0, 51}, {'U'}, {'L', {}, 0, 50}, {'P', u"V", 0, 1, u"deep"}});
    EXPECT_EQ(d.Content(), text);
}

// Random calls on random documents, searched directly and through the tag index, answer alike and read only the text.
TEST(XmlIndex, IndexedAndPlainSearchesAgree) {
    const u16string names[] = {u"A", u"b", u"AB", u"a", u"LONGER_THAN_SIXTEEN", u"", u"/", u"<", u"<A>\r\nq</A>"};
    std::mt19937 rng(11);
    for (int round = 0; round < 150; ++round) {
        const u16string text = randomDocument(rng, 50 + rng() % 300);
        Document plain = loaded(text, SIZE_MAX), indexed = loaded(text, 0);
        for (int step = 0; step < 60; ++step) {
            Step s{"WOOOUPNBCTAEIDLR"[rng() % 16], names[rng() % std::size(names)], int32_t(rng() % 8) - 1};
            const auto spans = plain.Tags(s.name);
            const int32_t level = plain.Level();
            const size_t length = plain.Content().size();
            if (s.call == 'O') s.arg = int32_t(rng() % (spans.size() + 2));
            const auto got = call(plain, s);
            ASSERT_EQ(call(indexed, s), got)
                << "round " << round << ", step " << step << ": " << s.call << show(s.name) << s.arg;
            // An edit tells whether it changed the text; a walk lands on the pair the list of pairs gives.
            ASSERT_TRUE(s.call != 'I' || got.second.size() == length + (got.first ? s.name.size() : 0));
            ASSERT_TRUE(s.call != 'D' || (got.second.size() < length) == (got.first == 1));
            ASSERT_TRUE(s.call != 'E' || got.first == 0);  // what an element gives lies within it
            if (s.call != 'O') continue;
            ASSERT_EQ(got.first, s.arg >= 1 && size_t(s.arg) <= spans.size() && level < kMaxLevels);
            if (got.first) {
                const auto& [offset, length] = spans[size_t(s.arg) - 1];
                ASSERT_EQ(plain.CurrentRange(), std::pair(int32_t(offset) + 2, int32_t(offset + length) + 1));
            } else if (level < kMaxLevels) {
                ASSERT_EQ(plain.Level(), level);
            }
        }
    }
    // clang-format off
    const u16string patterns[] = {u"<A>", u"</a>", u"<<", u"<AB>", u"\u0141", u"B>", u"<\u0141>", u"zz",
        u"\u013CA\u013E", u"<longer_than_sixteen>", u"<LONGER_THAN_SIXTEEN"};
    // clang-format on
    rng.seed(7);
    for (int round = 0; round < 40; ++round) {
        // The last rounds' texts are long enough for groups of thousands of tags.
        const u16string text = randomDocument(rng, round < 36 ? 200 + rng() % 400 : 20000);
        TagIndex index;
        index.setThreshold(0);
        if (round % 2) index.setHashMask(3);  // different tags share groups and must be told apart
        for (int q = 0; q < 300; ++q) {
            // Now and then a one-off pattern, so that the table also fills up and grows.
            const u16string p =
                rng() % 4 ? patterns[rng() % std::size(patterns)] : u16string{u'<', char16_t(rng() % 128), u'>'};
            const auto start = int32_t(rng() % (text.size() + 3)) - 1;
            const int32_t plain =
                start < 1 || start > int32_t(text.size()) ? 0 : lark::text::lrkInstr(start, text, p, 1);
            ASSERT_EQ(index.find(text, start, p), plain) << "round " << round << ", start " << start << ", " << show(p);
        }
    }
}

TEST(XmlIndex, TextFilledInBlocksLongNamesAndLongTexts) {
    // Sizes just past a short string's own room make the library grow it further than asked.
    for (const size_t size : {0, 7, 8, 9, 13, 40}) {
        Document d;
        ASSERT_TRUE(d.LoadFilled(size, [](char16_t* out, size_t from, size_t to) {
            return std::fill(out, out + to - from, u'x'), to - from;
        }));
        EXPECT_EQ(d.Content(), u16string(size, u'x'));
    }
    // Several blocks, a long tag across the first one's end; in the last round the source runs dry (a file that
    // shrank while read) and the text ends there.
    std::mt19937 rng(5);
    for (size_t round = 0; round < 4; ++round) {
        u16string text = randomDocument(rng, 20000);
        text.insert(16384 - 10 + round * 3, u"<LONGER_THAN_SIXTEEN>");
        const size_t promised = text.size();
        if (round == 3) text.resize(40000);
        Document plain = loaded(text, SIZE_MAX), filled;
        filled.SetIndexThreshold(0);
        ASSERT_TRUE(filled.LoadFilled(
            promised, [&](char16_t* out, size_t from, size_t to) { return text.copy(out, to - from, from); }));
        ASSERT_EQ(filled.Content(), text);
        for (Units name : {u"A", u"b", u"AB", u"LONGER_THAN_SIXTEEN"})
            ASSERT_EQ(plain.Tags(name), filled.Tags(name)) << round;
    }
    // Tag names around the length whose tags are written in place, a long indexed one and one past the indexed length.
    for (const size_t n : {1, 8, 9, 10, 14, 41, 45, 46, 100, 300})
        for (const size_t threshold : {size_t(0), SIZE_MAX}) {
            const u16string name(n, u'N');
            Document d = loaded(u"<" + name + u">one</" + name + u">\r\n<" + name + u">two</" + name + u">", threshold);
            run(d, {{'P', name, 0, 1, u"one"}, {'C', name, 0, 2}, {'O', name, 2}});
        }
    // Only long texts are indexed.
    for (const size_t length :
         {size_t{1000}, TagIndex::kDefaultThreshold - 1, TagIndex::kDefaultThreshold, size_t{1} << 20}) {
        Document d = loaded(u16string(length - 8, u' ') + u"<A>1</A>");
        run(d, {{'P', u"a", 0, 1, u"1"}});
        EXPECT_EQ(d.IndexBytes() > 0, length >= TagIndex::kDefaultThreshold) << length;
    }
}

}  // namespace
