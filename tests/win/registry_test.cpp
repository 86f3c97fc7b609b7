// CRegistry2 against the prefix's registry: value types, buffer limits, keys, the REGEDIT4 export
// and back through the registry editor, window placement with a real window, file types.
#include "support.hpp"

namespace lark::test {
namespace {

std::string narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

// Every value of a key as the platform holds it, "name=type:hex" joined by "|", read past the
// library so that a fault made alike in writing and in reading back still shows.
std::string held(const std::wstring& key) {
    HKEY k = nullptr;
    char name[260];
    BYTE data[8192];
    DWORD i = 0, type = 0, nameSize = sizeof name, size = sizeof data;
    std::string out = RegOpenKeyExA(HKEY_CURRENT_USER, narrow(key).c_str(), 0, KEY_READ, &k) ? "no key" : "";
    for (; !RegEnumValueA(k, i, name, &nameSize, nullptr, &type, data, &size); ++i, nameSize = 260, size = 8192) {
        out.append(i ? "|" : "").append(name).append("=").append(std::to_string(type)).append(":");
        for (DWORD j = 0; j < size; ++j)
            out += {"0123456789ABCDEF"[data[j] >> 4], "0123456789ABCDEF"[data[j] & 15]};
    }
    RegCloseKey(k);
    return out;
}

class Registry : public testing::Test {
protected:
    RegistryBranch branch{widen(testing::UnitTest::GetInstance()->current_test_info()->name())};
    std::wstring B = branch.path();
    Cases c;
    Registry() { c.let("HKCU", static_cast<LONG>(0x80000001u)), c.let("B", B); }
};

TEST_F(Registry, EveryValueTypeThroughSetGetEnumerationAndCopy) {
    RegistryBranch copy(L"Copied");
    c.let("T", copy.path());
    RegSetKeyValueA(HKEY_CURRENT_USER, narrow(B).c_str(), "nil", REG_NONE, "\x07", 1);
    RegSetKeyValueA(HKEY_CURRENT_USER, narrow(B).c_str(), "onlyNul", REG_SZ, "", 1);
    c.run(R"(
CRegistry2.SetRegistryValue HKCU, B, 'bin', 3, Byte(5 To 7)[0|171|1]        => Empty
CRegistry2.SetRegistryValue HKCU, B, 'dword', 4, -2                         => Empty
CRegistry2.SetRegistryValue HKCU, B, 'empty', 1, ''                         => Empty
CRegistry2.SetRegistryValue HKCU, B, 'expand', 2, '%A%'                     => Empty
CRegistry2.SetRegistryValue HKCU, B, 'multi', 7, 'a' & vbNullChar & 'b' & vbNullChar => Empty
CRegistry2.SetRegistryValue HKCU, B, 'notNumber', 4, 'abc'                  => Empty
CRegistry2.SetRegistryValue HKCU, B, 'sz', 1, 'abc'                         => Empty
CRegistry2.GetRegistryValue HKCU, B, 'expand', 2                            => '%A%'
CRegistry2.GetRegistryValue HKCU, B, 'multi', 7                             => 'a' & vbNullChar & 'b' & vbNullChar
CRegistry2.GetRegistryValue HKCU, B, 'onlyNul', 2, 'fallback'               => 'fallback'
CRegistry2.GetRegistryValue HKCU, B & '\none', 'sz', 1, 'fallback'          => 'fallback'
CRegistry2.GetRegistryValue HKCU, B, 'sz', 5, 'fallback'                    => ''
CRegistry2.GetRegistryValue HKCU, B, 'sz', 65537, 'fallback'                => ''
CRegistry2.GetRegistryValueType HKCU, B, 'multi'                            => Long 7
CRegistry2.EnumRegistryValues HKCU, B => Variant(0 To 1, 0 To 8)['bin'|Byte(0 To 2)[Byte 0|Byte 171|Byte 1]|'dword'|Long -2|'empty'|''|'expand'|Byte(0 To 3)[Byte 37|Byte 65|Byte 37|Byte 0]|'multi'|Byte(0 To 4)[Byte 97|Byte 0|Byte 98|Byte 0|Byte 0]|'nil'|Byte(0 To 0)[Byte 7]|'notNumber'|Long 0|'onlyNul'|''|'sz'|'abc']
CRegistry2.CopyRegistryKey HKCU, B, T, True                                 => Empty
CRegistry2.SetRegistryValue HKCU, B & '\bad', 'bin', 3, 'not bytes'         => Empty
CRegistry2.SetRegistryValue HKCU, B & '\bad', 'obj', 1, CRegistry2          => Empty
CRegistry2.SetRegistryValue HKCU, B & '\bad', 'unset', 3, Byte()            => Empty
)");
    const std::string written = "bin=3:00AB01|dword=4:FEFFFFFF|empty=1:|expand=2:25412500|multi=7:6100620000|";
    EXPECT_EQ(written + "nil=0:07|notNumber=4:00000000|onlyNul=1:00|sz=1:61626300/obj=1:|unset=3:",
              held(B) + "/" + held(B + L"\\bad"));
    EXPECT_EQ(written + "notNumber=4:00000000|onlyNul=1:00|sz=1:61626300", held(copy.path()));
}

// Strings are read with 1,024 bytes, bytes and multi-strings with 4,096.
TEST_F(Registry, BufferLimitsEnumerationsAndKeys) {
    HKEY own = nullptr;  // an empty path enumerates the caller's own handle, which stays open
    ASSERT_EQ(0, RegCreateKeyExW(HKEY_CURRENT_USER, B.c_str(), 0, 0, 0, KEY_READ, 0, &own, 0));
    c.let("H", static_cast<LONG>(reinterpret_cast<INT_PTR>(own)));
    c.run(R"(
CRegistry2.SetRegistryValueArray HKCU, B, String(1 To 5)['s1024'|'s1025'|'s4096'|'s4097'|'z'], 1, String(1 To 5)[String(1023, 'x')|String(1024, 'x')|String(4095, 'x')|String(4096, 'x')|'after'] => Boolean True
CRegistry2.GetRegistryValue HKCU, B, 's1024', 1, 'fallback'                 => String(1023, 'x')
CRegistry2.GetRegistryValue HKCU, B, 's1025', 1, 'fallback'                 => 'fallback'
CRegistry2.GetRegistryValue HKCU, B, 's4097', 3, 'fallback'                 => 'fallback'
CRegistry2.GetRegistryValue HKCU, B, 's1024', 4, 'fallback'                 => 'fallback'
CRegistry2.CheckRegistryValue HKCU, B, 's1024', 1                           => Boolean True
CRegistry2.CheckRegistryValue HKCU, B, 's1025', 1                           => Boolean False
CRegistry2.CheckRegistryValue HKCU, B, 's1025', 7                           => Boolean True
CRegistry2.CheckRegistryValue HKCU, B, 's4097', 3                           => Boolean False
CRegistry2.CheckRegistryValue HKCU, B, 's1024', 4                           => Boolean False
CRegistry2.EnumRegistryValues HKCU, B => Variant(0 To 1, 0 To 2)['s1024'|String(1023, 'x')|'s1025'|String(1024, 'x')|'s4096'|String(4095, 'x')]
CRegistry2.CreateRegistryKey HKCU, B & '\k'                                 => Boolean False
CRegistry2.CreateRegistryKey HKCU, B & '\k'                                 => Boolean True
CRegistry2.SetRegistryValue HKCU, B & '\k\sub\deep', 'v', 1, 'v'            => Empty
CRegistry2.EnumRegistryKeys HKCU, B & '\k'                                  => String(0 To 0)['sub']
CRegistry2.EnumRegistryKeys H, 'k\sub\deep'                                 => String()
CRegistry2.EnumRegistryValues H, 'k\sub'                                    => Variant()
CRegistry2.EnumRegistryKeys H, ''                                           => String(0 To 0)['k']
CRegistry2.DeleteRegistryValue HKCU, B & '\k\sub\deep', 'v'                 => Empty
CRegistry2.GetRegistryValueType HKCU, B & '\k\sub\deep', 'v'                => Long 0
# The platform cuts a longer name's length modulo 65,536: it would address B's keys and values.
CRegistry2.DeleteRegistryKey HKCU, B & '\k\sub\deep' & String(65536, 'x')  => Boolean False
CRegistry2.GetRegistryValue HKCU, B, 's1024' & String(65536, 'x'), 1, 'fallback' => ''
CRegistry2.DeleteRegistryKey HKCU, B & '\k\sub\deep'                        => Boolean True
CRegistry2.DeleteRegistryKeyDeep HKCU, ''                                   => Boolean False
CRegistry2.DeleteRegistryKeyDeep HKCU, B & '\k'                             => Boolean True
CRegistry2.CreateRegistryKeyRecursive HKCU, B & '\r1\r2\r3'                 => Empty
CRegistry2.CheckRegistryKey HKCU, B & '\r1\r2\r3', True                     => Boolean True
CRegistry2.CreateRegistryKeyRecursive &H1234, 'a\b'                         => error 99 LARKLIB8
# Paths longer than the platform's calls take, under a root that is no key.
CRegistry2.CreateRegistryKeyRecursive &H1234, String(100000, '\')          => error 99 LARKLIB8
CRegistry2.SaveWindowPos 0, String(100000, '\')                            => Empty
CRegistry2.DeleteRegistryKeyDeep &H1234, String(100000, 'x')                => Boolean False
both CRegistry2.SetRegistryValueArray HKCU, B & '\r1', @String(1 To 2)['one'|'two'], 4, @String(1 To 2)['1'|''] => Boolean True; String(1 To 2)['one'|'two']; String(1 To 2)['1'|'']
CRegistry2.SetRegistryValueArray HKCU, B & '\r2', String(0 To 1)['a'|'b'], 1, String(1 To 2)['1'|'2'] => Boolean False
CRegistry2.SetRegistryValueArray HKCU, B & '\r2', String(1 To 1)['a'], 1, String(1 To 2)['1'|'2'] => Boolean False
# A value over 4,096 bytes ends a copy's value loop; subkeys only on request, into new paths.
CRegistry2.SetRegistryValueArray HKCU, B & '\src', String(0 To 2)['a'|'b'|'c'], 1, String(0 To 2)['a'|String(4096, 'b')|'c'] => Boolean True
CRegistry2.SetRegistryValue HKCU, B & '\src\child\grand', 'deep', 4, 3      => Empty
CRegistry2.CopyRegistryKey HKCU, B & '\src', B & '\flat', False             => Empty
CRegistry2.EnumRegistryValues HKCU, B & '\flat'                             => Variant(0 To 1, 0 To 0)['a'|'a']
CRegistry2.CheckRegistryKey HKCU, B & '\flat\child'                         => Boolean False
CRegistry2.CopyRegistryKey HKCU, B & '\src', B & '\new\copy', True          => Empty
CRegistry2.GetRegistryValue HKCU, B & '\new\copy\child\grand', 'deep', 4    => Long 3
)");
    EXPECT_EQ(0u, c.outcome("CRegistry2.GetRegistryValue HKCU, B, 's4096', 3").find(L"Byte(0 To 4095)[Byte 120|"));
    EXPECT_EQ("one=1:3100|two=1:", held(B + L"\\r1")) << "always as strings";
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(own)) << "the library closed the caller's handle";
}

TEST_F(Registry, ExportWritesRegedit4BlocksAndTheEditorReadsThemBack) {
    Sandbox sandbox;
    c.let("F", sandbox.path(L"x.reg"));
    c.run(R"(
CRegistry2.SetRegistryValue HKCU, B, '', 1, 'text'                          => Empty
CRegistry2.SetRegistryValue HKCU, B, 'Count', 4, 10                         => Empty
CRegistry2.SetRegistryValue HKCU, B, 'Wide', 1, String(4096, 'w')           => Empty
CRegistry2.SetRegistryValue HKCU, B & '\a', 'v', 1, 'C:\x'                  => Empty
CRegistry2.CreateRegistryKey HKCU, B & '\a\deep'                            => Boolean False
CRegistry2.SetRegistryValue HKCU, B & '\z', 'last', 1, 'done'               => Empty
)");
    auto save = [&](const char* arguments) {
        return c.run("CRegistry2.SaveRegToFile " + std::string(arguments) + " => Empty"), sandbox.read(L"x.reg");
    };
    const std::string head = "REGEDIT4\r\n\r\n", key = "[HKEY_CURRENT_USER\\" + narrow(B);
    const std::string a = key + "\\a]\r\n\"v\"=\"C:\\\\x\"\r\n\r\n", deep = key + "\\a\\deep]\r\n\r\n";
    EXPECT_EQ(head + key + "]\r\n@=\"text\"\r\n\"Count\"=dword:0000000A\r\n\"Wide\"=\"" + std::string(4096, 'w') +
                  "\"\r\n\r\n" + a + deep + key + "\\z]\r\n\"last\"=\"done\"\r\n\r\n",
              save("HKCU, B, F"));
    // Appended: after a header none again, to a new file one first.
    EXPECT_EQ(head + a, save(R"(HKCU, B & '\a', F, False)"));
    EXPECT_EQ(head + a + deep, save(R"(HKCU, B & '\a\deep', F, True, True)"));
    DeleteFileW(sandbox.path(L"x.reg").c_str());
    EXPECT_EQ(head + deep, save(R"(HKCU, B & '\a\deep', F, False, True)"));

    save("HKCU, B, F");
    const std::string tree = held(B) + "/" + held(B + L"\\a") + "/" + held(B + L"\\a\\deep");
    c.run("CRegistry2.DeleteRegistryKeyDeep HKCU, B => Boolean True");
    c.run("CRegistry2.ApplyRegFile F => Empty");
    for (int i = 0; i < 300 && held(B + L"\\z") != "last=1:646F6E6500"; ++i)
        Sleep(100);
    EXPECT_EQ(tree, held(B) + "/" + held(B + L"\\a") + "/" + held(B + L"\\a\\deep"));
}

TEST_F(Registry, AWideBranchIsExportedInDepthFirstOrder) {
    // Wide enough that helper threads read keys ahead of the writing: 3 groups of 30 keys.
    Sandbox sandbox;
    c.let("F", sandbox.path(L"wide.reg"));
    std::string want = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\" + narrow(B) + "]\r\n\r\n";
    for (int serial = 0; serial < 93; ++serial) {
        char path[32], line[96];
        snprintf(path, sizeof path, serial % 31 ? "\\g%d\\k%02d" : "\\g%d", serial / 31, serial % 31 - 1);
        const DWORD number = 0x9E3779B9u * DWORD(serial);
        RegSetKeyValueA(HKEY_CURRENT_USER, (narrow(B) + path).c_str(), "n", REG_DWORD, &number, 4);
        snprintf(line, sizeof line, "]\r\n\"n\"=dword:%08lX\r\n\r\n", static_cast<unsigned long>(number));
        want += "[HKEY_CURRENT_USER\\" + narrow(B) + path + line;
    }
    c.run("CRegistry2.SaveRegToFile HKCU, B, F => Empty");
    EXPECT_EQ(want, sandbox.read(L"wide.reg"));
}

TEST_F(Registry, WindowPlacementIsSavedAndRestored) {
    HWND w = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 120, 130, 300, 200, 0, 0, 0, 0);
    ASSERT_TRUE(w) << "no window: is the display there?";
    c.let("W", static_cast<LONG>(reinterpret_cast<INT_PTR>(w)));
    // Where the window is after the cases, which restore it from elsewhere.
    auto restored = [&](const char* cases) {
        SetWindowPos(w, nullptr, 300, 300, 220, 180, SWP_NOZORDER | SWP_HIDEWINDOW);
        c.run(cases);
        RECT r{};
        GetWindowRect(w, &r);
        return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
               std::to_string(r.bottom) + (IsWindowVisible(w) ? " shown" : " hidden");
    };
    c.run(R"(
CRegistry2.SaveWindowPos W, @B                                              => Empty; 'Software\LarkLib8Tests\WindowPlacementIsSavedAndRestored'
CRegistry2.EnumRegistryValues HKCU, B => Variant(0 To 1, 0 To 4)['rcNormalPositionBottom'|Long 330|'rcNormalPositionLeft'|Long 120|'rcNormalPositionRight'|Long 420|'rcNormalPositionTop'|Long 130|'ShowCmd'|Long 1]
CRegistry2.SaveWindowPos 0, B & '\none'                                     => Empty
CRegistry2.EnumRegistryKeys HKCU, B                                         => String(0 To 0)['none']
)");
    EXPECT_EQ("120,130,420,330 shown", restored("CRegistry2.RestoreWindowPos W, B => Empty"));
    EXPECT_EQ("120,130,420,330 hidden", restored("CRegistry2.RestoreWindowPos W, B, 0, 0, 0 => Empty"));
    EXPECT_EQ("120,130,320,230 hidden", restored(R"(
CRegistry2.SetRegistryValue HKCU, B, 'rcNormalPositionRight', 4, 150        => Empty
CRegistry2.SetRegistryValue HKCU, B, 'rcNormalPositionBottom', 4, 140       => Empty
CRegistry2.RestoreWindowPos W, B, 200, 100, 0                               => Empty)"));
    EXPECT_EQ("300,300,520,480 hidden", restored(R"(
CRegistry2.SetRegistryValue HKCU, B, 'rcNormalPositionLeft', 4, 0           => Empty
CRegistry2.RestoreWindowPos W, B, 0, 0, 0                                   => Empty)"));
    EXPECT_EQ("300,300,520,480 shown", restored(R"(CRegistry2.RestoreWindowPos W, B & '\none' => Empty)"));
    DestroyWindow(w);
}

TEST_F(Registry, FileTypesComeFromTheProgIdAndAreCachedInAnyCaseAsAsked) {
    c.run(R"(
CRegistry2.SetRegistryValue &H80000000, '.larktest', '', 1, 'LarkLib8Test.File' => Empty
CRegistry2.SetRegistryValue &H80000000, 'LarkLib8Test.File', '', 1, 'Lark test file' => Empty
CRegistry2.SetRegistryValue &H80000000, '.larkprog', '', 1, 'LarkLib8Test.NoText' => Empty
CRegistry2.CreateRegistryKey &H80000000, '.larknodefault'                   => Boolean False
CRegistry2.GetFileType '.larktest'                                          => 'Lark test file'
CRegistry2.GetFileType '.larkprog'                                          => 'LarkLib8Test.NoText'
CRegistry2.GetFileType '.larknodefault'                                     => '.larknodefault'
CRegistry2.GetFileType 'xyzlark'                                            => '.XYZLARK'
CRegistry2.SetRegistryValue &H80000000, 'LarkLib8Test.File', '', 1, 'Changed' => Empty
CRegistry2.GetFileType '.LARKTEST'                                          => 'Lark test file'
CRegistry2.GetFileType 'larktest'                                           => 'Changed'
)");
    for (const char* key : {".larktest", "LarkLib8Test.File", ".larkprog", ".larknodefault"})
        RegDeleteTreeA(HKEY_CLASSES_ROOT, key);
}

}  // namespace
}  // namespace lark::test
