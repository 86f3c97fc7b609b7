#include "registry/reg_text.hpp"

#include <algorithm>

namespace lark::registry {

namespace {

constexpr char16_t kHexDigits[] = u"0123456789ABCDEF";

std::string_view asChars(std::span<const uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// The data without their last count bytes, decoded; "" when there are no more than that.
std::u16string textWithout(std::span<const uint8_t> data, size_t count, const AnsiDecoder& decode) {
    if (data.size() <= count) return {};
    return decode(asChars(data.first(data.size() - count)));
}

char16_t asciiUpper(char16_t c) noexcept { return c >= u'a' && c <= u'z' ? char16_t(c - 32) : c; }

}  // namespace

RegEntry regEntry(std::u16string name, uint32_t type, std::span<const uint8_t> data, const AnsiDecoder& decode) {
    RegEntry entry;
    entry.name = std::move(name);
    switch (type) {
        case kRegSz:
        case kRegExpandSz:
            entry.kind = DataKind::text;
            entry.text = textWithout(data, 1, decode);
            break;
        case kRegMultiSz:
            entry.kind = DataKind::text;
            entry.text = textWithout(data, 2, decode);
            break;
        case kRegDword:
            entry.kind = DataKind::number;
            entry.number = numberFromData(data);
            break;
        case kRegBinary:
            entry.kind = DataKind::bytes;
            entry.bytes.assign(data.begin(), data.end());
            break;
        default:
            entry.kind = DataKind::none;
            break;
    }
    return entry;
}

int32_t numberFromData(std::span<const uint8_t> data) noexcept {
    uint32_t value = 0;
    for (size_t i = 0; i < std::min<size_t>(data.size(), 4); ++i)
        value |= uint32_t(data[i]) << (8 * i);
    return static_cast<int32_t>(value);
}

Units rootName(uint32_t hKey) noexcept {
    switch (hKey) {
        case 0x80000000u:
            return u"HKEY_CLASSES_ROOT\\";
        case 0x80000001u:
            return u"HKEY_CURRENT_USER\\";
        case 0x80000002u:
            return u"HKEY_LOCAL_MACHINE\\";
        case 0x80000003u:
            return u"HKEY_USERS\\";
        case 0x80000005u:
            return u"HKEY_CURRENT_CONFIG\\";
        default:
            return {};
    }
}

bool startsLikeDrivePath(Units text) noexcept {
    if (text.size() < 3) return false;
    const char16_t first = asciiUpper(text[0]);
    return ((first >= u'A' && first <= u'Z') || first == u',') && text[1] == u':' && text[2] == u'\\';
}

void appendKeyLine(std::u16string& out, uint32_t hKey, Units keyPath) {
    out += u'[';
    out += rootName(hKey);
    out += keyPath;
    out += u"]\r\n";
}

void appendValueLine(std::u16string& out, const RegEntry& entry) {
    if (entry.name.empty()) {
        out += u'@';
    } else {
        out += u'"';
        out += entry.name;
        out += u'"';
    }
    out += u'=';
    switch (entry.kind) {
        case DataKind::text:
            out += u'"';
            if (startsLikeDrivePath(entry.text)) {
                for (char16_t c : entry.text) {
                    out += c;
                    if (c == u'\\') out += c;
                }
            } else {
                out += entry.text;
            }
            out += u'"';
            break;
        case DataKind::number: {
            out += u"dword:";
            const auto bits = static_cast<uint32_t>(entry.number);
            for (int shift = 28; shift >= 0; shift -= 4)
                out += kHexDigits[(bits >> shift) & 0xF];
            break;
        }
        case DataKind::bytes:
            out += u"hex:";
            for (size_t i = 0; i < entry.bytes.size(); ++i) {
                if (i) out += u',';
                out += kHexDigits[entry.bytes[i] >> 4];
                out += kHexDigits[entry.bytes[i] & 0xF];
            }
            break;
        case DataKind::none:
            break;
    }
    out += u"\r\n";
}

bool holdsRegHeader(std::string_view fileBytes) noexcept {
    constexpr std::string_view word = "REGEDIT4";
    auto upper = [](char c) { return c >= 'a' && c <= 'z' ? char(c - 32) : c; };
    return std::search(fileBytes.begin(), fileBytes.end(), word.begin(), word.end(),
                       [&](char a, char b) { return upper(a) == b; }) != fileBytes.end();
}

}  // namespace lark::registry
