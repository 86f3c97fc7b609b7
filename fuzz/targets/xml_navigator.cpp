// The XML navigator: a script of reading and editing calls on a text, run on a document that
// searches the text directly and on one that goes through the tag index (filled in blocks, the
// source perhaps running short). Both must answer every call alike and hold the same text, and
// what they hand out lies within the text. A bare tag index, its hash cut to a few bits so that
// tags share groups, must find what lrkInstr finds.
#include "input.hpp"
#include "text/strings.hpp"
#include "xml/xml_text.hpp"

using namespace lark::xml;

namespace {

// One call's result and the text it read, as comparable values.
struct Answer {
    int32_t result = 0;
    std::u16string text;
    std::vector<Span> spans;
    bool operator==(const Answer&) const = default;
};

Answer call(Document& d, uint8_t code, const std::u16string& name, int32_t arg) {
    Answer a;
    switch (code % 11) {
        case 0: {
            std::u16string asked = name;
            a.result = d.ReadWithinTags(asked);
            a.text = asked;
            break;
        }
        case 1: a.result = d.ReadWithinTagsOccurence(name, arg); break;
        case 2: a.result = d.ReadUpOneLevel(); break;
        case 3: {
            a.text = u"old";
            a.result = d.ReadProperty(name, a.text, arg & 1 ? u"dflt" : u"");
            break;
        }
        case 4: a.result = d.ReadPropertyLong(name, arg); break;
        case 5: {
            bool reference = arg & 1;
            a.result = d.ReadPropertyBoolean(name, reference) * 2 + reference;
            break;
        }
        case 6: {
            PropertyList list;
            a.result = d.ReadAllProperties(static_cast<size_t>(arg & 15), list);
            FUZZ_CHECK(list.names.size() == list.values.size() && list.names.size() <= static_cast<size_t>(arg & 15));
            for (size_t k = 0; k < list.names.size(); ++k) a.text += list.names[k] + u'=' + list.values[k] + u';';
            break;
        }
        case 7:
            a.spans = d.Tags(name);
            a.result = d.CountTags(name);
            FUZZ_CHECK(a.result == static_cast<int32_t>(a.spans.size()));
            for (const Span& s : a.spans) FUZZ_CHECK(s.offset + s.length <= d.Content().size());
            break;
        case 8: a.result = d.AppendTextWithinTag(name); break;
        case 9: a.result = d.DeleteCurrentSection(); break;
        case 10: a.result = d.Load(d.Content()); break;
    }
    return a;
}

// Elements cut from the pairs: a path into each, and each child's value, lie within the element.
void checkElements(const Document& d, const std::u16string& name) {
    for (const Span& span : d.Tags(name)) {
        const Element e(d.Content(), span, Element::Kind::Inner);
        FUZZ_CHECK(e.Contents() == Units(d.Content()).substr(span.offset, span.length));
        FUZZ_CHECK(e.Contents().find(e.GetProperty(name + u'>' + name)) != std::u16string::npos);
        for (const Span& c : e.Tags(name)) {
            FUZZ_CHECK(c.offset + c.length <= e.Contents().size());
            const Element child = e.Child(c);
            FUZZ_CHECK(child.Contents().find(child.Value()) != std::u16string::npos);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    lark::fuzz::Input in(data, size);
    const size_t shortfall = in.byte() % 4;
    const uint64_t hashMask = in.byte() & 1 ? 3 : UINT64_MAX;
    const std::u16string text = in.text();

    Document plain, indexed;
    plain.SetIndexThreshold(SIZE_MAX);
    plain.Load(text);
    indexed.SetIndexThreshold(0);
    indexed.LoadFilled(text.size() + shortfall, [&](char16_t* out, size_t from, size_t to) {
        return text.copy(out, to - from, std::min(from, text.size()));
    });
    FUZZ_CHECK(indexed.Content() == text);
    TagIndex index;
    index.setThreshold(0);
    index.setHashMask(hashMask);

    for (int steps = 0; steps < 40 && !in.empty(); ++steps) {
        const uint8_t code = in.byte();
        const int32_t arg = in.position();
        const std::u16string name = in.text();
        FUZZ_CHECK(call(plain, code, name, arg) == call(indexed, code, name, arg));
        FUZZ_CHECK(plain.Content() == indexed.Content());
        FUZZ_CHECK(plain.Level() == indexed.Level() && plain.CurrentRange() == indexed.CurrentRange());
        FUZZ_CHECK(plain.Level() >= 1 && plain.Level() <= kMaxLevels + 1);
        if (code % 11 == 7) checkElements(plain, name);

        const Units content = plain.Content();
        if (code % 11 == 8 || code % 11 == 9) index.clear();
        const int32_t plainAt = arg < 1 || arg > static_cast<int64_t>(content.size()) || name.empty()
                                    ? 0
                                    : lark::text::lrkInstr(arg, content, name, lark::text::kTextCompare);
        FUZZ_CHECK(index.find(content, arg, name) == plainAt);
    }
    return 0;
}
