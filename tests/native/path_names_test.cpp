#include "files/path_names.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "frame/error.hpp"

using namespace lark::files;
using std::u16string;

namespace {

// Bytes as Latin-1, except 0x80, which stands for a code page with the euro sign there.
std::optional<char16_t> latin1(uint8_t byte) { return byte == 0x80 ? u'\x20AC' : char16_t(byte); }

// A code page without a single character for the bytes from 0x80 up (lone DBCS lead bytes).
std::optional<char16_t> asciiOnly(uint8_t byte) {
    return byte < 0x80 ? std::optional<char16_t>(char16_t(byte)) : std::nullopt;
}

u16string decode(Units s) { return FixURISpecialCharacters(s, latin1); }

u16string nul(const char16_t* text, size_t length) { return u16string(text, length); }
u16string repeat(size_t count, char16_t unit) { return u16string(count, unit); }

// Pairs of input and expected result, checked in order.
using Cases = std::vector<std::pair<u16string, u16string>>;
template <class Rule>
void expectAll(Rule rule, const Cases& cases) {
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(cases[i].second, u16string(rule(cases[i].first))) << "case " << i;
}

const u16string kFavorites = u"C:\\users\\me\\Favorites\\";
const u16string kDocuments = u"C:\\users\\me\\Documents\\";
const u16string kDesktop = u"C:\\users\\me\\Desktop\\";
const u16string kTemporary = u"C:\\users\\me\\AppData\\Local\\Temp\\";
const DisplayFolders kFolders{kFavorites, kDocuments, kDesktop, kTemporary};

TEST(PathNames, SplittingUsesOnlyTheBackslash) {
    expectAll(AppendPathSeparator, {{u"", u"\\"}, {u"C:\\a/", u"C:\\a/\\"}, {u"C:\\a\\", u"C:\\a\\"}});
    expectAll(FileNameFromPath, {{u"C:\\a\\", u""},
                                 {u"a.txt", u""},
                                 {u"C:/x\\b", u"b"},
                                 {u"C:\\a\u015Cb", u"a\u015Cb"}});  // U+015C: a backslash's low byte
    expectAll(PathFromFullPath, {{u"C:\\a\\b.txt", u"C:\\a\\"}, {u"b.txt", u""}, {u"\\", u"\\"}, {u"C:/a/b", u""}});
    expectAll(PathWithoutExtension, {{u"C:\\a.b\\c", u"C:\\a.b\\c"},
                                     {u"C:\\a\\c.txt", u"C:\\a\\c"},
                                     {u"b.tar.gz", u"b.tar"},
                                     {u"C:\\a\\.profile", u"C:\\a\\"}});
    expectAll(ExtensionFromPath, {{u"C:\\a\\b.txt", u".txt"},
                                  {u"C:\\a.b\\c", u""},
                                  {u"C:\\a\\b.", u"."},
                                  {u"b.tar.gz", u".gz"},
                                  {u"C:\\a.b\\", u""}});
}

TEST(PathNames, ConcatenatePathAcceptsBothSeparators) {
    const std::pair<u16string, u16string> joins[] = {{u"C:\\a", u"b"},    {u"C:\\a\\", u"\\b"}, {u"C:\\a", u""},
                                                     {u"", u""},          {u"", u"/b"},         {u"C:/a/", u"/b/"},
                                                     {u"C:\\a", u"\\\\b"}};
    const u16string expected[] = {u"C:\\a\\b\\", u"C:\\a\\b\\", u"C:\\a\\",     u"\\",
                                  u"\\b\\",      u"C:/a/b/",    u"C:\\a\\\\b\\"};  // one separator dropped
    for (size_t i = 0; i < std::size(joins); ++i)
        EXPECT_EQ(expected[i], ConcatenatePath(joins[i].first, joins[i].second)) << "case " << i;
}

TEST(PathNames, PercentDecoding) {
    expectAll(decode, {{u"a%20b%41", u"a bA"},
                       {u"%20a", u"%20a"},  // a '%' at position 1 stops everything
                       {u"%20a%20", u"%20a%20"},
                       {u"a%2541", u"aA"},  // a decoded '%' is decoded again
                       {u"a%252541", u"aA"},
                       {u"a%25zz", nul(u"a\0", 2)},
                       {u"a%zz", nul(u"a\0", 2)},  // no digit reads as 0; both units go
                       {u"a%4zz", nul(u"a\x04z", 3)},
                       {u"a%", nul(u"a\0", 2)},  // an unpaired '%' at the end
                       {u"a%F", u"a\x0F"},
                       {u"a%aB", u"a\xAB"},
                       {u"a%80", u"a\x20AC"},  // through the code page
                       {u"a%20%20b", u"a  b"},
                       {u"", u""},
                       {nul(u"\0%41", 4), nul(u"\0A", 2)},
                       {u"x\u012541", u"x\u012541"}});  // U+0125 is not a '%'
    // A byte without a character stops the decoding; the text so far is the result.
    EXPECT_EQ(u"a b%E9c%20", FixURISpecialCharacters(u"a%20b%E9c%20", asciiOnly));
    EXPECT_EQ(u"a%FF", FixURISpecialCharacters(u"a%25FF", asciiOnly));
}

TEST(PathNames, URIPathsAndTheFileProtocol) {
    EXPECT_EQ(u"C:\\My Files\\a.txt", FixURIPath(u"C:/My%20Files/a.txt", latin1));
    EXPECT_EQ(u"a/b\\c", FixURIPath(u"a%2Fb/c", latin1)) << "slashes are replaced before decoding";
    EXPECT_EQ(repeat(32000, u'\\'), FixURIPath(repeat(32000, u'/'), latin1)) << "beyond lrkReplaceChar's limit";

    const auto local = [](Units url) { return FixFileProtocol(url, latin1).value_or(u"<unchanged>"); };
    expectAll(local, {{u"FILE:///C:/My%20Files/a.txt", u"C:\\My Files\\a.txt"},
                      {u"file://server/share", u"server\\share"},
                      {u"file:////x", u"\\x"},  // only the eighth character is dropped
                      {u"file://", u""},
                      {u"C:/x", u"<unchanged>"},
                      {u"file:/x", u"<unchanged>"},
                      {u"", u"<unchanged>"},
                      {u"x file://y", u"<unchanged>"}});
}

TEST(PathNames, ValidateFileNameChecksLowBytes) {
    for (const u16string& name : {u16string(u"a.txt"), u16string(u" a b "), repeat(259, u'n'),
                                  u16string(u"\u001Fa"),  // not one of the 18
                                  u16string(u"a\x0141\x00E9")})
        EXPECT_TRUE(IsValidFileName(name)) << name.size();
    for (const u16string& name :
         {u16string(u"a:b"), u16string(), repeat(260, u'n'), repeat(32000, u'n'), nul(u"a\0b", 3), repeat(5, u'\0'),
          u16string(u"a\x0100"), u16string(u"a\x3000"),  // multiples of 256 match NUL
          u16string(u"a\x013A")})                        // the low byte of ':'
        EXPECT_FALSE(IsValidFileName(name)) << name.size();
    for (char16_t bad : u16string(u"\\/:*?\"<>|\r\n\t\v\f\b", 15))
        EXPECT_FALSE(IsValidFileName(u16string(u"ab") + bad)) << int(bad);
}

TEST(PathNames, ValidateFileNameRepairs) {
    expectAll(RepairFileName, {{u"  a:b  ", u"a_b"},
                               {u"   ", u"_"},
                               {u"", u"_"},
                               {u"\\/:*?\"<>|", u"_________"},
                               {nul(u"a\0b\u001Fc", 5), u"a_b_c"},
                               {u"a\x8000\uFFFFb", u"a__b"},  // signed 16-bit codes below 32
                               {u"a\x7FFF", u"a\x7FFF"},
                               {u"a\x0100", u"a\x0100"},  // exact characters only
                               {u"\t a \n", u"_ a _"},    // replaced before the trim
                               {repeat(260, u'n'), repeat(259, u'n')},
                               {u"  " + repeat(300, u'n'), repeat(259, u'n')},
                               {repeat(32000, u':'), repeat(259, u'_')}});
}

TEST(PathNames, BeautifyAndUnBeautify) {
    const auto beautify = [](Units p) { return BeautifyPath(p, kFolders); };
    expectAll(beautify, {{kDocuments + u"a\\b.txt", u"My Documents\\a\\b.txt"},
                         {kDocuments, u"My Documents"},
                         {u"c:\\USERS\\me\\documents", u"My Documents"},
                         {kFavorites + u"x.url", u"Favorites\\x.url"},
                         {u"C:\\users\\me\\Desktop", u"Desktop"},
                         {kTemporary, u"Temporary"},
                         {kTemporary + u"t\\x\\", u"Temporary\\t\\x"},
                         {u"D:\\x\\", u"D:\\x"},
                         {u"C:\\users\\me\\Documents2", u"C:\\users\\me\\Documents2"},
                         {u"", u""},
                         {u"\\", u""}});
    // Favorites is tested first even where it lies inside Documents.
    const u16string inside = kDocuments + u"Favorites\\";
    EXPECT_EQ(u"Favorites\\f", BeautifyPath(inside + u"f", {inside, kDocuments, kDesktop, kTemporary}));
    EXPECT_EQ(u"C:\\x", BeautifyPath(u"C:\\x", DisplayFolders{})) << "unknown folders match nothing";

    const auto unbeautify = [](Units p) { return UnBeautifyPath(p, kFolders); };
    expectAll(unbeautify, {{u"my documents\\a.txt", kDocuments + u"a.txt"},
                           {u"Documents\\a.txt", kDocuments + u"a.txt"},
                           {u"Desktop", kDesktop},
                           {u"DESKTOP\\", kDesktop},
                           {u"temporary", kTemporary},
                           {u"Favorites\\x\\y", kFavorites + u"x\\y"},
                           {u"Other\\x", u"Other\\x"},
                           {u"x\\Desktop", u"x\\Desktop"},
                           {u"\\", u"\\"},
                           {u"D\x0145sktop", u"D\x0145sktop"}});  // not a low-byte comparison
    for (const u16string& path : {kDocuments + u"a\\b.txt", kFavorites + u"x", kDesktop + u"d", kTemporary + u"t"})
        EXPECT_EQ(path, unbeautify(beautify(path)));
}

TEST(PathNames, ParentFolderAndBaseName) {
    expectAll(GetParentFolder, {{u"C:\\a\\b", u"C:\\a"},
                                {u"C:\\a", u"C:"},
                                {u"C:\\a\\b\\", u"C:\\a\\"},
                                {u"C:\\a\\", u"C:\\"},
                                {u"C:\\", u""},
                                {u"readme.txt", u""},
                                {u"", u""},
                                {u"\\\\", u"\\"},
                                {u"C:/a\\b", u"C:/a"},
                                // The search from the end gives up at a unit above 255.
                                {u"C:\\a\\\x20AC", u""},
                                {u"C:\\a\\\x20AC\\", u""},
                                {u"C:\\\x20AC\\b", u"C:\\\x20AC"},
                                {u"C:\\a\\\x00FF", u"C:\\a"}});
    try {
        GetParentFolder(u"\\");
        ADD_FAILURE() << "a lone separator asks lrkInstrRev for start 0";
    } catch (const lark::Error& e) {
        EXPECT_EQ(5, e.number);
    }
    expectAll(GetBaseName, {{u"C:\\a\\b.txt", u"b"},
                            {u"C:\\a\\b.tar.gz", u"b.tar"},
                            {u"C:\\a\\b.c\\", u"C:\\a\\b"},
                            {u"C:\\a.b\\c\\", u"C:\\a.b\\c"},
                            {u"readme.txt", u""},
                            {u"C:\\a\\.txt", u""},
                            {u"\\", u""},
                            {u"C:\\a\\b\x20AC.txt", u""},
                            {u"C:\\a\\\x20AC\\", u"C:\\a\\\x20AC"}});
}

TEST(PathNames, DrivesNulsAndShortNames) {
    const u16string roots = nul(u"A:\\\0C:\\\0\0\0", 10);
    for (Units found : {u"c:\\", u"C:", u"C"})
        EXPECT_TRUE(DriveListContains(roots, found));
    for (Units missing : {u"D", u"C:\\Windows", u""})
        EXPECT_FALSE(DriveListContains(roots, missing));

    expectAll(GetDriveName, {{u"C:\\x", u"C"},
                             {u"c:", u"c"},
                             {u"\\\\server\\share", u""},
                             {u"a\\b:c", u""},
                             {u"C", u""},
                             {u":", u""},
                             {u"x\x013A", u"x"}});  // the low byte of ':'

    EXPECT_EQ(u"ab", BeforeFirstLowNul(u"ab\u0100c"));
    EXPECT_EQ(u"abc", BeforeFirstLowNul(u"abc"));
    EXPECT_EQ(u"ab\x0100", BeforeFirstNul(nul(u"ab\x0100\0c", 5)));

    EXPECT_TRUE(HasShortNameMarker(u"C:\\PROGRA~1"));
    EXPECT_FALSE(HasShortNameMarker(u"C:\\x\x017E")) << "U+017E only has the low byte of '~'";
    EXPECT_TRUE(EndsWithSeparator(u"C:\\"));
    EXPECT_FALSE(EndsWithSeparator(u"C:/"));
}

TEST(PathNames, LongAndHostileInput) {
    const u16string huge = repeat(32000, u'a');
    const u16string hugePath = u"C:\\" + huge + u"\\" + huge + u".txt";
    EXPECT_EQ(huge + u".txt", FileNameFromPath(hugePath));
    EXPECT_EQ(huge, GetBaseName(hugePath));
    EXPECT_EQ(u"C:\\" + huge, GetParentFolder(hugePath));
    EXPECT_EQ(hugePath + u"\\", ConcatenatePath(hugePath, u""));

    u16string escapes = u"x", chain = u"x%";
    for (int i = 0; i < 10000; ++i) {
        escapes += u"%41";
        chain += u"25";
    }
    EXPECT_EQ(u16string(u"x") + repeat(10000, u'A'), decode(escapes));
    EXPECT_EQ(nul(u"x\0", 2), decode(chain)) << "each decoded '%' takes the next two digits";
    EXPECT_EQ(repeat(32000, u'%'), decode(repeat(32000, u'%')));
    // Each '%' reads the next two as its (missing) digits; the last one stands alone.
    EXPECT_EQ(u16string(u"a") + repeat(10667, u'\0'), decode(u16string(u"a") + repeat(31999, u'%')));

    const u16string nuls = repeat(5, u'\0');
    EXPECT_EQ(u"", FileNameFromPath(nuls));
    EXPECT_EQ(nuls + u"\\", AppendPathSeparator(nuls));
    EXPECT_EQ(u"_____", RepairFileName(nuls));
}

}  // namespace
