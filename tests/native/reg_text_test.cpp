#include "registry/reg_text.hpp"

#include <gtest/gtest.h>

#include <string>

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

std::string lineOf(const RegEntry& entry) {
    std::u16string out;
    appendValueLine(out, entry);
    return narrow(out);
}

RegEntry entryOf(const char* name, uint32_t type, std::initializer_list<uint8_t> data) {
    const std::vector<uint8_t> bytes(data);
    std::u16string n;
    for (const char* p = name; *p; ++p)
        n += char16_t(*p);
    return regEntry(n, type, bytes, latin1);
}

RegEntry text(const char16_t* name, const char16_t* value) {
    RegEntry e;
    e.name = name;
    e.kind = DataKind::text;
    e.text = value;
    return e;
}

TEST(RegText, ValueLinesByKind) {
    EXPECT_EQ("\"Folder\"=\"C:\\\\Data\\\\In\"\r\n", lineOf(text(u"Folder", u"C:\\Data\\In")));
    EXPECT_EQ("@=\"text\"\r\n", lineOf(text(u"", u"text")));
    // Only texts that begin like a drive path have their backslashes doubled; quotes stay as
    // they are and names are never escaped.
    EXPECT_EQ("\"a\"=\"%SystemRoot%\\x\"\r\n", lineOf(text(u"a", u"%SystemRoot%\\x")));
    EXPECT_EQ("\"a\"=\",:\\\\x\"\r\n", lineOf(text(u"a", u",:\\x")));
    EXPECT_EQ("\"a\"=\"z:\\\\\"\r\n", lineOf(text(u"a", u"z:\\")));
    EXPECT_EQ("\"a\"=\"1:\\x\"\r\n", lineOf(text(u"a", u"1:\\x")));
    EXPECT_EQ("\"a\"=\"C:/x\\y\"\r\n", lineOf(text(u"a", u"C:/x\\y")));
    EXPECT_EQ("\"q\"uote\"=\"say \"hi\"\"\r\n", lineOf(text(u"q\"uote", u"say \"hi\"")));

    EXPECT_EQ("\"Count\"=dword:0000000A\r\n", lineOf(entryOf("Count", kRegDword, {10, 0, 0, 0})));
    EXPECT_EQ("\"n\"=dword:000000FF\r\n", lineOf(entryOf("n", kRegDword, {255, 0, 0, 0})));
    EXPECT_EQ("\"n\"=dword:FFFFFFFF\r\n", lineOf(entryOf("n", kRegDword, {255, 255, 255, 255})));
    EXPECT_EQ("\"n\"=dword:12345678\r\n", lineOf(entryOf("n", kRegDword, {0x78, 0x56, 0x34, 0x12})));
    EXPECT_EQ("\"Raw\"=hex:01,0A,FF\r\n", lineOf(entryOf("Raw", kRegBinary, {1, 10, 255})));
    EXPECT_EQ("\"b\"=hex:00,AB\r\n", lineOf(entryOf("b", kRegBinary, {0, 171})));
    EXPECT_EQ("\"none\"=\r\n", lineOf(entryOf("none", kRegNone, {1, 2})));
    EXPECT_EQ("\"other\"=\r\n", lineOf(entryOf("other", 11, {1, 2, 3, 4, 5, 6, 7, 8})));
}

TEST(RegText, StoredDataBecomeEntries) {
    // Strings lose the closing NUL, multi-strings the closing pair; separators stay.
    EXPECT_EQ(u"abc", entryOf("s", kRegSz, {'a', 'b', 'c', 0}).text);
    EXPECT_EQ(u"%P%", entryOf("e", kRegExpandSz, {'%', 'P', '%', 0}).text);
    EXPECT_EQ(DataKind::text, entryOf("e", kRegExpandSz, {'x', 0}).kind);
    EXPECT_EQ(std::u16string(u"a\0b", 3), entryOf("m", kRegMultiSz, {'a', 0, 'b', 0, 0}).text);
    EXPECT_EQ("\"m\"=\"a" + std::string(1, '\0') + "b\"\r\n", lineOf(entryOf("m", kRegMultiSz, {'a', 0, 'b', 0, 0})));
    // Bytes pass through the caller's decoder (here Latin-1).
    EXPECT_EQ(u"\u00e9", entryOf("s", kRegSz, {0xE9, 0}).text);
    // Data too short for their type: empty text, no bytes, a number from what is there.
    EXPECT_EQ(u"", entryOf("s", kRegSz, {}).text);
    EXPECT_EQ(u"", entryOf("m", kRegMultiSz, {0}).text);
    EXPECT_EQ("\"m\"=\"\"\r\n", lineOf(entryOf("m", kRegMultiSz, {})));
    EXPECT_EQ("\"b\"=hex:\r\n", lineOf(entryOf("b", kRegBinary, {})));
    EXPECT_EQ("\"d\"=dword:00000201\r\n", lineOf(entryOf("d", kRegDword, {1, 2})));
    // Longer data keep only the first four bytes.
    EXPECT_EQ(0x04030201, entryOf("d", kRegDword, {1, 2, 3, 4, 5}).number);
}

TEST(RegText, KeyLinesAndRootNames) {
    const std::pair<uint32_t, const char*> roots[] = {{0x80000000u, "[HKEY_CLASSES_ROOT\\Software\\A]\r\n"},
                                                      {0x80000001u, "[HKEY_CURRENT_USER\\Software\\A]\r\n"},
                                                      {0x80000002u, "[HKEY_LOCAL_MACHINE\\Software\\A]\r\n"},
                                                      {0x80000003u, "[HKEY_USERS\\Software\\A]\r\n"},
                                                      {0x80000005u, "[HKEY_CURRENT_CONFIG\\Software\\A]\r\n"},
                                                      {0x80000004u, "[Software\\A]\r\n"},
                                                      {0x1234u, "[Software\\A]\r\n"}};
    for (const auto& [root, line] : roots) {
        std::u16string out;
        appendKeyLine(out, root, u"Software\\A");
        EXPECT_EQ(line, narrow(out)) << std::hex << root;
    }
    std::u16string out;
    appendKeyLine(out, 0x80000001u, u"");
    EXPECT_EQ("[HKEY_CURRENT_USER\\]\r\n", narrow(out));
}

TEST(RegText, HeaderFoundInAnyLetterCaseAnywhere) {
    EXPECT_TRUE(holdsRegHeader("REGEDIT4\r\n\r\n"));
    EXPECT_TRUE(holdsRegHeader("junk\r\nregEdit4 somewhere"));
    EXPECT_TRUE(holdsRegHeader(std::string("\0\0REGEDIT4", 10)));
    EXPECT_FALSE(holdsRegHeader(""));
    EXPECT_FALSE(holdsRegHeader("REGEDIT"));
    EXPECT_FALSE(holdsRegHeader("Windows Registry Editor Version 5.00"));
    EXPECT_EQ(u"REGEDIT4\r\n\r\n", std::u16string(kRegHeader));
}

}  // namespace
