// The REGEDIT4 text of SaveRegToFile: a stored value to its line, key lines, and the header test.
#include "registry/reg_text.hpp"

#include <gtest/gtest.h>

using namespace lark::registry;

namespace {

// Latin-1 stands in for the system code page.
std::u16string latin1(std::string_view bytes) {
    std::u16string out;
    for (char c : bytes)
        out += char16_t(static_cast<unsigned char>(c));
    return out;
}

std::string narrow(const std::u16string& text) {
    std::string out;
    for (char16_t c : text)
        out += c < 128 ? char(c) : '?';
    return out;
}

TEST(RegText, StoredValuesBecomeLines) {
    // name, type, data, line. Strings lose their closing NUL, multi-strings the closing pair; only a
    // text that starts like a drive path (a comma passes for the letter) has its backslashes doubled.
    // clang-format off
    const std::tuple<std::u16string, uint32_t, std::vector<uint8_t>, std::string> rows[] = {
        {u"F", kRegSz, {'C', ':', '\\', 'D', '\\', 0}, "\"F\"=\"C:\\\\D\\\\\"\r\n"},
        {u"", kRegSz, {'t', 0}, "@=\"t\"\r\n"}, {u"a", kRegExpandSz, {'%', 'P', '%', '\\', 0}, "\"a\"=\"%P%\\\"\r\n"},
        {u"a", kRegSz, {',', ':', '\\', 0}, "\"a\"=\",:\\\\\"\r\n"},
        {u"a", kRegSz, {'z', ':', '\\', 0}, "\"a\"=\"z:\\\\\"\r\n"},
        {u"a", kRegSz, {'1', ':', '\\', 0}, "\"a\"=\"1:\\\"\r\n"},
        {u"a", kRegSz, {'@', ':', '\\', 0}, "\"a\"=\"@:\\\"\r\n"},
        {u"a", kRegSz, {'C', ':', '/', '\\', 0}, "\"a\"=\"C:/\\\"\r\n"},
        {u"q\"", kRegSz, {'"', 0xE9, 0}, "\"q\"\"=\"\"?\"\r\n"},
        {u"m", kRegMultiSz, {'a', 0, 'b', 0, 0}, std::string("\"m\"=\"a\0b\"\r\n", 11)},
        {u"m", kRegMultiSz, {0}, "\"m\"=\"\"\r\n"}, {u"s", kRegSz, {}, "\"s\"=\"\"\r\n"},
        {u"n", kRegDword, {0x78, 0x56, 0x34, 0x12, 0x9A}, "\"n\"=dword:12345678\r\n"},  // the first four bytes
        {u"n", kRegDword, {255, 255, 255, 255}, "\"n\"=dword:FFFFFFFF\r\n"},
        {u"n", kRegDword, {1, 2}, "\"n\"=dword:00000201\r\n"},
        {u"b", kRegBinary, {0, 10, 171, 255}, "\"b\"=hex:00,0A,AB,FF\r\n"}, {u"b", kRegBinary, {}, "\"b\"=hex:\r\n"},
        {u"x", kRegNone, {1, 2}, "\"x\"=\r\n"}, {u"x", 11, {1, 2, 3, 4, 5, 6, 7, 8}, "\"x\"=\r\n"}};
    // clang-format on
    for (const auto& [name, type, data, line] : rows) {
        std::u16string out;
        appendValueLine(out, regEntry(name, type, data, latin1));
        EXPECT_EQ(narrow(out), line) << narrow(name) << " of type " << type;
    }
    EXPECT_EQ(regEntry(u"s", kRegSz, std::vector<uint8_t>{0xE9, 0}, latin1).text, u"\u00e9");
}

TEST(RegText, KeyLinesAndTheHeader) {
    // clang-format off
    const std::pair<uint32_t, const char*> roots[] = {{0x80000000u, "[HKEY_CLASSES_ROOT\\K]\r\n"},
        {0x80000001u, "[HKEY_CURRENT_USER\\K]\r\n"}, {0x80000002u, "[HKEY_LOCAL_MACHINE\\K]\r\n"},
        {0x80000003u, "[HKEY_USERS\\K]\r\n"}, {0x80000005u, "[HKEY_CURRENT_CONFIG\\K]\r\n"}, {0x80000004u, "[K]\r\n"},
        {0x1234u, "[K]\r\n"}};
    const std::pair<std::string, bool> files[] = {{"junk\r\nregEdit4 somewhere", true},
        {std::string("\0\0REGEDIT4", 10), true}, {"REGEDIT", false}, {"Windows Registry Editor Version 5.00", false}};
    // clang-format on
    for (const auto& [root, line] : roots) {
        std::u16string out;
        appendKeyLine(out, root, u"K");
        EXPECT_EQ(narrow(out), line) << std::hex << root;
    }
    for (const auto& [bytes, holds] : files)
        EXPECT_EQ(holdsRegHeader(bytes), holds) << bytes;
    EXPECT_EQ(kRegHeader, u"REGEDIT4\r\n\r\n");
}

}  // namespace
