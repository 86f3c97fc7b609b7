// The words of a version resource and the 16-bit word helpers they rest on, value by value.
#include "sysinfo/version_text.hpp"
#include "text/words.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

using namespace lark::sysinfo;
using namespace lark::text;

namespace {

TEST(Words, SignedWordsAtTheirBoundaries) {
    for (auto [v, low] : {std::pair{300, 44}, {-1, 255}, {256, 0}})
        EXPECT_EQ(low, lowByte(v)) << v;
    // value, low word, high word
    const std::array<std::array<int32_t, 3>, 6> words = {{{65537, 1, 1},
                                                          {-65536, 0, -1},
                                                          {65535, -1, 0},
                                                          {32767, 32767, 0},
                                                          {32768, -32768, 0},
                                                          {INT32_MIN, 0, -32768}}};
    for (const auto& [v, lo, hi] : words) {
        EXPECT_EQ(lo, loWord(uint32_t(v))) << v;
        EXPECT_EQ(hi, hiWord(uint32_t(v))) << v;
    }
    for (auto [lo, hi, packed] : {std::array{-1, 1, 131071}, {1, -1, -65535}, {0, -32768, INT32_MIN}, {-1, -1, -1}})
        EXPECT_EQ(packed, packWords(int16_t(lo), int16_t(hi))) << lo << ',' << hi;
    for (int32_t v : {0, 1, -1, 65535, 65536, 0x7FFFFFFF, INT32_MIN, 0x12345678})
        EXPECT_EQ(v, packWords(loWord(uint32_t(v)), hiWord(uint32_t(v)))) << v;
}

TEST(VersionText, FourPartVersionsWithSignedComponents) {
    EXPECT_EQ(u"1.2.3.4", fourPartVersion(0x00010002, 0x00030004));
    EXPECT_EQ(u"2010.0.0.97", fourPartVersion(2010u << 16, 97));
    EXPECT_EQ(u"-25536.-1.32767.-32768", fourPartVersion((40000u << 16) | 65535, (32767u << 16) | 32768));
    EXPECT_EQ(u"0.0.0.0", fourPartVersion(0, 0));
}

TEST(VersionText, BuildFlagsInTheirOrderWithTrailingBlanks) {
    EXPECT_EQ(u"", buildFlagsText(0));
    EXPECT_EQ(u"Debug SpecialBuild ", buildFlagsText(0x21));
    EXPECT_EQ(u"Debug Prerelease ", buildFlagsText(0x3));
    EXPECT_EQ(u"Debug Prerelease Patched PrivateBuild InfoInferred SpecialBuild ", buildFlagsText(0x3F));
    EXPECT_EQ(u"Patched ", buildFlagsText(0xFFFFFFC4)) << "bits above 0x20 have no word";
}

TEST(VersionText, EnvironmentFromBothWords) {
    const std::pair<uint32_t, std::u16string_view> cases[] = {
        {0x10001, u"Windows (16-bit) under MS-DOS"},
        {0x4, u"Windows (32-bit)"},
        {0x40004, u"Windows (32-bit) under Windows-NT"},
        {0x40000, u" under Windows-NT"},
        {0x20002, u"PM (16-bit) under OS/2 (16-bit)"},
        {0x30003, u"PM (32-bit) under OS/2 (32-bit)"},
        {0x50005, u""},
        {0xFFFF0000, u""},
        {0x0000FFFF, u""},
        {0, u""},
    };
    for (const auto& [os, text] : cases)
        EXPECT_EQ(text, environmentText(os)) << std::hex << os;
}

TEST(VersionText, FileTypesWithDriverAndFontSubtypes) {
    // clang-format off
    const std::tuple<uint32_t, uint32_t, std::u16string_view> cases[] = {
        {1, 7, u"Application"}, {2, 0, u"Dynamic Link Library"}, {3, 1, u"Driver:Printer"},
        {3, 2, u"Driver:Keyboard"}, {3, 3, u"Driver:Language"}, {3, 4, u"Driver:Display"}, {3, 5, u"Driver:Mouse"},
        {3, 6, u"Driver:Network"}, {3, 7, u"Driver:System"}, {3, 9, u"Driver:Sound"}, {4, 2, u"Font:Vector"},
        {3, 10, u"Driver:Communications"}, {3, 8, u"Driver:Installable"}, {3, 11, u"Driver"},
        {3, 0, u"Driver"}, {3, 0xFFFFFFFF, u"Driver"}, {4, 1, u"Font:Raster"}, {4, 3, u"Font:TrueType"},
        {4, 4, u"Font"}, {5, 0, u"VXD"}, {7, 0, u"Static Library"}, {0, 1, u"Unknown"}, {6, 1, u"Unknown"},
        {8, 1, u"Unknown"}, {0xFFFFFFFF, 1, u"Unknown"}};
    // clang-format on
    for (const auto& [type, subtype, text] : cases)
        EXPECT_EQ(text, fileTypeText(type, subtype)) << type << '/' << subtype;
}

TEST(VersionText, StringTablePrefixFromTheFirstTranslation) {
    EXPECT_EQ(u"\\StringFileInfo\\040904B0\\", stringTablePrefix(0x04B00409));
    EXPECT_EQ(u"\\StringFileInfo\\0407FDE9\\", stringTablePrefix(0xFDE90407)) << "a code page above 32,767";
    EXPECT_EQ(u"\\StringFileInfo\\00000000\\", stringTablePrefix(0));
    EXPECT_EQ(u"00FF", hexPadded(255, 4));
    EXPECT_EQ(u"BEEF", hexPadded(0xDEADBEEF, 4)) << "cut to its last digits";
    EXPECT_EQ(u"0000000A", hexPadded(10, 8));
}

TEST(VersionText, RecordsAndValuesStayInsideTheirBlock) {
    std::array<std::byte, 64> block{};
    const uint32_t fields[13] = {0xFEEF04BD, 0x10000, 0x10002, 0x30004, 5, 6, 0x3F, 0x21, 0x10001, 3, 11, 0, 0};
    std::memcpy(block.data() + 8, fields, sizeof fields);
    FixedFileInfo whole = fixedFileInfoFrom(insideBlock(block, block.data() + 8, fixedFileInfoSize));
    EXPECT_EQ(0xFEEF04BDu, whole.signature);
    EXPECT_EQ(0x10002u, whole.fileVersionMS);
    EXPECT_EQ(0x21u, whole.fileFlags);
    EXPECT_EQ(11u, whole.fileSubtype);

    // A record that runs past the end of the block keeps only what the block holds.
    std::span<const std::byte> tail = insideBlock(block, block.data() + 40, fixedFileInfoSize);
    EXPECT_EQ(24u, tail.size());
    FixedFileInfo cut = fixedFileInfoFrom(tail);
    EXPECT_EQ(fields[8], cut.signature);
    EXPECT_EQ(0u, cut.fileDateLS);
    EXPECT_TRUE(insideBlock(block, block.data() + 64, 1).empty());
    EXPECT_TRUE(insideBlock(block, reinterpret_cast<const void*>(uintptr_t(block.data()) - 1), 4).empty());
    EXPECT_TRUE(insideBlock(block, nullptr, 4).empty());
    EXPECT_EQ(0u, fixedFileInfoFrom({}).fileVersionMS);

    EXPECT_EQ("Acme", untilNull(std::string_view("Acme\0junk", 9)));
    EXPECT_EQ("", untilNull(std::string_view("\0x", 2)));
    EXPECT_EQ("whole", untilNull("whole"));
}

}  // namespace
