// Which Windows a version record describes, and the words of a version resource, small domains swept whole.
#include <array>
#include <cstring>

#include "support.hpp"
#include "sysinfo/version_rules.hpp"
#include "sysinfo/version_text.hpp"

using namespace lark::sysinfo;

namespace {

// Each value of a small domain in turn, its words joined by "|".
template <class Words>
std::u16string sweep(uint32_t first, uint32_t last, uint32_t step, Words words) {
    std::u16string out;
    for (uint32_t v = first; v <= last; v += step)
        out += words(v) + u"|";
    return out;
}

TEST(Version, EverySystemTheRulesTellApartAndTheWordsOfAResource) {
    // clang-format off
    const struct { const char* system; VersionRecord record; bool xp, w200x, w9x, w98, nt4, longPaths; } rows[] = {
        //  system         major minor platform        XP     200x   9x     98     NT4    long
        {"95 (4.0)",      {4, 0, platformWindows},    false, false, true,  false, false, false},
        {"98 (4.10)",     {4, 10, platformWindows},   false, false, true,  true,  false, false},
        {"Me (4.90)",     {4, 90, platformWindows},   false, false, true,  true,  false, true},
        {"9x 5.0",        {5, 0, platformWindows},    false, false, true,  true,  false, false},
        {"NT 3.51",       {3, 51, platformNT},        false, false, false, false, false, false},
        {"NT 4.0",        {4, 0, platformNT},         false, false, false, false, true,  false},
        {"2000 (5.0)",    {5, 0, platformNT},         false, true,  false, false, false, true},
        {"XP (5.1)",      {5, 1, platformNT},         true,  true,  false, false, false, true},
        {"Vista (6.0)",   {6, 0, platformNT},         false, true,  false, false, false, true},
        {"Win32s",        {3, 10, 0},                 false, false, false, false, false, false}};
    // clang-format on
    for (const auto& r : rows) {
        const bool got[] = {isWindowsXP(r.record), isWindows200x(r.record), isWindows9x(r.record),
                            isWindows98(r.record), isWindowsNT4(r.record),  hasLongPathNames(r.record)};
        EXPECT_EQ(std::to_array(got), (std::array{r.xp, r.w200x, r.w9x, r.w98, r.nt4, r.longPaths})) << r.system;
    }
    int reads = 0;
    VersionOnce once, failed;
    const auto seven = [&] { return ++reads, std::optional(VersionRecord{6, 1, platformNT}); };
    EXPECT_TRUE(isWindowsXP(once.get(seven)) && isWindowsXP(once.get(seven)));
    EXPECT_FALSE(isWindows200x(failed.get([&] { return ++reads, std::optional<VersionRecord>(); })));
    EXPECT_FALSE(isWindows200x(failed.get(seven))) << "a failed read is not repeated";
    EXPECT_EQ(reads, 2);
    EXPECT_EQ(fourPartVersion((40000u << 16) | 65535, (32767u << 16) | 32768), u"-25536.-1.32767.-32768");
    EXPECT_EQ(sweep(0, 6, 1, [](uint32_t bit) { return buildFlagsText(1u << bit); }),
              u"Debug |Prerelease |Patched |PrivateBuild |InfoInferred |SpecialBuild ||");
    EXPECT_EQ(buildFlagsText(0x3F), u"Debug Prerelease Patched PrivateBuild InfoInferred SpecialBuild ");
    EXPECT_EQ(sweep(0, 5, 1, environmentText), u"|Windows (16-bit)|PM (16-bit)|PM (32-bit)|Windows (32-bit)||");
    EXPECT_EQ(sweep(0, 5 << 16, 1 << 16, environmentText),
              u"| under MS-DOS| under OS/2 (16-bit)| under OS/2 (32-bit)| under Windows-NT||");
    EXPECT_EQ(environmentText(0x40004) + environmentText(0xFFFFFFFF), u"Windows (32-bit) under Windows-NT");  // -1, -1
    EXPECT_EQ(
        sweep(0, 8, 1, [](uint32_t type) { return fileTypeText(type, 3); }),
        u"Unknown|Application|Dynamic Link Library|Driver:Language|Font:TrueType|VXD|Unknown|Static Library|Unknown|");
    EXPECT_EQ(sweep(0, 11, 1, [](uint32_t subtype) { return fileTypeText(3, subtype); }),
              u"Driver|Driver:Printer|Driver:Keyboard|Driver:Language|Driver:Display|Driver:Mouse|Driver:Network|"
              u"Driver:System|Driver:Installable|Driver:Sound|Driver:Communications|Driver|");
    EXPECT_EQ(sweep(0, 4, 1, [](uint32_t subtype) { return fileTypeText(4, subtype); }),
              u"Font|Font:Raster|Font:Vector|Font:TrueType|Font|");
    EXPECT_EQ(fileTypeText(3, 0xFFFFFFFF) + fileTypeText(0xFFFFFFFF, 1), u"DriverUnknown");
    EXPECT_EQ(stringTablePrefix(0xFDE90407), u"\\StringFileInfo\\0407FDE9\\");  // a code page above 32,767
    EXPECT_EQ(hexPadded(0xDEADBEEF, 4) + hexPadded(10, 8), u"BEEF0000000A");    // cut to its last digits, padded
    std::array<std::byte, 64> block{};
    const uint32_t fields[13] = {0xFEEF04BD, 0x10000, 0x10002, 0x30004, 5, 6, 0x3F, 0x21, 0x10001, 3, 11, 0, 0};
    std::memcpy(block.data() + 8, fields, sizeof fields);
    const FixedFileInfo whole = fixedFileInfoFrom(insideBlock(block, block.data() + 8, fixedFileInfoSize));
    EXPECT_EQ(std::memcmp(&whole, fields, sizeof fields), 0);
    // A record that runs past the end of the block keeps only what the block holds.
    const std::span<const std::byte> tail = insideBlock(block, block.data() + 40, fixedFileInfoSize);
    const FixedFileInfo cut = fixedFileInfoFrom(tail);
    EXPECT_EQ(std::tuple(tail.size(), cut.signature, cut.fileDateLS), std::tuple(24u, fields[8], 0u));
    EXPECT_TRUE(insideBlock(block, block.data() + 64, 1).empty() && insideBlock(block, nullptr, 4).empty() &&
                insideBlock(block, reinterpret_cast<const void*>(uintptr_t(block.data()) - 1), 4).empty());
    EXPECT_EQ(fixedFileInfoFrom({}).fileVersionMS, 0u);
    EXPECT_TRUE(untilNull({"Acme\0junk", 9}) == "Acme" && untilNull({"\0x", 2}).empty() &&
                untilNull("whole") == "whole");
}

}  // namespace
