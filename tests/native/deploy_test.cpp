// What CDeploy2 makes of registry texts and version numbers, and the report's layout.
#include "support.hpp"
#include "sysinfo/deploy_rules.hpp"

using namespace lark::sysinfo;
using lark::test::show;

namespace {

TEST(DeployRules, NumbersProgIdsAndCommandLines) {
    // clang-format off
    const struct { Units text; std::optional<int32_t> whole, version; } numbers[] = {
        {u"Excel.Sheet.8", {}, 8}, {u"Word.Document.12", {}, 12}, {u" 12 ", 12, {}}, {u"2.5", 2, 5}, {u"3.5", 4, 5},
        {u"-7", -7, {}}, {u"+2147483647", 2147483647, {}}, {u"2147483648", {}, {}}, {u".8", 1, {}},
        {u"Excel.Sheet.", {}, {}}, {u"Excel.Sheet.8x", {}, {}}, {u"", {}, {}}, {u"1e3", {}, {}}, {u"&H10", {}, {}}};
    // clang-format on
    for (const auto& n : numbers)
        EXPECT_EQ(std::pair(wholeNumber(n.text), progIdVersion(n.text)), std::pair(n.whole, n.version)) << show(n.text);
    // clang-format off
    const struct { Units raw, server, program; } commands[] = {
        {u"\"C:\\Program Files\\W.exe\" /n \"%1\"", u"C:\\Program Files\\W.exe", u"C:\\Program Files\\W.exe"},
        {u"notepad.exe %1", u"notepad.exe %1", u"notepad.exe"}, {u"/x/y", u"/x", u"/x/y"}, {u"a b", u"a b", u"a b"},
        {u"\"\" x", u"\" x", u"\"\" x"}, {u"\"open", u"open", u"\"open"}, {u"  padded  ", u"padded", u"  padded  "},
        {u"", u"", u""}};
    // clang-format on
    for (const auto& c : commands)
        EXPECT_EQ(serverProgram(c.raw) + u"|" + commandProgram(c.raw),
                  std::u16string(c.server) + u"|" + std::u16string(c.program))
            << show(c.raw);
}

TEST(DeployRules, BrowserVersionColoursAndTheReport) {
    // clang-format off
    const struct { uint32_t major, minor; double version; } versions[] = {
        {6, 0, 6}, {5, 50, 5.5}, {6, 12, 6.12}, {5, 1, 5.1}, {7, 9, 7.9}, {4, 72, 4.72}, {6, 1000, 6}, {6, 100, 6.1}};
    // clang-format on
    for (const auto& v : versions)
        EXPECT_DOUBLE_EQ(browserVersion(v.major, v.minor), v.version) << v.major << "." << v.minor;

    // clang-format off
    const struct { Units text; const char16_t* rtf; std::optional<int32_t> colour; } colours[] = {
        {u"1,2", nullptr, {}}, {u"1,2,3,4", u"\\red1\\green2\\blue3,4", {}}, {u",,", u"\\red\\green\\blue", {}},
        {u"0,0,32768", u"\\red0\\green0\\blue32768", {}}, {u"-1, 0 ,0", u"\\red-1\\green 0 \\blue0", -1}};
    // clang-format on
    for (const auto& c : colours) {
        const std::optional<ColourParts> parts = colourParts(c.text);
        EXPECT_EQ(parts ? rtfColour(*parts) : u"none", c.rtf ? c.rtf : u"none") << show(c.text);
        EXPECT_EQ(parts ? colourValue(*parts) : std::nullopt, c.colour) << show(c.text);
    }

    EXPECT_EQ(versionLine(u"A_NAME_OF_TWENTY_ONE", u""), u"A_NAME_OF_TWENTY_ONE \r\n");
    std::u16string asked;
    const std::u16string report = runtimeReport([&](Units name) {
        asked += name.substr(0, 2);
        return name == u"SCRRUN.DLL" ? u"5.7" : u"";
    });
    EXPECT_EQ(asked, u"MSMFMSMSSTOLOLCOASCTRSRSSCSHMSSHMSMSMSIGMSCOMSMSMSRIRI") << "27 files in their order";
    EXPECT_NE(report.find(u"         RSRC32.DLL \r\n\r\n          SCRRUN.DLL 5.7\r\n\r\n         SHDOCVW.DLL \r\n"),
              std::u16string::npos);
    EXPECT_EQ(report.size(), 2 * 82 + 27 * 23 + 6 * 2 + 3);  // 27 padded names, 6 group ends, "5.7"
}

}  // namespace
