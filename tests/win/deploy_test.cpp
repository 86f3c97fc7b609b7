// CDeploy2's operating-system questions through COM, checked against what the platform tells
// this test process directly. Every row of the version table is covered on the host by
// version_rules_test; here the DLL must read the real record and answer in automation Booleans.
#include "com_support.hpp"

namespace lark::test {
namespace {

VARIANT_BOOL vb(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }

TEST(Deploy, AnswersFollowThePlatformEarlyAndLateBound) {
    ComPtr<_CDeploy2> deploy = createByProgId<_CDeploy2>(L"LARKLIB8.CDeploy2");
    ASSERT_TRUE(deploy);
    OSVERSIONINFOW v{};
    v.dwOSVersionInfoSize = sizeof v;
    ASSERT_TRUE(GetVersionExW(&v));
    // Under Wine this is NT 6.1, where XP and 200x hold and the rest do not.
    const bool nt = v.dwPlatformId == VER_PLATFORM_WIN32_NT, w9x = v.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, GENERIC_READ | GENERIC_WRITE | GENERIC_EXECUTE);
    if (manager) CloseServiceHandle(manager);
    BOOL wow64 = TRUE;
    ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
    EXPECT_FALSE(wow64) << "a 64-bit process is never under the 32-bit emulation";
    using Member = HRESULT (STDMETHODCALLTYPE _CDeploy2::*)(VARIANT_BOOL*);
    const struct {
        const wchar_t* name;
        Member member;
        bool expected;
    } cases[] = {
        {L"IsWindowsXP", &_CDeploy2::IsWindowsXP, nt && v.dwMajorVersion >= 5 && v.dwMinorVersion >= 1},
        {L"iswindows200x", &_CDeploy2::IsWindows200x, nt && v.dwMajorVersion >= 5},
        {L"IsWindows9x", &_CDeploy2::IsWindows9x, w9x},
        {L"IsWindows98", &_CDeploy2::IsWindows98,
         w9x && ((v.dwMajorVersion == 4 && v.dwMinorVersion > 0) || v.dwMajorVersion > 4)},
        {L"IsWindowsNT4", &_CDeploy2::IsWindowsNT4, nt && v.dwMajorVersion == 4},
        {L"IsUnicodeSystem", &_CDeploy2::get_IsUnicodeSystem, true},
        {L"IsAdministrator", &_CDeploy2::get_IsAdministrator, manager != nullptr},
        {L"Is64bit", &_CDeploy2::get_Is64bit, false},
    };
    // The cached record gives the same answers again, and so does a second instance.
    ComPtr<_CDeploy2> other = createByProgId<_CDeploy2>(L"LARKLIB8.CDeploy2");
    ASSERT_TRUE(other);
    ComPtr<IDispatch> late = deploy.query<IDispatch>();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (_CDeploy2* d : {deploy.get(), deploy.get(), other.get()}) {
            VARIANT_BOOL answer = 1;  // neither True nor False: a member that skips its result shows
            EXPECT_EQ(S_OK, (d->*c.member)(&answer));
            EXPECT_EQ(vb(c.expected), answer);
        }
        Call call = invoke(late.get(), c.name, {});
        EXPECT_EQ(S_OK, call.hr);
        EXPECT_EQ(VT_BOOL, call.result.vt);
        EXPECT_EQ(vb(c.expected), call.result.boolVal);
    }
}

}  // namespace
}  // namespace lark::test
