// The .reg text: a stored value of any type and data made into its line, and the line read back
// into the same name and data (text undoubled, dword and hex digits parsed); the key line; and the
// header test against a search in an upper-cased copy.
#include "input.hpp"
#include "registry/reg_text.hpp"

#include <algorithm>

using namespace lark::registry;

namespace {

std::u16string latin1(std::string_view bytes) {
    const auto* first = reinterpret_cast<const unsigned char*>(bytes.data());
    return {first, first + bytes.size()};
}

int hexDigit(char16_t c) { return c >= u'0' && c <= u'9' ? c - u'0' : c >= u'A' && c <= u'F' ? c - u'A' + 10 : -1; }

// The value of two hex digits at the front of text, which loses them; -1 when they are not there.
int takeByte(Units& text) {
    if (text.size() < 2 || hexDigit(text[0]) < 0 || hexDigit(text[1]) < 0) return -1;
    const int value = hexDigit(text[0]) * 16 + hexDigit(text[1]);
    text.remove_prefix(2);
    return value;
}

// What the data part of a value line reads as, in the same shape as an entry.
RegEntry readBack(Units data, DataKind kind) {
    RegEntry entry;
    entry.kind = kind;
    if (kind == DataKind::text) {
        FUZZ_CHECK(data.size() >= 2 && data.front() == u'"' && data.back() == u'"');
        const Units inside = data.substr(1, data.size() - 2);
        const bool doubled = startsLikeDrivePath(inside);
        for (size_t k = 0; k < inside.size(); ++k) {
            entry.text += inside[k];
            if (doubled && inside[k] == u'\\') FUZZ_CHECK(++k < inside.size() && inside[k] == u'\\');
        }
    } else if (kind == DataKind::number) {
        FUZZ_CHECK(data.starts_with(u"dword:") && data.size() == 14);
        data.remove_prefix(6);
        uint32_t value = 0;
        for (int k = 0; k < 4; ++k) {
            const int byte = takeByte(data);
            FUZZ_CHECK(byte >= 0);
            value = value << 8 | static_cast<uint32_t>(byte);
        }
        entry.number = static_cast<int32_t>(value);
    } else if (kind == DataKind::bytes) {
        FUZZ_CHECK(data.starts_with(u"hex:"));
        data.remove_prefix(4);
        while (!data.empty()) {
            if (!entry.bytes.empty()) {
                FUZZ_CHECK(data.front() == u',');
                data.remove_prefix(1);
            }
            const int byte = takeByte(data);
            FUZZ_CHECK(byte >= 0);
            entry.bytes.push_back(static_cast<uint8_t>(byte));
        }
    } else {
        FUZZ_CHECK(data.empty());
    }
    return entry;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    lark::fuzz::Input in(data, size);
    static constexpr uint32_t types[] = {kRegNone, kRegSz, kRegExpandSz, kRegBinary, kRegDword, kRegMultiSz, 11};
    const uint32_t type = types[in.byte() % std::size(types)];
    const uint32_t root = 0x80000000u + in.byte() % 7;
    const std::u16string name = in.text(), keyPath = in.text();
    const std::string_view bytes = in.bytes();
    const std::span<const uint8_t> stored(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());

    const RegEntry entry = regEntry(name, type, stored, latin1);
    const size_t terminator = type == kRegMultiSz ? 2 : 1;
    const std::u16string text = bytes.size() > terminator ? latin1(bytes.substr(0, bytes.size() - terminator)) : u"";
    uint32_t number = 0;
    for (size_t k = std::min<size_t>(bytes.size(), 4); k-- > 0;) number = number << 8 | stored[k];
    FUZZ_CHECK(entry.name == name && entry.text == (entry.kind == DataKind::text ? text : u""));
    FUZZ_CHECK(static_cast<uint32_t>(entry.number) == (type == kRegDword ? number : 0));
    FUZZ_CHECK(entry.bytes == (type == kRegBinary ? std::vector<uint8_t>(stored.begin(), stored.end()) : std::vector<uint8_t>()));

    std::u16string line;
    appendValueLine(line, entry);
    const std::u16string head = name.empty() ? u"@=" : u"\"" + name + u"\"=";
    FUZZ_CHECK(line.starts_with(head) && line.ends_with(u"\r\n"));
    const RegEntry read = readBack(Units(line).substr(head.size(), line.size() - head.size() - 2), entry.kind);
    FUZZ_CHECK(read.text == entry.text && read.number == entry.number && read.bytes == entry.bytes);

    std::u16string keyLine;
    appendKeyLine(keyLine, root, keyPath);
    const bool named = root <= 0x80000003u || root == 0x80000005u;
    const Units rootText = rootName(root);
    FUZZ_CHECK(rootText.empty() != named && keyLine.size() == rootText.size() + keyPath.size() + 4);
    FUZZ_CHECK(keyLine.starts_with(u"[") && Units(keyLine).substr(1).starts_with(rootText));
    FUZZ_CHECK(keyLine.ends_with(keyPath + u"]\r\n"));

    std::string upper(bytes);
    std::transform(upper.begin(), upper.end(), upper.begin(), [](char c) { return c >= 'a' && c <= 'z' ? char(c - 32) : c; });
    FUZZ_CHECK(holdsRegHeader(bytes) == (upper.find("REGEDIT4") != std::string::npos));
    return 0;
}
