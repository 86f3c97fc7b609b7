// CHTMLHelp's rules: names, version texts and their release tables, the minimum test, the popup's
// font text, the operating-system classes and the long-name walk.
#include "support.hpp"
#include "ui/help_rules.hpp"

#include <map>

using namespace lark::ui;
using lark::test::show;

namespace {

TEST(HelpRules, NamesAndFolders) {
    // clang-format off
    const struct { Units path; bool chm, txt; Units bare, folder, stored; } names[] = {
        {u"C:\\Help\\Lark.CHM", true, false, u"Lark.CHM", u"C:\\Help\\", u"C:\\Help\\Lark.CHM"},
        {u"lark.chm", true, false, u"lark.chm", u"", u"lark.chm"}, {u"chm", true, false, u"chm", u"", u"chm"},
        {u"hm", false, false, u"hm", u"", u"hm"}, {u"a.chm ", false, false, u"a.chm ", u"", u"a.chm "},
        {u"C:\\p\\Pop.Txt", false, true, u"Pop.Txt", u"C:\\p\\", u"C:\\p\\Pop.Txt"},
        {u"C:\\dir\\", false, false, u"", u"C:\\dir\\", u"C:\\dir"}, {u"", false, false, u"", u"", u""},
        {std::u16string_view(u"C:\\x\\\0\0", 7), false, false, std::u16string_view(u"\0\0", 2), u"C:\\x\\", u"C:\\x"}};
    // clang-format on
    EXPECT_EQ(helpTarget(u"C:\\h\\a.chm", u"main"), u"C:\\h\\a.chm>main");
    EXPECT_EQ(helpTarget(u"a.chm", u" side "), u"a.chm> side ");
    EXPECT_EQ(helpTarget(u"a.chm", u"   "), u"a.chm");
    EXPECT_EQ(helpTarget(u"a.chm", u""), u"a.chm");
    for (const auto& n : names) {
        EXPECT_EQ(std::pair(isHelpFileName(n.path), isPopupFileName(n.path)), std::pair(n.chm, n.txt)) << show(n.path);
        EXPECT_EQ(bareName(n.path), n.bare) << show(n.path);
        EXPECT_EQ(folderOf(n.path), n.folder) << show(n.path);
        EXPECT_EQ(storedFolder(n.path), n.stored) << show(n.path);
    }
}

TEST(HelpRules, VersionTextsNamesAndMinimums) {
    // clang-format off
    const struct { uint16_t major, minor, build, revision; Units text; } versions[] = {
        {4, 72, 7290, 0, u"4.72.7290.00"}, {5, 0, 2919, 6307, u"5.00.2919.6307"}, {4, 70, 0, 5, u"4.70.0005"},
        {10, 5, 3, 7, u"10.05.03.07"}, {0, 0, 0, 0, u"0.00.0000"}, {65535, 65535, 1, 65535, u"65535.65535.01.65535"}};
    // clang-format on
    for (const auto& v : versions)
        EXPECT_EQ(componentVersion(v.major, v.minor, v.build, v.revision), v.text) << show(v.text);

    EXPECT_EQ(friendlyName(helpEngineReleases(), u"4.74.8702.00"), u"1.3");
    EXPECT_EQ(friendlyName(helpEngineReleases(), u"4.72.7325.00"), u"1.1a");
    EXPECT_EQ(friendlyName(browserReleases(), u"5.00.2919.6307"), u"5.01");
    EXPECT_EQ(friendlyName(browserReleases(), u"4.70.1300.0000"), u"3.02") << "a row the reader never writes";
    EXPECT_EQ(friendlyName(helpEngineReleases(), u"4.74.8702.0"), u"unknown");
    EXPECT_EQ(friendlyName(browserReleases(), u""), u"unknown");

    // Text against the key, unit by unit: "10" is below "4", a longer text above its start.
    // clang-format off
    const struct { int32_t value; Units version; std::optional<bool> reached; } minimums[] = {
        {16, u"4.74.8702.00", true}, {26, u"4.74.8702.00", true}, {26, u"4.74.8701.99", false},
        {26, u"4.74.8702", true}, {19, u"4.72.8164.00", true}, {19, u"4.72.8164", false}, {24, u"10.0.1.2", false},
        {16, u"", false}, {15, u"4.74.8702.00", {}}, {27, u"4.74.8702.00", {}}, {256, u"5.00.2919.6307", true},
        {274, u"5.00.2919.6307", true}, {275, u"5.00.2919.6307", false}, {270, u"5.00.2717.2000", true},
        {255, u"5.00.2919.6307", {}}, {276, u"9", {}}};
    // clang-format on
    for (const auto& m : minimums) {
        const auto releases = m.value < 256 ? helpEngineReleases() : browserReleases();
        EXPECT_EQ(reachesRelease(releases, m.value, m.version), m.reached) << m.value << " " << show(m.version);
    }
}

TEST(HelpRules, PopupFontSystemClassesAndLongNames) {
    EXPECT_EQ(popupFont(u"", u"", false, false, false), u"Arial, 10, ascii, ");
    EXPECT_EQ(popupFont(u"Tahoma", u"12", true, true, true), u"Tahoma, 12, ascii, Bold Italic Underline");
    EXPECT_EQ(popupFont(u"", u"9", false, true, false), u"Arial, 9, ascii, Italic ");
    PopupStyle style{1, 2, 3, 4, true, true, true, true, u"Tahoma", u"12"};
    EXPECT_EQ(std::pair(style.foreground(), style.background()), std::pair(3u, 4u));
    style.resetAfterShow();
    EXPECT_EQ(style.font(), u"Arial, 10, ascii, Italic Underline");
    EXPECT_EQ(std::pair(style.foreground(), style.customColors), std::pair(0u, true));
    style.customColors = false;
    EXPECT_EQ(style.background(), 0u);

    using lark::sysinfo::VersionRecord;
    // clang-format off
    const struct { VersionRecord v; int osClass; } systems[] = {
        {{4, 0, 1}, 2}, {{4, 10, 1}, 4}, {{4, 90, 1}, 0}, {{3, 51, 2}, 1}, {{4, 0, 2}, 3}, {{5, 1, 2}, 5},
        {{6, 1, 2}, 0}, {{10, 0, 2}, 0}, {{0, 0, 0}, 0}};
    // clang-format on
    for (const auto& s : systems)
        EXPECT_EQ(operatingSystemClass(s.v), s.osClass) << s.v.major << "." << s.v.minor << " on " << s.v.platform;
    EXPECT_FALSE(expandsWithPlatform(3));
    EXPECT_TRUE(expandsWithPlatform(4));

    const std::map<std::u16string, std::u16string> disk = {{u"C:\\PROGRA~1", u"Program Files"},
                                                           {u"C:\\Program Files\\LARKHE~1", u"Lark Help"},
                                                           {u"C:\\Program Files\\Lark Help\\x.dll", u"x.dll"}};
    std::vector<std::u16string> asked;
    const FoundName found = [&](Units soFar) -> std::optional<std::u16string> {
        asked.emplace_back(soFar);
        const auto it = disk.find(std::u16string(soFar));
        return it == disk.end() ? std::nullopt : std::optional(it->second);
    };
    EXPECT_EQ(longNameByComponents(u"\"C:\\PROGRA~1\\LARKHE~1\\x.dll\"", found),
              u"C:\\Program Files\\Lark Help\\x.dll");
    EXPECT_EQ(asked.size(), 3u);
    EXPECT_EQ(longNameByComponents(u"C:\\PROGRA~1\\MISSIN~1\\LARKHE~1", found),
              u"C:\\Program Files\\MISSIN~1\\LARKHE~1");
    EXPECT_EQ(asked.back(), u"C:\\Program Files\\MISSIN~1") << "the walk stops at the first one missing";
    EXPECT_EQ(longNameByComponents(u"LARK~1", found), u"LARK~1");
}

}  // namespace
