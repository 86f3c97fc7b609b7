// File naming and safety rules by row; units over 127 with a separator, dot or letter as low byte tell low-byte rules.
#include <set>

#include "files/file_operations.hpp"
#include "files/path_names.hpp"
#include "files/unique_names.hpp"
#include "support.hpp"

using namespace lark::files;
using namespace lark::test;

namespace {

// Bytes as Latin-1, except 0x80, which stands for a code page with the euro sign there.
std::optional<char16_t> latin1(uint8_t byte) { return byte == 0x80 ? u'\x20AC' : char16_t(byte); }
// A code page without a single character for the bytes from 0x80 up (lone DBCS lead bytes).
std::optional<char16_t> asciiOnly(uint8_t byte) { return byte < 0x80 ? std::optional<char16_t>(byte) : std::nullopt; }

u16string nul(const char16_t* text, size_t length) { return u16string(text, length); }
u16string repeat(size_t count, char16_t unit) { return u16string(count, unit); }

// Rows of input and result; a rule that answers yes or no gives "yes" or "no".
u16string said(bool yes) { return yes ? u"yes" : u"no"; }
u16string said(Units text) { return u16string(text); }

#define ROWS(rule, ...) expectRows(#rule, rule, __VA_ARGS__)
template <class Rule>
void expectRows(const char* rule, Rule apply, std::initializer_list<std::pair<u16string, u16string>> rows) {
    for (const auto& [in, out] : rows)
        EXPECT_EQ(said(apply(in)), out) << rule << '(' << show(in) << ')';
}

// U+015C has the low byte of a backslash, U+012E that of a dot, U+013A that of a colon, U+017E that
// of a tilde; U+20AC is above 255, where the searches from the end give up.
TEST(PathNames, SplittingJoiningUrlsAndFileNames) {
    const u16string favorites = u"C:\\u\\Favorites\\", documents = u"C:\\u\\Documents\\", desktop = u"C:\\u\\Desktop\\",
                    temporary = u"C:\\u\\AppData\\Local\\Temp\\";
    const DisplayFolders folders{favorites, documents, desktop, temporary};
    // clang-format off
    ROWS(AppendPathSeparator, {{u"", u"\\"}, {u"C:\\a/", u"C:\\a/\\"}, {u"C:\\a\\", u"C:\\a\\"}});
    ROWS(FileNameFromPath, {{u"C:\\a\\", u""}, {u"a.txt", u""}, {u"C:/x\\b", u"b"}, {u"C:\\a\u015Cb", u"a\u015Cb"}});
    ROWS(PathFromFullPath, {{u"C:\\a\\b.txt", u"C:\\a\\"}, {u"b.txt", u""}, {u"C:/a/b", u""}});
    ROWS(PathWithoutExtension, {{u"C:\\a.b\\c", u"C:\\a.b\\c"}, {u"b.tar.gz", u"b.tar"},
        {u"C:\\a\\.profile", u"C:\\a\\"}, {u"a\u012Eb", u"a\u012Eb"}});
    ROWS(ExtensionFromPath, {{u"C:\\a\\b.txt", u".txt"}, {u"C:\\a.b\\c", u""}, {u"C:\\a\\b.", u"."}});
    ROWS(GetParentFolder, {{u"C:\\a\\b", u"C:\\a"}, {u"C:\\a\\b\\", u"C:\\a\\"}, {u"C:\\", u""}, {u"readme.txt", u""},
        {u"", u""}, {u"\\\\", u"\\"}, {u"C:/a\\b", u"C:/a"}, {u"C:\\a\\\x20AC", u""}, {u"C:\\a\\\x20AC\\", u""},
        {u"C:\\\x20AC\\b", u"C:\\\x20AC"}, {u"C:\\a\\\x00FF", u"C:\\a"}});
    ROWS(GetBaseName, {{u"C:\\a\\b.tar.gz", u"b.tar"}, {u"C:\\a\\b.c\\", u"C:\\a\\b"}, {u"C:\\a.b\\c\\", u"C:\\a.b\\c"},
        {u"readme.txt", u""}, {u"C:\\a\\.txt", u""}, {u"\\", u""}, {u"C:\\a\\b\x20AC.txt", u""},
        {u"C:\\a\\\x20AC\\", u"C:\\a\\\x20AC"}});
    ROWS(GetDriveName, {{u"C:\\x", u"C"}, {u"c:", u"c"}, {u"a\\b:c", u""}, {u"C", u""}, {u"x\x013A", u"x"}});
    ROWS(BeforeFirstNul, {{nul(u"ab\x0100\0c", 5), u"ab\x0100"}, {u"abc", u"abc"}});
    ROWS(BeforeFirstLowNul, {{u"ab\u0100c", u"ab"}, {u"abc", u"abc"}});
    ROWS(EndsWithSeparator, {{u"C:\\", u"yes"}, {u"C:/", u"no"}, {u"", u"no"}});
    ROWS(HasShortNameMarker, {{u"C:\\PROGRA~1", u"yes"}, {u"C:\\x\x017E", u"no"}});
    expectRows("DriveListContains", [](Units path) { return DriveListContains(nul(u"A:\\\0C:\\\0\0\0", 10), path); }, {
        {u"c:\\", u"yes"}, {u"C", u"yes"}, {u"D", u"no"}, {u"C:\\Windows", u"no"}, {u"", u"no"}});
    const std::tuple<Units, Units, Units> joins[] = {{u"C:\\a", u"b", u"C:\\a\\b\\"},
        {u"C:\\a\\", u"\\b", u"C:\\a\\b\\"}, {u"C:\\a", u"", u"C:\\a\\"}, {u"", u"/b", u"\\b\\"},
        {u"C:/a/", u"/b/", u"C:/a/b/"}, {u"C:\\a", u"\\\\b", u"C:\\a\\\\b\\"}};
    // A '%' first leaves the text as it is; a decoded '%' is decoded again; no digit reads as 0.
    expectRows("decode", [](Units s) { return FixURISpecialCharacters(s, latin1); }, {{u"a%20b%41", u"a bA"},
        {u"%20a%20", u"%20a%20"}, {u"a%252541", u"aA"}, {u"a%25zz", nul(u"a\0", 2)}, {u"a%4zz", nul(u"a\x04z", 3)},
        {u"a%", nul(u"a\0", 2)}, {u"a%F", u"a\x0F"}, {u"a%aB", u"a\xAB"}, {u"a%80", u"a\x20AC"},
        {nul(u"\0%41", 4), nul(u"\0A", 2)}, {u"x\u012541", u"x\u012541"},
        {u"x%" + repeat(20000, u'%'), u'x' + repeat(6667, 0)}});
    expectRows("FixFileProtocol", [](Units url) { return FixFileProtocol(url, latin1).value_or(u"-"); },
        {{u"FILE:///C:/My%20Files/a.txt", u"C:\\My Files\\a.txt"}, {u"file://server/share", u"server\\share"},
        {u"file:////x", u"\\x"}, {u"file://", u""}, {u"file:/x", u"-"}, {u"x file://y", u"-"},
        {u"fil\u0165://y", u"y"}});
    // A byte without a character stops the decoding; slashes are replaced before it; long paths in pieces.
    const std::pair<u16string, u16string> more[] = {
        {FixURISpecialCharacters(u"a%20b%E9c%20", asciiOnly), u"a b%E9c%20"},
        {FixURISpecialCharacters(u"a%25FF", asciiOnly), u"a%FF"}, {FixURIPath(u"a%2Fb/c", latin1), u"a/b\\c"},
        {FixURIPath(repeat(32000, u'/'), latin1), repeat(32000, u'\\')}};
    // Each of the 18 by its low byte, whole or under a high byte (U+013A, U+0100 and U+3000).
    ROWS(IsValidFileName, {{u" a b ", u"yes"}, {repeat(259, u'n'), u"yes"}, {u"\u001Fa", u"yes"},
        {u"a\x0141\x00E9", u"yes"}, {u"", u"no"}, {repeat(260, u'n'), u"no"}, {nul(u"a\0b", 3), u"no"},
        {u"a\x0100", u"no"}, {u"a\x3000", u"no"}, {u"a\x013A", u"no"}});
    for (char16_t bad : u16string(u"\\/:*?\"<>|\r\n\t\v\f\b", 15))
        EXPECT_FALSE(IsValidFileName(u16string(u"ab") + bad)) << int(bad);
    ROWS(RepairFileName, {{u"  a:b  ", u"a_b"}, {u"   ", u"_"}, {u"", u"_"}, {u"\\/:*?\"<>|", u"_________"},
        {nul(u"a\0b\u001Fc\r\n\t\v\f\b", 11), u"a_b_c______"}, {u"\t a \n", u"_ a _"},
        {u"a\x8000\uFFFFb", u"a__b"}, {u"a\x7FFF\x0100", u"a\x7FFF\x0100"},  // signed codes below 32, exact units only
        {u"  " + repeat(300, u'n'), repeat(259, u'n')}, {repeat(32000, u':'), repeat(259, u'_')}});
    expectRows("BeautifyPath", [&](Units p) { return BeautifyPath(p, folders); }, {
        {documents + u"a\\b", u"My Documents\\a\\b"}, {u"c:\\U\\documents", u"My Documents"},
        {favorites + u"x.url", u"Favorites\\x.url"}, {u"C:\\u\\Desktop", u"Desktop"},
        {temporary + u"t\\x\\", u"Temporary\\t\\x"}, {temporary, u"Temporary"}, {u"D:\\x\\", u"D:\\x"},
        {u"C:\\u\\Documents2", u"C:\\u\\Documents2"}, {u"\\", u""}});
    expectRows("UnBeautifyPath", [&](Units p) { return UnBeautifyPath(p, folders); }, {
        {u"my documents\\a", documents + u"a"}, {u"Documents\\a", documents + u"a"}, {u"DESKTOP\\", desktop},
        {u"temporary", temporary}, {u"Favorites\\x\\y", favorites + u"x\\y"}, {u"x\\Desktop", u"x\\Desktop"},
        {u"\\", u"\\"}, {u"D\x0145sktop", u"D\x0145sktop"}});  // not a low-byte comparison
    // clang-format on
    for (const auto& [path, folder, joined] : joins)
        EXPECT_EQ(ConcatenatePath(path, folder), joined) << show(path);
    for (const auto& [got, expected] : more)
        EXPECT_EQ(got, expected);
    EXPECT_EQ(raised([] { GetParentFolder(u"\\"); }).number, 5);  // a lone separator asks for start 0
    // Favorites is tested first even where it lies inside Documents; unknown folders match nothing.
    EXPECT_EQ(BeautifyPath(documents + u"F\\f", {documents + u"F\\", documents, desktop, temporary}), u"Favorites\\f");
    EXPECT_EQ(BeautifyPath(u"C:\\x", DisplayFolders{}), u"C:\\x");
}

TEST(FileNames, NumberedStampedRandomAndDeletable) {
    const auto contains = [](Units text, Units part) { return text.find(part) != Units::npos; };
    EXPECT_EQ(DateStamp(4, u"Dec", 2026) + TimeStamp(0, 5, 9), u"04Dec2026000509");
    EXPECT_EQ(TimeStampedName(u"C:\\l\\a_04Dec2026.log", u"153012"), u"C:\\l\\a_04Dec2026_153012.log");
    // The counter goes before the first dot of the last component, or at the end.
    // clang-format off
    expectRows("third variant", [](Units base) { return NumberedVariant(base, NumberInsertionPoint(base), 3); }, {
        {u"C:\\t\\r.tar.gz", u"C:\\t\\r3.tar.gz"}, {u"C:\\a.b\\c", u"C:\\a.b\\c3"}, {u"\\n.txt", u"\\n.txt3"},
        {u"C:\\t\\", u"C:\\t\\3"}, {u"C:\\t\\.p", u"C:\\t\\3.p"}, {u"n.txt", u"n.txt3"}});
    // r * 65536 rounded half to even, 4 digits at least (rounding up past FFFF keeps all 5).
    for (auto [r, hex] : {std::pair{0.0, u"0000"}, {0x4F0A / 65536.0, u"4F0A"}, {2.5 / 65536, u"0002"},
             {3.5 / 65536, u"0004"}, {0.99999999, u"10000"}})
        EXPECT_EQ(RandomHexDigits(r), hex) << r;
    // A name that holds the stamp already is its own first candidate; only the file name counts.
    expectRows("DateStampedName", [&](Units path) { return DateStampedName(path, u"04Dec2026", contains); }, {
        {u"C:\\l\\a.log", u"C:\\l\\a_04Dec2026.log"}, {u"C:\\l.d\\a", u"C:\\l.d\\a_04Dec2026"},
        {u"C:\\l\\a_04Dec2026.log", u"C:\\l\\a_04Dec2026.log"}, {u"C:\\04Dec2026\\a", u"C:\\04Dec2026\\a_04Dec2026"}});
    ROWS(NamesOneEntryBelowRoot, {{u"C:\\a", u"yes"}, {u"c:\\a\\b.txt", u"yes"}, {u"\\\\server\\share\\x", u"yes"},
        {u"C:\\.profile", u"yes"}, {u"C:\\" + repeat(256, u'a'), u"yes"}, {u"", u"no"}, {u"C:\\", u"no"},
        {u"C:\\/", u"no"}, {u"\\\\server\\share\\/. ", u"no"}, {u"C:a", u"no"}, {u"\\a", u"no"},
        {u"C:\\\\\\", u"no"}, {u"C:\\.", u"no"}, {u"C:\\..\\", u"no"},
        {u"C:\\*.*", u"no"}, {u"C:\\a\\b?", u"no"}, {u"\\\\server\\share", u"no"}, {u"\\\\server\\share\\", u"no"},
        {u"\\\\\\share\\x", u"no"}, {u"\\\\server\\\\x", u"no"}, {u"C:/a", u"no"},
        {u"C:\\" + repeat(257, u'a'), u"no"}});
    ROWS(IsDriveRelative, {{u"C:", u"yes"}, {u"c:x", u"yes"}, {u"C:\\", u"no"}, {u"x", u"no"}, {u"1:", u"no"},
        {u"[:", u"no"}, {u"{:", u"no"}});
    ROWS(HasDotComponent, {{u".", u"yes"}, {u"C:\\a\\..", u"yes"}, {u"a\\.\\b", u"yes"}, {u"..\\x", u"yes"},
        {u"C:\\a/./b", u"yes"}, {u"", u"no"}, {u".profile", u"no"}, {u"C:\\a\\...", u"no"}, {u"C:\\a..\\b", u"no"}});
    ROWS(WithoutTrailingSeparator, {{u"C:\\a\\", u"C:\\a"}, {u"C:\\a\\\\", u"C:\\a\\"}, {u"", u""}});
    // clang-format on
    EXPECT_EQ(RandomTemporaryName(0x4F0A / 65536.0, u"txt"), u"~RD4F0Atxt");  // the extension as given
    std::set<u16string> taken = {u"C:\\b.txt", u"C:\\b2.txt"};
    const auto exists = [&](const u16string& path) { return taken.count(path) != 0; };
    EXPECT_EQ(UniqueFilePath(u"C:\\free.txt", exists), u"C:\\free.txt");
    EXPECT_EQ(UniqueFilePath(u"C:\\b.txt", exists), u"C:\\b1.txt");  // counting starts at 1, whatever comes later
    for (int n = 1; n <= 298; ++n)
        taken.insert(NumberedVariant(u"C:\\b.txt", 5, n));
    EXPECT_EQ(UniqueFilePath(u"C:\\b.txt", exists), u"C:\\b299.txt");
    taken.insert(u"C:\\b299.txt");
    const lark::Error e = raised([&] { UniqueFilePath(u"C:\\b.txt", exists); });
    EXPECT_EQ(std::pair(e.number, e.description), std::pair(99, u16string()));
    // A thousand draws in [0, 1) give almost as many names, and another seed other numbers.
    PseudoRandom a, c;
    a.seed(12345), c.seed(54321);
    std::set<u16string> names;
    for (int i = 0; i < 1000; ++i) {
        const double r = a.next();
        ASSERT_TRUE(r >= 0.0 && r < 1.0) << r;
        names.insert(RandomHexDigits(r));
    }
    EXPECT_GT(names.size(), 950u);
    EXPECT_NE(a.next(), c.next());
}

}  // namespace
