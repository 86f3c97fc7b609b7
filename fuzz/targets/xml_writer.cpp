// The XML writer and the reading of values: the lines written carry the indent and the upper-cased
// names; a file written from a tag and a property reads the property's value back exactly, unless
// the two names make the same tags; a number written as decimal, &H or &O text reads back as that
// number.
#include "input.hpp"
#include "text/strings.hpp"
#include "xml/xml_text.hpp"

#include <algorithm>
#include <string>

using namespace lark::xml;
using lark::fuzz::raised;

namespace {

// A unit as the tag searches compare it: its low byte, a..z raised.
char16_t folded(char16_t c) {
    const auto low = static_cast<char16_t>(c & 0xFF);
    return low >= u'a' && low <= u'z' ? static_cast<char16_t>(low - 32) : low;
}

bool sameTag(Units a, Units b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char16_t x, char16_t y) { return folded(x) == folded(y); });
}

bool holdsBracket(Units text) {
    return std::any_of(text.begin(), text.end(), [](char16_t c) { return folded(c) == u'<' || folded(c) == u'>'; });
}

// The line the writer makes of body at indent; none for a negative indent.
void checkLine(const std::u16string& line, int32_t indent, const std::u16string& body) {
    FUZZ_CHECK(line == (indent < 0 ? u"" : std::u16string(static_cast<size_t>(indent), u' ') + body + u"\r\n"));
}

std::u16string digits(uint32_t value, uint32_t base) {
    std::u16string out;
    do out.insert(out.begin(), u"0123456789ABCDEF"[value % base]);
    while (value /= base);
    return out;
}

std::u16string decimal(int32_t value) {
    const std::string text = std::to_string(value);
    return {text.begin(), text.end()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    lark::fuzz::Input in(data, size);
    const int32_t indent = in.position();
    const uint32_t number = in.word();
    const std::u16string tag = in.text(), name = in.text(), value = in.text();
    const std::u16string tagUpper = upperCase(tag), nameUpper = upperCase(name);
    FUZZ_CHECK(sameTag(tag, tagUpper) && tagUpper.find_first_of(u"abcdefghijklmnopqrstuvwxyz") == std::u16string::npos);

    // A negative indent fails each line, and only the close tag's subtraction stands; an indent
    // that would leave the Long range raises error 6 and stays.
    Writer writer;
    writer.SetIndent(indent);
    if (indent == INT32_MAX) {  // its lines are not made here: they would take 4 GB
        FUZZ_CHECK(raised([&] { writer.WriteOpenTag(tag); }) == 6 && writer.Indent() == indent);
        return 0;
    }
    std::u16string lines[4];
    int32_t errors = raised([&] { lines[0] = writer.WriteAnnouncementTag(); });
    errors += raised([&] { lines[1] = writer.WriteOpenTag(tag); });
    errors += raised([&] { lines[2] = writer.WriteProperty(name, value); });
    errors += raised([&] { lines[3] = writer.WriteCloseTag(tag); });
    const bool bottom = indent < INT32_MIN + kIndentIncrement;
    FUZZ_CHECK(writer.Indent() == (indent >= 0 || bottom ? indent : indent - kIndentIncrement));
    FUZZ_CHECK(errors == (indent >= 0 ? 0 : bottom ? 21 : 20));
    checkLine(lines[0], indent, u"<?xml version=\"1.0\"?>");
    checkLine(lines[1], indent, u"<" + tagUpper + u">");
    checkLine(lines[2], indent < 0 ? -1 : indent + kIndentIncrement,
              u"<" + nameUpper + u">" + value + u"</" + nameUpper + u">");
    checkLine(lines[3], indent, u"</" + tagUpper + u">");
    if (indent < 0 || holdsBracket(tag) || holdsBracket(name) || holdsBracket(value)) return 0;

    // The property's close tag would end the level, or its open tag be the level's close tag.
    const bool clash = sameTag(name, tag) || sameTag(name, u"/" + tag);
    Document d;
    d.Load(lines[0] + lines[1] + lines[2] + lines[3]);
    std::u16string asked = tag, read;
    FUZZ_CHECK(d.ReadWithinTags(asked) && asked == tagUpper);
    FUZZ_CHECK(d.ReadProperty(name, read) == !clash && (clash || read == value));
    Document numbers;
    numbers.Load(writer.WriteProperty(u"N", decimal(static_cast<int32_t>(number))));
    FUZZ_CHECK(numbers.ReadPropertyLong(u"n") == static_cast<int32_t>(number));

    const int32_t fromHex = number <= 0xFFFF ? static_cast<int16_t>(number) : static_cast<int32_t>(number);
    FUZZ_CHECK(toLong(u" \t&H" + digits(number, 16)) == fromHex && toLong(u"&o" + digits(number, 8)) == fromHex);
    FUZZ_CHECK(toBoolean(u" " + decimal(static_cast<int32_t>(number)) + u" ") == (number != 0));
    for (const bool word : {false, true})
        if (sameTag(lark::text::TrimSpaces(value), word ? u"TRUE" : u"FALSE")) FUZZ_CHECK(toBoolean(value) == word);
    return 0;
}
