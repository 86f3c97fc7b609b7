// The words of a version resource: the four-part version and the hex texts read back into the
// numbers they were made from, the flag words into the bits, the system and file-type words drawn
// from their lists only, and the record and the views of a block kept within the bytes given.
#include "input.hpp"
#include "sysinfo/version_text.hpp"
#include "text/words.hpp"

#include <cstring>
#include <string>

using namespace lark::sysinfo;
using Units = std::u16string_view;

namespace {

std::u16string_view take(std::u16string_view& text, char16_t until) {
    const size_t end = std::min(text.find(until), text.size());
    const std::u16string_view part = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    return part;
}

int64_t plainNumber(std::u16string_view text, int base) {
    FUZZ_CHECK(!text.empty() && text.size() <= 11);
    const std::string ascii(text.begin(), text.end());
    size_t used = 0;
    const int64_t value = std::stoll(ascii, &used, base);
    FUZZ_CHECK(used == ascii.size());
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    lark::fuzz::Input in(data, size);
    const uint32_t ms = in.word(), ls = in.word(), flags = in.word(), os = in.word(), type = in.word();
    const uint32_t subtype = in.byte() % 16 == 0 ? in.word() : in.byte() % 16;
    const size_t digits = in.byte() % 12;
    const int32_t offset = in.position(), length = in.position();
    const std::string_view block = in.bytes();

    const std::u16string versionText = fourPartVersion(ms, ls), flagText = buildFlagsText(flags);
    std::u16string_view version = versionText, flagWords = flagText;
    const int16_t words[] = {lark::text::hiWord(ms), lark::text::loWord(ms), lark::text::hiWord(ls), lark::text::loWord(ls)};
    for (int16_t word : words) FUZZ_CHECK(plainNumber(take(version, u'.'), 10) == word);
    FUZZ_CHECK(version.empty());

    FUZZ_CHECK(flagWords.empty() || flagWords.back() == u' ');
    static constexpr std::u16string_view flagNames[] = {u"Debug", u"Prerelease", u"Patched", u"PrivateBuild", u"InfoInferred", u"SpecialBuild"};
    for (uint32_t bit = 0; bit < std::size(flagNames); ++bit)
        if (flags & (1u << bit)) FUZZ_CHECK(take(flagWords, u' ') == flagNames[bit]);
    FUZZ_CHECK(flagWords.empty());

    // The system word, then what it runs under; each may be missing.
    std::u16string environment = environmentText(os);
    static constexpr std::u16string_view hosts[] = {u" under MS-DOS", u" under OS/2 (16-bit)", u" under OS/2 (32-bit)", u" under Windows-NT"};
    for (std::u16string_view host : hosts)
        if (environment.ends_with(host)) environment.resize(environment.size() - host.size());
    FUZZ_CHECK(Units(u"||Windows (16-bit)|PM (16-bit)|PM (32-bit)|Windows (32-bit)|").find(u"|" + environment + u"|") != Units::npos);
    const std::u16string fileType = fileTypeText(type, subtype);
    FUZZ_CHECK(fileType.starts_with(type == 3 ? u"Driver" : type == 4 ? u"Font" : u"") && fileType.size() <= 36);
    FUZZ_CHECK((type == 3 || type == 4) == (fileType.starts_with(u"Driver") || fileType.starts_with(u"Font")));

    const std::u16string hex = hexPadded(ms, digits);
    FUZZ_CHECK(hex.size() == digits);
    if (digits > 0) FUZZ_CHECK(plainNumber(hex, 16) == (digits >= 8 ? ms : ms & ((1u << 4 * digits) - 1)));
    const std::u16string prefix = stringTablePrefix(ls);
    FUZZ_CHECK(prefix.size() == 25 && prefix.starts_with(u"\\StringFileInfo\\") && prefix.back() == u'\\');
    FUZZ_CHECK(plainNumber(Units(prefix).substr(16, 8), 16) == ((ls & 0xFFFF) << 16 | ls >> 16));

    const std::string_view text = untilNull(block);
    FUZZ_CHECK(text.data() == block.data() && text.find('\0') == std::string_view::npos && (text.size() == block.size() || block[text.size()] == '\0'));

    // The view from an address: empty outside the block, else at most length bytes within it.
    const std::span<const std::byte> bytes(reinterpret_cast<const std::byte*>(block.data()), block.size());
    const auto address = reinterpret_cast<const void*>(reinterpret_cast<uintptr_t>(block.data()) + static_cast<uintptr_t>(int64_t{offset}));
    const std::span<const std::byte> view = insideBlock(bytes, address, static_cast<size_t>(std::max(length, 0)));
    const bool inside = offset >= 0 && static_cast<size_t>(offset) < block.size();
    FUZZ_CHECK(inside ? view.data() == bytes.data() + offset && view.size() == std::min<size_t>(std::max(length, 0), block.size() - offset) : view.empty());
    const FixedFileInfo info = fixedFileInfoFrom(bytes);
    unsigned char expected[fixedFileInfoSize] = {};
    if (!block.empty()) std::memcpy(expected, block.data(), std::min(block.size(), fixedFileInfoSize));
    FUZZ_CHECK(std::memcmp(&info, expected, fixedFileInfoSize) == 0);
    return 0;
}
