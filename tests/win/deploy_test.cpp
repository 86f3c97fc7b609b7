// CDeploy2's operating-system questions through COM, checked against what the platform tells
// this test process directly. Every row of the version table is covered on the host by
// version_rules_test; here the DLL must read the real record and answer in automation Booleans.
#include "com_support.hpp"

namespace lark::test {
namespace {

struct Answers {
    VARIANT_BOOL xp, w200x, w9x, w98, nt4, unicode, admin, is64;
};

Answers earlyBound(_CDeploy2* d) {
    Answers a{1, 1, 1, 1, 1, 1, 1, 1};  // 1 is neither True nor False: a member that skips its result shows
    EXPECT_EQ(S_OK, d->IsWindowsXP(&a.xp));
    EXPECT_EQ(S_OK, d->IsWindows200x(&a.w200x));
    EXPECT_EQ(S_OK, d->IsWindows9x(&a.w9x));
    EXPECT_EQ(S_OK, d->IsWindows98(&a.w98));
    EXPECT_EQ(S_OK, d->IsWindowsNT4(&a.nt4));
    EXPECT_EQ(S_OK, d->get_IsUnicodeSystem(&a.unicode));
    EXPECT_EQ(S_OK, d->get_IsAdministrator(&a.admin));
    EXPECT_EQ(S_OK, d->get_Is64bit(&a.is64));
    return a;
}

VARIANT_BOOL lateBound(IDispatch* d, const wchar_t* member) {
    Call call = invoke(d, member, {});
    EXPECT_EQ(S_OK, call.hr) << member;
    EXPECT_EQ(VT_BOOL, call.result.vt) << member;
    return call.result.boolVal;
}

VARIANT_BOOL vb(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }

class Deploy : public testing::Test {
protected:
    ComPtr<_CDeploy2> deploy = createByProgId<_CDeploy2>(L"LARKLIB8.CDeploy2");
};

TEST_F(Deploy, VersionTestsFollowTheRecordThePlatformReports) {
    ASSERT_TRUE(deploy);
    OSVERSIONINFOW v{};
    v.dwOSVersionInfoSize = sizeof v;
    ASSERT_TRUE(GetVersionExW(&v));
    // Under Wine this is NT 6.1, where XP and 200x hold and the rest do not.
    const bool nt = v.dwPlatformId == VER_PLATFORM_WIN32_NT, w9x = v.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
    Answers a = earlyBound(deploy.get());
    EXPECT_EQ(vb(nt && v.dwMajorVersion >= 5 && v.dwMinorVersion >= 1), a.xp)
        << v.dwMajorVersion << "." << v.dwMinorVersion;
    EXPECT_EQ(vb(nt && v.dwMajorVersion >= 5), a.w200x);
    EXPECT_EQ(vb(w9x), a.w9x);
    EXPECT_EQ(vb(w9x && ((v.dwMajorVersion == 4 && v.dwMinorVersion > 0) || v.dwMajorVersion > 4)), a.w98);
    EXPECT_EQ(vb(nt && v.dwMajorVersion == 4), a.nt4);

    // The cached record gives the same answers again, and so does a second instance.
    Answers again = earlyBound(deploy.get());
    EXPECT_EQ(a.xp, again.xp);
    EXPECT_EQ(a.w200x, again.w200x);
    auto other = createByProgId<_CDeploy2>(L"LARKLIB8.CDeploy2");
    ASSERT_TRUE(other);
    EXPECT_EQ(a.xp, earlyBound(other.get()).xp);
}

TEST_F(Deploy, UnicodeAdministratorAnd64bitMatchThePlatform) {
    ASSERT_TRUE(deploy);
    Answers a = earlyBound(deploy.get());
    EXPECT_EQ(VARIANT_TRUE, a.unicode);

    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE);
    const bool admin = manager != nullptr;
    if (manager) CloseServiceHandle(manager);
    EXPECT_EQ(vb(admin), a.admin);

    BOOL wow64 = TRUE;
    ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
    EXPECT_FALSE(wow64) << "a 64-bit process is never under the 32-bit emulation";
    EXPECT_EQ(VARIANT_FALSE, a.is64);
}

TEST_F(Deploy, LateBoundCallsGiveTheSameBooleans) {
    ASSERT_TRUE(deploy);
    Answers a = earlyBound(deploy.get());
    ComPtr<IDispatch> late = deploy.query<IDispatch>();
    ASSERT_TRUE(late);
    EXPECT_EQ(a.xp, lateBound(late.get(), L"IsWindowsXP"));
    EXPECT_EQ(a.w200x, lateBound(late.get(), L"iswindows200x")) << "names are case-insensitive";
    EXPECT_EQ(a.w9x, lateBound(late.get(), L"IsWindows9x"));
    EXPECT_EQ(a.w98, lateBound(late.get(), L"IsWindows98"));
    EXPECT_EQ(a.nt4, lateBound(late.get(), L"IsWindowsNT4"));
    EXPECT_EQ(a.unicode, lateBound(late.get(), L"IsUnicodeSystem"));
    EXPECT_EQ(a.admin, lateBound(late.get(), L"IsAdministrator"));
    EXPECT_EQ(a.is64, lateBound(late.get(), L"Is64bit"));
}

}  // namespace
}  // namespace lark::test
