// The 64-bit system's branches of the registry toolkit run only in a 32-bit process there: here
// the toolkit is linked in, told the system's answer, and works on the prefix's real registry.
#include "registry/Registry.hpp"
#include "support.hpp"

namespace lark::test {
namespace {

using registry::Registry;
using registry::SystemAnswer;

const HKEY kLM = HKEY_LOCAL_MACHINE, kCU = HKEY_CURRENT_USER;
constexpr const char16_t* kKey = u"Software\\LarkLib8ViewTest";
constexpr const char* kPath = "Software\\LarkLib8ViewTest";

void clean() { RegDeleteKeyExA(kLM, kPath, KEY_WOW64_32KEY, 0), RegDeleteKeyExA(kLM, kPath, KEY_WOW64_64KEY, 0); }

// Whether the test key is there in the 32-bit and in the 64-bit view.
std::string views() {
    HKEY a = nullptr, b = nullptr;
    std::string out = RegOpenKeyExA(kLM, kPath, 0, KEY_READ | KEY_WOW64_32KEY, &a) ? "-" : "+";
    out += RegOpenKeyExA(kLM, kPath, 0, KEY_READ | KEY_WOW64_64KEY, &b) ? "-" : "+";
    return RegCloseKey(a), RegCloseKey(b), out;
}

TEST(RegistryViews, View64ChoosesTheViewOnlyOn64BitSystems) {
    clean();
    Registry plain(SystemAnswer{false}), registry(SystemAnswer{true});
    plain.SetView64(true);
    EXPECT_FALSE(plain.View64());
    EXPECT_FALSE(plain.CreateRegistryKey(kLM, kKey));
    EXPECT_EQ("-+", views()) << "without a view flag a 64-bit process reaches the 64-bit view";
    EXPECT_TRUE(plain.DeleteRegistryKey(kLM, kKey));
    EXPECT_FALSE(registry.CreateRegistryKey(kLM, kKey));
    ASSERT_EQ("+-", views()) << "the 32-bit view by default, if this prefix keeps two";
    registry.SetView64(true);
    EXPECT_TRUE(registry.View64());
    EXPECT_FALSE(registry.CheckRegistryKey(kLM, kKey, true)) << "not yet in the 64-bit view";
    EXPECT_FALSE(registry.CreateRegistryKey(kLM, kKey));
    EXPECT_TRUE(registry.CheckRegistryKey(kLM, kKey, true));
    EXPECT_EQ("++", views());
    EXPECT_TRUE(registry.DeleteRegistryKey(kLM, kKey));
    EXPECT_EQ("+-", views()) << "deleted in the chosen view only";
    registry.SetView64(false);
    EXPECT_TRUE(registry.DeleteRegistryKeyDeep(kLM, kKey));
    EXPECT_EQ("--", views());
}

TEST(RegistryWowNode, IsNeverDeletedAndKeepsItsParent) {
    RegistryBranch branch(L"WowNode");
    const std::u16string root(branch.path().begin(), branch.path().end());
    Registry registry(SystemAnswer{true});
    registry.SetView64(true);  // in the 32-bit view the platform itself would redirect into the node
    for (const char16_t* key : {u"\\tree\\Wow6432Node\\in", u"\\tree\\a\\b", u"\\solo\\wow6432node", u"\\x"})
        registry.CreateRegistryKey(kCU, root + key);
    for (const char16_t* node : {u"\\solo\\wow6432node", u"\\solo\\WOW6432NODE\\", u"\\tree\\Wow6432Node"})
        EXPECT_TRUE(registry.DeleteRegistryKey(kCU, root + node)) << "reported deleted";
    EXPECT_FALSE(registry.DeleteRegistryKeyDeep(kCU, root + u"\\tree")) << "the node's parent stays";
    EXPECT_TRUE(registry.DeleteRegistryKeyDeep(kCU, root + u"\\missing")) << "nothing to delete";
    EXPECT_TRUE(registry.DeleteRegistryKeyDeep(kCU, root + u"\\x"));
    using Names = std::vector<std::u16string>;
    EXPECT_EQ((Names{u"solo", u"tree"}), registry.EnumRegistryKeys(kCU, root));
    EXPECT_EQ((Names{u"wow6432node"}), registry.EnumRegistryKeys(kCU, root + u"\\solo"));
    EXPECT_EQ((Names{u"Wow6432Node"}), registry.EnumRegistryKeys(kCU, root + u"\\tree"));
}

}  // namespace
}  // namespace lark::test
