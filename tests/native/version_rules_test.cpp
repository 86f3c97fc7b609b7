#include "sysinfo/version_rules.hpp"

#include <gtest/gtest.h>

#include <optional>

using namespace lark::sysinfo;

namespace {

struct Row {
    const char* system;
    VersionRecord record;
    bool xp, w200x, w9x, w98, nt4, longPaths;
};

// One line per system the rules must tell apart, with what each rule answers there.
// clang-format off
const Row kRows[] = {
    //  system         major minor platform        XP     200x   9x     98     NT4    long
    {"95 (4.0)",      {4, 0, platformWindows},    false, false, true,  false, false, false},
    {"98 (4.10)",     {4, 10, platformWindows},   false, false, true,  true,  false, false},
    {"Me (4.90)",     {4, 90, platformWindows},   false, false, true,  true,  false, true},
    {"NT 3.51",       {3, 51, platformNT},        false, false, false, false, false, false},
    {"NT 4.0",        {4, 0, platformNT},         false, false, false, false, true,  false},
    {"2000 (5.0)",    {5, 0, platformNT},         false, true,  false, false, false, true},
    {"XP (5.1)",      {5, 1, platformNT},         true,  true,  false, false, false, true},
    {"2003 (5.2)",    {5, 2, platformNT},         true,  true,  false, false, false, true},
    {"Vista (6.0)",   {6, 0, platformNT},         false, true,  false, false, false, true},
    {"7 (6.1)",       {6, 1, platformNT},         true,  true,  false, false, false, true},
    {"10 (10.0)",     {10, 0, platformNT},        false, true,  false, false, false, true},
    {"unread record", {},                         false, false, false, false, false, false},
    {"Win32s",        {3, 10, 0},                 false, false, false, false, false, false},
};
// clang-format on

TEST(VersionRules, EveryRowOfTheVersionTable) {
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.system);
        EXPECT_EQ(row.xp, isWindowsXP(row.record));
        EXPECT_EQ(row.w200x, isWindows200x(row.record));
        EXPECT_EQ(row.w9x, isWindows9x(row.record));
        EXPECT_EQ(row.w98, isWindows98(row.record));
        EXPECT_EQ(row.nt4, isWindowsNT4(row.record));
        EXPECT_EQ(row.longPaths, hasLongPathNames(row.record));
    }
}

TEST(VersionRules, RecordIsReadOnceAndAFailedReadStaysFailed) {
    int reads = 0;
    VersionOnce once;
    auto seven = [&] {
        ++reads;
        return std::optional<VersionRecord>(VersionRecord{6, 1, platformNT});
    };
    EXPECT_TRUE(isWindowsXP(once.get(seven)));
    EXPECT_TRUE(isWindows200x(once.get(seven)));
    EXPECT_EQ(1, reads);

    reads = 0;
    VersionOnce failed;
    auto refuse = [&] {
        ++reads;
        return std::optional<VersionRecord>();
    };
    EXPECT_FALSE(isWindows200x(failed.get(refuse)));
    EXPECT_FALSE(isWindows9x(failed.get(seven))) << "a failed read is not repeated";
    EXPECT_EQ(1, reads);
}

}  // namespace
