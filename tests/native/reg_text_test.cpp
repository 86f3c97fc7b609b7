// The REGEDIT4 text of SaveRegToFile: a stored value to its line, key lines, and the header test.
#include "registry/reg_text.hpp"

#include "support.hpp"

using namespace lark::registry;
using namespace lark::test;

namespace {

// Latin-1 stands in for the system code page.
u16string latin1(std::string_view bytes) {
    const auto* first = reinterpret_cast<const unsigned char*>(bytes.data());
    return {first, first + bytes.size()};
}

TEST(RegText, ValueLinesKeyLinesAndTheHeader) {
    // name, type, data, line. Strings lose their closing NUL, multi-strings the closing pair; only a
    // text that starts like a drive path (a comma passes for the letter) has its backslashes doubled.
    // clang-format off
    const std::tuple<u16string, uint32_t, std::vector<uint8_t>, u16string> rows[] = {
        {u"F", kRegSz, {'C', ':', '\\', 'D', '\\', 0}, u"\"F\"=\"C:\\\\D\\\\\"\r\n"},
        {u"", kRegSz, {'t', 0}, u"@=\"t\"\r\n"}, {u"a", kRegExpandSz, {'%', 'P', '%', '\\', 0}, u"\"a\"=\"%P%\\\"\r\n"},
        {u"a", kRegSz, {',', ':', '\\', 0}, u"\"a\"=\",:\\\\\"\r\n"},
        {u"a", kRegSz, {'z', ':', '\\', 0}, u"\"a\"=\"z:\\\\\"\r\n"},
        {u"a", kRegSz, {'@', ':', '\\', 0}, u"\"a\"=\"@:\\\"\r\n"},
        {u"a", kRegSz, {'C', ':', '/', '\\', 0}, u"\"a\"=\"C:/\\\"\r\n"},
        {u"q\"", kRegSz, {'"', 0xE9, 0}, u"\"q\"\"=\"\"\u00e9\"\r\n"},
        {u"m", kRegMultiSz, {'a', 0, 'b', 0, 0}, u16string(u"\"m\"=\"a\0b\"\r\n", 11)},
        {u"m", kRegMultiSz, {0}, u"\"m\"=\"\"\r\n"}, {u"s", kRegSz, {}, u"\"s\"=\"\"\r\n"},
        {u"n", kRegDword, {0x78, 0x56, 0x34, 0x12, 0x9A}, u"\"n\"=dword:12345678\r\n"},  // the first four bytes
        {u"n", kRegDword, {255, 255, 255, 255}, u"\"n\"=dword:FFFFFFFF\r\n"},
        {u"n", kRegDword, {1, 2}, u"\"n\"=dword:00000201\r\n"},
        {u"b", kRegBinary, {0, 10, 171, 255}, u"\"b\"=hex:00,0A,AB,FF\r\n"}, {u"b", kRegBinary, {}, u"\"b\"=hex:\r\n"},
        {u"x", kRegNone, {1, 2}, u"\"x\"=\r\n"}, {u"x", 11, {1, 2, 3, 4, 5, 6, 7, 8}, u"\"x\"=\r\n"}};
    const std::pair<uint32_t, u16string> roots[] = {{0x80000000u, u"[HKEY_CLASSES_ROOT\\K]"},
        {0x80000001u, u"[HKEY_CURRENT_USER\\K]"}, {0x80000002u, u"[HKEY_LOCAL_MACHINE\\K]"},
        {0x80000003u, u"[HKEY_USERS\\K]"}, {0x80000005u, u"[HKEY_CURRENT_CONFIG\\K]"}, {0x80000004u, u"[K]"}};
    // clang-format on
    for (const auto& [name, type, data, line] : rows) {
        u16string out;
        appendValueLine(out, regEntry(name, type, data, latin1));
        EXPECT_EQ(out, line) << show(name) << " of type " << type;
    }
    for (const auto& [root, line] : roots) {
        u16string out;
        appendKeyLine(out, root, u"K");
        EXPECT_EQ(out, line + u"\r\n") << std::hex << root;
    }
    // The word in any case and anywhere, NULs before it or not; the later header is not this one.
    EXPECT_TRUE(holdsRegHeader("junk\r\nregEdit4 somewhere") && holdsRegHeader(std::string_view("\0\0REGEDIT4", 10)));
    EXPECT_FALSE(holdsRegHeader("REGEDIT") || holdsRegHeader("Windows Registry Editor Version 5.00"));
}

}  // namespace
