// The 64-bit system's branches of the registry toolkit: the view flags of the access masks,
// View64, deletion with the view flag and the Wow6432Node rules. They run only in a 32-bit
// process on a 64-bit system, so here the implementation is linked in and given the system's
// answer, and works against the real registry of the prefix. (Through COM the library asks the
// system, which in this 64-bit process says "not 64-bit": registry_test covers that path.)
#include "com_support.hpp"
#include "registry/Registry.hpp"

namespace lark::test {
namespace {

using registry::Registry;
using registry::SystemAnswer;

constexpr const wchar_t* kViewKey = L"Software\\LarkLib8ViewTest";

registry::Units units(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }

// The text of value "v" of kViewKey in one view of HKEY_LOCAL_MACHINE, or "<none>".
std::wstring inView(REGSAM view) {
    wchar_t text[64] = {};
    DWORD size = sizeof text;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kViewKey, 0, KEY_READ | view, &key) != ERROR_SUCCESS) return L"<none>";
    const LONG status = RegQueryValueExW(key, L"v", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? text : L"<no value>";
}

void removeViewKeys() {
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY})
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kViewKey, view, 0);
}

std::wstring text(const com::unique_variant& v) { return v.vt == VT_BSTR ? str(v.bstrVal) : describe(v); }

class RegistryViews : public testing::Test {
protected:
    void SetUp() override {
        removeViewKeys();
        // The prefix must keep the two views apart, or nothing below tells them apart either.
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, kViewKey, 0, nullptr, 0,
                                                 KEY_WRITE | KEY_WOW64_32KEY, nullptr, &key, nullptr));
        RegCloseKey(key);
        ASSERT_EQ(L"<none>", inView(KEY_WOW64_64KEY)) << "this prefix has no separate 32-bit view";
        removeViewKeys();
    }
    void TearDown() override { removeViewKeys(); }

    com::unique_variant value(const wchar_t* text) {
        com::unique_variant v;
        v.vt = VT_BSTR;
        v.bstrVal = SysAllocString(text);
        return v;
    }
};

TEST_F(RegistryViews, On32BitSystemsView64IsIgnoredAndNoViewIsChosen) {
    Registry registry(SystemAnswer{false});
    registry.SetView64(true);
    EXPECT_FALSE(registry.View64());
    registry.SetRegistryValue(HKEY_LOCAL_MACHINE, units(kViewKey), u"v", REG_SZ, value(L"plain"));
    // Without a view flag a 64-bit process reaches the 64-bit view.
    EXPECT_EQ(L"plain", inView(KEY_WOW64_64KEY));
    EXPECT_EQ(L"<none>", inView(KEY_WOW64_32KEY));
    EXPECT_TRUE(registry.DeleteRegistryKey(HKEY_LOCAL_MACHINE, units(kViewKey)));
    EXPECT_EQ(L"<none>", inView(KEY_WOW64_64KEY));
}

TEST_F(RegistryViews, On64BitSystemsView64ChoosesTheView) {
    Registry registry(SystemAnswer{true});
    EXPECT_FALSE(registry.View64()) << "the 32-bit view by default";
    registry.SetRegistryValue(HKEY_LOCAL_MACHINE, units(kViewKey), u"v", REG_SZ, value(L"thirty-two"));
    EXPECT_EQ(L"thirty-two", inView(KEY_WOW64_32KEY));
    EXPECT_EQ(L"<none>", inView(KEY_WOW64_64KEY));
    EXPECT_TRUE(registry.CreateRegistryKey(HKEY_LOCAL_MACHINE, units(kViewKey))) << "there in the 32-bit view";

    registry.SetView64(true);
    EXPECT_TRUE(registry.View64());
    EXPECT_FALSE(registry.CheckRegistryKey(HKEY_LOCAL_MACHINE, units(kViewKey))) << "not in the 64-bit view yet";
    EXPECT_FALSE(registry.CreateRegistryKey(HKEY_LOCAL_MACHINE, units(kViewKey))) << "created in the 64-bit view";
    registry.SetRegistryValue(HKEY_LOCAL_MACHINE, units(kViewKey), u"v", REG_SZ, value(L"sixty-four"));
    EXPECT_EQ(L"sixty-four", inView(KEY_WOW64_64KEY));
    EXPECT_EQ(L"thirty-two", inView(KEY_WOW64_32KEY));
    EXPECT_EQ(L"sixty-four",
              text(registry.GetRegistryValue(HKEY_LOCAL_MACHINE, units(kViewKey), u"v", REG_SZ, nullptr)));
    EXPECT_EQ(1u, registry.EnumRegistryValues(HKEY_LOCAL_MACHINE, units(kViewKey)).get()->rgsabound[0].cElements);

    // Deletion works in the chosen view only.
    EXPECT_TRUE(registry.DeleteRegistryKey(HKEY_LOCAL_MACHINE, units(kViewKey)));
    EXPECT_EQ(L"<none>", inView(KEY_WOW64_64KEY));
    EXPECT_EQ(L"thirty-two", inView(KEY_WOW64_32KEY));
    registry.SetView64(false);
    EXPECT_EQ(L"thirty-two",
              text(registry.GetRegistryValue(HKEY_LOCAL_MACHINE, units(kViewKey), u"v", REG_SZ, nullptr)));
    EXPECT_TRUE(registry.DeleteRegistryKeyDeep(HKEY_LOCAL_MACHINE, units(kViewKey)));
    EXPECT_EQ(L"<none>", inView(KEY_WOW64_32KEY));
}

class WowNodeRules : public testing::Test {
protected:
    std::wstring branch = L"Software\\LarkLib8Tests\\WowNodeRules";
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, branch.c_str()); }
    void TearDown() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, branch.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\LarkLib8Tests");
    }
    void makeKey(const std::wstring& sub) {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, (branch + L"\\" + sub).c_str(), 0, nullptr, 0,
                                                 KEY_WRITE, nullptr, &key, nullptr));
        RegCloseKey(key);
    }
    bool exists(const std::wstring& sub) {
        HKEY key = nullptr;
        const std::wstring path = sub.empty() ? branch : branch + L"\\" + sub;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        RegCloseKey(key);
        return true;
    }
    std::u16string path(const std::wstring& sub) const {
        const std::wstring p = sub.empty() ? branch : branch + L"\\" + sub;
        return std::u16string(p.begin(), p.end());
    }
};

TEST_F(WowNodeRules, TheNodeIsNeverDeletedAndKeepsItsParent) {
    Registry registry(SystemAnswer{true});
    // The 64-bit view: in the 32-bit one the platform itself would send these paths on into
    // the Wow6432Node subkeys made below.
    registry.SetView64(true);
    makeKey(L"tree\\Wow6432Node\\inner");
    makeKey(L"tree\\a\\b");
    makeKey(L"tree\\z");
    makeKey(L"solo\\wow6432node");
    for (const wchar_t* name : {L"solo\\wow6432node", L"solo\\WOW6432NODE\\", L"tree\\Wow6432Node"})
        EXPECT_TRUE(registry.DeleteRegistryKey(HKEY_CURRENT_USER, path(name))) << "reported deleted";
    EXPECT_TRUE(exists(L"solo\\wow6432node")) << "but still there";
    EXPECT_TRUE(exists(L"tree\\Wow6432Node\\inner"));

    // The deep delete removes every other subkey, but not the node nor the keys holding it.
    EXPECT_FALSE(registry.DeleteRegistryKeyDeep(HKEY_CURRENT_USER, path(L"tree")));
    EXPECT_TRUE(exists(L"tree\\Wow6432Node\\inner"));
    EXPECT_FALSE(exists(L"tree\\a"));
    EXPECT_FALSE(exists(L"tree\\z"));

    EXPECT_TRUE(registry.DeleteRegistryKeyDeep(HKEY_CURRENT_USER, path(L"missing"))) << "nothing to delete";
    EXPECT_FALSE(registry.DeleteRegistryKeyDeep(HKEY_CURRENT_USER, u""));
    makeKey(L"plain\\x\\y");
    EXPECT_TRUE(registry.DeleteRegistryKeyDeep(HKEY_CURRENT_USER, path(L"plain")));
    EXPECT_FALSE(exists(L"plain"));
    EXPECT_FALSE(registry.DeleteRegistryKey(HKEY_CURRENT_USER, path(L"tree")));
}

}  // namespace
}  // namespace lark::test
