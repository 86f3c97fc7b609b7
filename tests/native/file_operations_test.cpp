// The portable rules of the file operations: numbered and random names, the generator, the
// date-stamped names of RenameWithDate, and which paths a deleting member may act on.
#include "files/file_operations.hpp"
#include "files/unique_names.hpp"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "frame/error.hpp"

using namespace lark::files;
using std::u16string;

namespace {

// A file system that holds exactly the given paths.
struct Existing {
    std::set<u16string> paths;
    bool operator()(const u16string& path) const { return paths.count(path) != 0; }
};

bool asciiContains(Units text, Units part) { return text.find(part) != Units::npos; }

TEST(UniqueNames, CounterGoesBeforeTheFirstDotOfTheLastComponent) {
    const struct {
        const char16_t* base;
        int32_t point;
        const char16_t* third;
    } cases[] = {
        {u"C:\\tmp\\report.tar.gz", 14, u"C:\\tmp\\report3.tar.gz"},
        {u"C:\\tmp\\folder", 0, u"C:\\tmp\\folder3"},
        {u"C:\\a.b\\c", 0, u"C:\\a.b\\c3"},                // a dot in a folder name does not count
        {u"name.txt", 0, u"name.txt3"},                    // no separator: appended
        {u"\\name.txt", 0, u"\\name.txt3"},                // separator in first place: appended
        {u"C:\\tmp\\", 0, u"C:\\tmp\\3"},                  // nothing after the separator
        {u"C:\\tmp\\.profile", 8, u"C:\\tmp\\3.profile"},  // the dot right after it: inserted there
        {u"", 0, u"3"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.point, NumberInsertionPoint(c.base)) << std::string(c.base, c.base + u16string(c.base).size());
        EXPECT_EQ(c.third, NumberedVariant(c.base, NumberInsertionPoint(c.base), 3));
    }
}

TEST(UniqueNames, FirstFreeVariantUpTo299) {
    Existing fs;
    EXPECT_EQ(u"C:\\a\\b.txt", UniqueFilePath(u"C:\\a\\b.txt", fs)) << "a free path is returned unchanged";
    fs.paths = {u"C:\\a\\b.txt", u"C:\\a\\b1.txt", u"C:\\a\\b3.txt"};
    EXPECT_EQ(u"C:\\a\\b2.txt", UniqueFilePath(u"C:\\a\\b.txt", fs));

    fs.paths = {u"C:\\a\\b.txt"};
    for (int n = 1; n <= 298; ++n)
        fs.paths.insert(NumberedVariant(u"C:\\a\\b.txt", 7, n));
    EXPECT_EQ(u"C:\\a\\b299.txt", UniqueFilePath(u"C:\\a\\b.txt", fs)) << "the last variant offered";

    fs.paths.insert(u"C:\\a\\b299.txt");
    try {
        UniqueFilePath(u"C:\\a\\b.txt", fs);
        ADD_FAILURE() << "all 299 variants taken, yet a name came back";
    } catch (const lark::Error& e) {
        EXPECT_EQ(99, e.number);
        EXPECT_EQ(u"", e.description);
    }
}

TEST(UniqueNames, RandomNamesAndTheGenerator) {
    EXPECT_EQ(u"0000", RandomHexDigits(0.0));
    EXPECT_EQ(u"000A", RandomHexDigits(10.0 / 65536));
    EXPECT_EQ(u"4F0A", RandomHexDigits(0x4F0A / 65536.0));
    EXPECT_EQ(u"0002", RandomHexDigits(2.5 / 65536)) << "half rounds to even";
    EXPECT_EQ(u"0004", RandomHexDigits(3.5 / 65536));
    EXPECT_EQ(u"10000", RandomHexDigits(0.99999999)) << "rounding up past FFFF keeps all digits";
    EXPECT_EQ(u"~RD4F0A.txt", RandomTemporaryName(0x4F0A / 65536.0, u".txt"));
    EXPECT_EQ(u"~RD4F0Atxt", RandomTemporaryName(0x4F0A / 65536.0, u"txt")) << "the extension is taken as given";

    PseudoRandom a, b;
    a.seed(12345);
    b.seed(12345);
    std::set<u16string> names;
    for (int i = 0; i < 1000; ++i) {
        const double r = a.next();
        ASSERT_GE(r, 0.0);
        ASSERT_LT(r, 1.0);
        EXPECT_EQ(r, b.next()) << "the same seed gives the same sequence";
        names.insert(RandomHexDigits(r));
    }
    EXPECT_GT(names.size(), 950u) << "a thousand draws give almost as many names";
    b.seed(54321);
    EXPECT_NE(a.next(), b.next());
}

TEST(FileOperationRules, DateAndTimeStampedNames) {
    EXPECT_EQ(u"04Dec2026", DateStamp(4, u"Dec", 2026));
    EXPECT_EQ(u"000509", TimeStamp(0, 5, 9));
    EXPECT_EQ(u"C:\\logs\\app_04Dec2026.log", DateStampedName(u"C:\\logs\\app.log", u"04Dec2026", asciiContains));
    EXPECT_EQ(u"C:\\logs\\app_04Dec2026", DateStampedName(u"C:\\logs\\app", u"04Dec2026", asciiContains));
    EXPECT_EQ(u"C:\\l.d\\app_04Dec2026", DateStampedName(u"C:\\l.d\\app", u"04Dec2026", asciiContains));
    // A name that holds the stamp already is its own first candidate; only the file name counts.
    EXPECT_EQ(u"C:\\logs\\app_04Dec2026.log",
              DateStampedName(u"C:\\logs\\app_04Dec2026.log", u"04Dec2026", asciiContains));
    EXPECT_EQ(u"C:\\04Dec2026\\app_04Dec2026.log",
              DateStampedName(u"C:\\04Dec2026\\app.log", u"04Dec2026", asciiContains));

    EXPECT_EQ(u"C:\\logs\\app_04Dec2026_153012.log", TimeStampedName(u"C:\\logs\\app_04Dec2026.log", u"153012"));
}

TEST(FileOperationRules, WhatADeletingMemberMayActOn) {
    for (const char16_t* fine : {u"C:\\a", u"c:\\a\\b.txt", u"C:\\a\\", u"\\\\server\\share\\x", u"C:\\.profile"})
        EXPECT_TRUE(NamesOneEntryBelowRoot(fine)) << std::u16string(fine).size();
    for (const char16_t* refused :
         {u"", u"C:\\", u"C:", u"C:a", u"a\\b", u"\\a", u"C:\\\\\\", u"C:\\.", u"C:\\..\\", u"C:\\*.*", u"C:\\a\\b?",
          u"\\\\server\\share", u"\\\\server\\share\\", u"\\\\\\share\\x", u"\\\\server\\\\x", u"C:/a"})
        EXPECT_FALSE(NamesOneEntryBelowRoot(refused)) << std::u16string(refused).size();
    EXPECT_TRUE(NamesOneEntryBelowRoot(u"C:\\" + u16string(256, u'a')));
    EXPECT_FALSE(NamesOneEntryBelowRoot(u"C:\\" + u16string(257, u'a'))) << "260 units is past the limit";

    for (auto [path, relative] :
         {std::pair{u"C:", true}, {u"c:x", true}, {u"C:\\", false}, {u"x", false}, {u"1:", false}})
        EXPECT_EQ(relative, IsDriveRelative(path)) << std::u16string(path).size();

    for (const char16_t* dotted : {u".", u"..", u"C:\\a\\..", u"a\\.\\b", u"..\\x", u"C:\\a/./b", u"C:\\a\\.\\"})
        EXPECT_TRUE(HasDotComponent(dotted)) << std::u16string(dotted).size();
    for (const char16_t* plain : {u"", u"C:\\a", u".profile", u"C:\\a\\...", u"C:\\a..\\b", u"C:\\.x\\"})
        EXPECT_FALSE(HasDotComponent(plain)) << std::u16string(plain).size();

    EXPECT_EQ(u"C:\\a", WithoutTrailingSeparator(u"C:\\a\\"));
    EXPECT_EQ(u"C:\\a\\", WithoutTrailingSeparator(u"C:\\a\\\\")) << "only one is dropped";
    EXPECT_EQ(u"", WithoutTrailingSeparator(u""));
}

}  // namespace
