#include "sysinfo/version_text.hpp"

#include "text/words.hpp"

#include <algorithm>
#include <cstring>

namespace lark::sysinfo {

namespace {

std::u16string ascii(std::string_view text) { return std::u16string(text.begin(), text.end()); }

std::u16string decimal(int16_t value) { return ascii(std::to_string(value)); }

}  // namespace

FixedFileInfo fixedFileInfoFrom(std::span<const std::byte> bytes) noexcept {
    FixedFileInfo info;
    if (!bytes.empty()) std::memcpy(&info, bytes.data(), std::min(bytes.size(), sizeof info));
    return info;
}

std::u16string fourPartVersion(uint32_t ms, uint32_t ls) {
    return decimal(text::hiWord(ms)) + u'.' + decimal(text::loWord(ms)) + u'.' + decimal(text::hiWord(ls)) + u'.' +
           decimal(text::loWord(ls));
}

std::u16string buildFlagsText(uint32_t fileFlags) {
    static constexpr std::u16string_view words[] = {u"Debug ",        u"Prerelease ",   u"Patched ",
                                                    u"PrivateBuild ", u"InfoInferred ", u"SpecialBuild "};
    std::u16string out;
    for (size_t bit = 0; bit < std::size(words); ++bit)
        if (fileFlags & (1u << bit)) out += words[bit];
    return out;
}

std::u16string environmentText(uint32_t fileOS) {
    static constexpr std::u16string_view systems[] = {u"", u"Windows (16-bit)", u"PM (16-bit)", u"PM (32-bit)",
                                                      u"Windows (32-bit)"};
    static constexpr std::u16string_view hosts[] = {u"", u" under MS-DOS", u" under OS/2 (16-bit)",
                                                    u" under OS/2 (32-bit)", u" under Windows-NT"};
    auto pick = [](auto& table, int16_t word) {
        return word > 0 && size_t(word) < std::size(table) ? table[size_t(word)] : std::u16string_view{};
    };
    return std::u16string(pick(systems, text::loWord(fileOS))) + std::u16string(pick(hosts, text::hiWord(fileOS)));
}

std::u16string fileTypeText(uint32_t fileType, uint32_t fileSubtype) {
    static constexpr std::u16string_view drivers[] = {
        u"",         u":Printer", u":Keyboard",    u":Language", u":Display",       u":Mouse",
        u":Network", u":System",  u":Installable", u":Sound",    u":Communications"};
    static constexpr std::u16string_view fonts[] = {u"", u":Raster", u":Vector", u":TrueType"};
    auto subtype = [&](auto& table) {
        return fileSubtype < std::size(table) ? std::u16string(table[fileSubtype]) : std::u16string();
    };
    switch (fileType) {
        case 1:
            return u"Application";
        case 2:
            return u"Dynamic Link Library";
        case 3:
            return u"Driver" + subtype(drivers);
        case 4:
            return u"Font" + subtype(fonts);
        case 5:
            return u"VXD";
        case 7:
            return u"Static Library";
        default:
            return u"Unknown";
    }
}

std::u16string hexPadded(uint32_t value, size_t digits) {
    std::u16string out(digits, u'0');
    for (size_t i = digits; i-- > 0 && value != 0; value >>= 4)
        out[i] = u"0123456789ABCDEF"[value & 0xF];
    return out;
}

std::u16string stringTablePrefix(uint32_t firstTranslation) {
    const auto language = static_cast<uint16_t>(text::loWord(firstTranslation));
    const auto codePage = static_cast<uint16_t>(text::hiWord(firstTranslation));
    return u"\\StringFileInfo\\" + hexPadded(language, 4) + hexPadded(codePage, 4) + u'\\';
}

std::string_view untilNull(std::string_view text) noexcept { return text.substr(0, text.find('\0')); }

std::span<const std::byte> insideBlock(std::span<const std::byte> block, const void* address, size_t length) noexcept {
    const auto begin = reinterpret_cast<uintptr_t>(block.data());
    const auto at = reinterpret_cast<uintptr_t>(address);
    if (!address || at < begin || at >= begin + block.size()) return {};
    const size_t offset = at - begin;
    return block.subspan(offset, std::min(length, block.size() - offset));
}

}  // namespace lark::sysinfo
