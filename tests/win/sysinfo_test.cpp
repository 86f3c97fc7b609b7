// CVersion on fixture libraries and the library itself, CDeploy2 and CProcess here, on the
// prefix's registry and real windows and processes; their rules are host-tested. The 9x family's
// branches run on the classes linked in, given that family's version record.
#include "files/CProcess.hpp"
#include "support.hpp"

#include <atomic>
#include <thread>

namespace lark::test {
namespace {

TEST(Version, ReadsTheFirstTranslationAndRaisesThePlatformsCode) {
    Sandbox box;
    std::string bytes = bytesOf(L"C:\\larklib\\fixtures\\version_full.dll");
    const size_t at = bytes.rfind(std::string("C\0o\0m\0p\0a\0n\0y\0N\0a\0m\0e\0", 22));
    bytes.replace(at - 4, 2, "\xFF\x7F");  // the entry's value length
    writeBytes(box.path(L"overlong.dll"), bytes);
    Cases c;
    c.let("overlong", box.path(L"overlong.dll"));
    c.run(R"(
both CVersion.Create @'C:\larklib\fixtures\version_full.dll' => Empty; 'C:\larklib\fixtures\version_full.dll'
CVersion.{FullFileVersion, FullProductVersion, FileVersionMajor, FileVersionMinor} => '1.2.3.4' | '5.6.7.8' | Long 65538 | Long 196612
CVersion.{ProductVersionMajor, ProductVersionMinor, BuildOptions, BuildString} => Long 327686 | Long 458760 | Long 33 | 'Debug SpecialBuild '
CVersion.{Environment, ExeType, TimeStamp} => 'Windows (16-bit) under MS-DOS' | 'Driver' | Date 12:00:00 AM
CVersion.{Company, Comments, Description} => 'Larkspur Test Works' | 'Fixture comments ' & ChrW(233) | 'Version fixture with every entry'
CVersion.{ProductVersionString, ProductVersion, FileVersionString} => '5.6.7.8 beta' | '5.6.7.8 beta' | '1.2.3.4 (fixture)'
CVersion.{InternalName, Copyright, Trademarks, OriginalFilename} => 'version_full' | 'Copyright (C) 2026 Larkspur' | 'Lark(TM)' | 'version_full.dll'
CVersion.{PrivateBuild, ProductName, SpecialBuild} => 'built by the tests' | 'Lark Fixtures' | 'special 0x20'
both CVersion.Custom @'BuildMachine' => 'fixture-host'; 'BuildMachine'
CVersion.Custom 'NoSuchEntry'      => ''
both CVersion.Custom @!vbNullString => ''; ''
# a failed read keeps nothing read before, and adds no text to the platform's code
CVersion.Create 'C:\larklib\fixtures\no_such_file.dll' => error 2 LARKLIB8
CVersion.{ExeName, FullFileVersion, ExeType, BuildOptions, Company} => '' | '' | '' | Long 0 | ''
# a missing name reads as "", for which the platform reports ERROR_BAD_PATHNAME
both CVersion.Create @!vbNullString => error 161 LARKLIB8; ''
CVersion.ExeName = 'C:\larklib\fixtures\version_large.dll' => Empty
CVersion.{ExeName, FullFileVersion, FileVersionMajor} => 'C:\larklib\fixtures\version_large.dll' | '-25536.-1.32767.-32768' | Long -1673461761
CVersion.{BuildString, ExeType, Company} => 'Debug Prerelease Patched PrivateBuild InfoInferred SpecialBuild ' | 'Font:TrueType' | 'Grosse Zahlen'
CVersion.ExeName = 'C:\larklib\fixtures\version_none.dll' => error 1812 LARKLIB8
# an empty translation table keeps nothing and raises nothing
CVersion.Create 'C:\larklib\fixtures\version_emptytrans.dll' => Empty
CVersion.FullFileVersion           => ''
# no translation table: the block stays, unnamed, its strings looked for where the last one pointed
CVersion.Create 'C:\larklib\fixtures\version_full.dll' => Empty
CVersion.Create 'C:\larklib\fixtures\version_notrans.dll' => error 1813 LARKLIB8
CVersion.{ExeName, FullFileVersion, Company} => '' | '9.8.7.6' | 'Nobody Finds Me'
# an entry claiming more than its block: the platform gives it no length, so nothing is read
CVersion.Create overlong           => Empty
CVersion.Company                   => ''
CVersion.Create 'C:\larklib\LARKLIB8.dll' => Empty
CVersion.{FullFileVersion, Company} => '2010.0.0.97' | 'LARKLIB8 developers'
)");
}

// Wine reports NT 6.1 to a 64-bit process, which is never under WOW64; the tests run as root.
TEST(Deploy, AnswersForThisSystem) {
    Cases().run(R"(
get CDeploy2.{IsWindowsXP, IsWindows200x, IsWindows9x, IsWindows98} => Boolean True | Boolean True | Boolean False | Boolean False
CDeploy2.{IsWindowsNT4, IsUnicodeSystem, IsAdministrator, Is64bit} => Boolean False | Boolean True | Boolean True | Boolean False
)");
}

// Every key below key of the classes root with its values, "key:name=data;" in enumeration order.
std::string classesTree(const std::string& key) {
    HKEY k = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &k)) return "";
    char name[260], data[1024];
    std::string out = key + ":";
    DWORD n = sizeof name, size = sizeof data;
    for (DWORD i = 0; !RegEnumValueA(k, i, name, &n, 0, 0, (BYTE*)data, &size);
         ++i, n = sizeof name, size = sizeof data)
        out += std::string(name) + "=" + std::string(data, strnlen(data, size)) + ";";
    for (DWORD i = 0; !RegEnumKeyA(k, i, name, sizeof name); ++i)
        out.append(" ").append(classesTree(key + "\\" + name));
    return RegCloseKey(k), out;
}

TEST(Deploy, OfficeRegistrationsAndFileAssociations) {
    const auto clean = [] {
        for (const char* key :
             {"Excel.Sheet", "Word.Document", "CLSID\\{1A2B0001-0000-4000-8000-00000000CAFE}",
              "CLSID\\{1A2B0002-0000-4000-8000-00000000CAFE}", ".larkdoc", "LarkLib8Test.Doc", "LarkLib8Test.Other"})
            RegDeleteTreeA(HKEY_CLASSES_ROOT, key);
    };
    clean();
    Sandbox box;
    const std::wstring word = box.path(L"Office Test\\WINWORD.EXE");
    box.make({L"Office Test\\"});
    CopyFileW(L"C:\\larklib\\fixtures\\version_full.dll", word.c_str(), FALSE);
    wchar_t shortWord[MAX_PATH] = {};
    GetShortPathNameW(word.c_str(), shortWord, MAX_PATH);
    Cases c;
    c.let("HKCR", LONG(0x80000000)), c.let("Word", word), c.mask(shortWord, "short");
    c.let("Fresh", createByProgId<IDispatch>(L"LARKLIB8.CDeploy2").get());
    c.run(R"(
CRegistry2.SetRegistryValue HKCR, 'Excel.Sheet\CurVer', '', 1, 'Excel.Sheet.8' => Empty
CRegistry2.SetRegistryValue HKCR, 'Excel.Sheet\CLSID', '', 1, '{1A2B0001-0000-4000-8000-00000000CAFE}' => Empty
CRegistry2.SetRegistryValue HKCR, 'Word.Document\CLSID', '', 1, '{1A2B0002-0000-4000-8000-00000000CAFE}' => Empty
CRegistry2.SetRegistryValue HKCR, 'CLSID\{1A2B0002-0000-4000-8000-00000000CAFE}\LocalServer32', '', 1, '"' & Word & '" /automation' => Empty
CDeploy2.{GetOfficeAppVersion 2, GetOfficeAppVersion 4, GetOfficeAppVersion 6, GetOfficeAppVersion 0} => Long 8 | Long 0 | Long 0 | Long 0
CDeploy2.{GetOfficeAppExePath 2, GetOfficeProductVersion2 2, GetOfficeProductVersion2 7} => '' | '' | ''
CRegistry2.SetRegistryValue HKCR, 'Excel.Sheet\CurVer', '', 1, 'Excel.Sheet.12' => Empty
CRegistry2.SetRegistryValue HKCR, 'CLSID\{1A2B0001-0000-4000-8000-00000000CAFE}\LocalServer32', '', 1, 'C:\larklib\fixtures\version_full.dll /automation' => Empty
CDeploy2.{GetOfficeAppVersion 2, GetOfficeAppExePath 2, GetOfficeProductVersion2 2} => Long 8 | 'C:\larklib\fixtures\version_full.dll' | '1.2.3.4 (fixture)'
Fresh.{GetOfficeAppVersion 2, GetOfficeAppExePath 4, GetOfficeProductVersion2 4} => Long 12 | '%short%' | '1.2.3.4 (fixture)'
CRegistry2.SetRegistryValue HKCR, 'CLSID\{1A2B0001-0000-4000-8000-00000000CAFE}\LocalServer32', '', 1, 'C:\gone.exe' => Empty
CDeploy2.{GetOfficeAppExePath 2, GetOfficeProductVersion2 2} => 'C:\gone.exe' | '1.2.3.4 (fixture)'
both CDeploy2.GetAssociation '.larkdoc', @'x', @'x', @'x', @'x', @'x' => Boolean True; ''; ''; ''; ''; ''
both CDeploy2.SetAssociation '.larkdoc', @'"C:\a b\ed.exe" "%1"', @'ed.exe,1', @'Lark document', @'LarkLib8Test.Doc' => Boolean True; '"C:\a b\ed.exe" "%1"'; 'ed.exe,1'; 'Lark document'; 'LarkLib8Test.Doc'
CDeploy2.GetAssociation '.larkdoc', @'', @'', @'', @'', @'' => Boolean True; 'LarkLib8Test.Doc'; 'Lark document'; 'C:\a b\ed.exe'; '"C:\a b\ed.exe" "%1"'; 'ed.exe,1'
CDeploy2.SetAssociation '.larkdoc', 'notepad.exe %1', , , 'LarkLib8Test.Other' => Boolean True
CDeploy2.GetAssociation '.larkdoc', @'', @'', @'', @'', @'' => Boolean True; 'LarkLib8Test.Doc'; 'Lark document'; 'notepad.exe'; 'notepad.exe %1'; 'ed.exe,1'
CDeploy2.SetAssociation '.larkdoc', 'other.exe', RecommendedProgID:='LarkLib8Test.Other', Force:=True => Boolean True
CDeploy2.GetAssociation '.larkdoc', @'', @'', @'', @'', @'' => Boolean True; 'LarkLib8Test.Other'; ''; 'other.exe'; 'other.exe'; ''
CDeploy2.SetAssociation '.larknone', 'x.exe', Force:=True                => Boolean False
CDeploy2.SetAssociation '', 'x.exe', RecommendedProgID:='LarkLib8Test.Other' => Boolean False
CRegistry2.CheckRegistryKey HKCR, '.larknone'                               => Boolean False
CRegistry2.SetRegistryValue HKCR, 'LarkLib8Test.Doc\Shell\Open\command', 'command', 1, 'x' => Empty
CRegistry2.SetRegistryValue HKCR, 'LarkLib8Test.Doc\Shell\Open\ddeexec\topic', '', 1, 'System' => Empty
CRegistry2.SetRegistryValue HKCR, 'LarkLib8Test.Doc\Shell\Open With Emberfox\command', '', 1, 'fox.exe' => Empty
)");
    c.run(
        R"(CDeploy2.SetAssociation '.larkdoc', 'winword.exe /dde', RecommendedProgID:='LarkLib8Test.Doc', OfficeApp:=4, Force:=True => Boolean True)");
    const std::string doc = "LarkLib8Test.Doc", open = doc + "\\Shell\\Open";
    EXPECT_EQ(classesTree(doc), doc + ":=Lark document; " + doc + "\\DefaultIcon:=ed.exe,1; " + doc +
                                    "\\Shell: " + open + ": " + open + "\\command:=winword.exe /dde; " + open +
                                    "\\ddeexec: " + open + "\\ddeexec\\topic: " + open +
                                    " With Microsoft Word: " + open + " With Microsoft Word\\command:=" +
                                    std::string(shortWord, shortWord + wcslen(shortWord)) + " \"%1\";");
    c.run("CDeploy2.SetAssociation '.larkdoc', '', OfficeApp:=1 => Boolean True");
    EXPECT_NE(classesTree(doc).find(open + " With \\command:= \"%1\";"), std::string::npos) << "Access has no name";
    clean();
}

// A window that takes its time to answer WM_GETTEXT.
LRESULT CALLBACK slowText(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_GETTEXT) Sleep(300);
    return DefWindowProcW(window, message, wParam, lParam);
}

// Notepad as a child process, ended with the test.
struct Notepad {
    PROCESS_INFORMATION info{};
    Notepad() {
        STARTUPINFOW start{};
        start.cb = sizeof start;
        wchar_t command[] = L"C:\\windows\\notepad.exe";
        CreateProcessW(nullptr, command, 0, 0, FALSE, 0, 0, 0, &start, &info);
        WaitForInputIdle(info.hProcess, 10000);
    }
    ~Notepad() { TerminateProcess(info.hProcess, 0), CloseHandle(info.hThread), CloseHandle(info.hProcess); }
};

TEST(Deploy, WindowsAndProcessesAreFoundByEitherFamilysFunctions) {
    const Notepad notepad;
    HWND pad = FindWindowW(L"Notepad", nullptr),
         own = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 9, 9, 0, 0, 0, 0);
    HWND gone = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 9, 9, 0, 0, 0, 0);
    ASSERT_TRUE(pad && own && DestroyWindow(gone)) << "no window: is the display there?";
    std::atomic<HWND> slow = nullptr;
    std::thread owner([&] {  // the slow window answers on a thread of its own, until WM_QUIT
        const WNDCLASSW kind{0, slowText, 0, 0, 0, 0, 0, 0, 0, L"LarkSlowText"};
        RegisterClassW(&kind);
        slow = CreateWindowExW(0, L"LarkSlowText", L"Slow \u0416 text", WS_POPUP, 0, 0, 9, 9, 0, 0, 0, 0);
        for (MSG m; GetMessageW(&m, nullptr, 0, 0) > 0;)
            DispatchMessageW(&m);
        DestroyWindow(slow);
    });
    while (!slow)
        Sleep(10);
    Cases c;
    const std::pair<const char*, HWND> windows[] = {{"Slow", slow}, {"Pad", pad}, {"Own", own}, {"Gone", gone}};
    for (auto [name, window] : windows)
        c.let(name, LONG(INT_PTR(window))), c.mask(std::to_wstring(LONG(INT_PTR(window))), name);
    c.let("PadId", LONG(notepad.info.dwProcessId)), c.let("OwnId", LONG(GetCurrentProcessId()));
    c.mask(std::to_wstring(INT_PTR(GetModuleHandleW(nullptr))), "module");
    c.run(R"(
CDeploy2.{GetWindowClassName Slow, GetWindowText Slow} => 'LarkSlowText' | 'Slow ' & ChrW(1046) & ' text'
CDeploy2.WMGETTEXT Slow, 0                    => ''
CDeploy2.WMGETTEXT Slow, 5000                 => 'Slow ' & ChrW(1046) & ' text'
CDeploy2.{GetWindowClassName Pad, GetWindowText Pad} => 'Notepad' | 'Untitled - Notepad'
CDeploy2.WMGETTEXT Pad, 5000                  => 'Untitled - Notepad'
CDeploy2.{GetWindowClassName Gone, GetWindowText -1} => '' | ''
CDeploy2.WMGETTEXT -1, 100                    => ''
CProcess.{ExePathFromWnd Pad, ExePathFromProcID PadId} => 'C:\windows\notepad.exe' | 'C:\windows\notepad.exe'
CProcess.{ExePathFromWnd Own, ExePathFromProcID OwnId} => 'C:\larklib\bin\sysinfo_test.exe' | 'C:\larklib\bin\sysinfo_test.exe'
CProcess.{ExePathFromWnd Gone, ExePathFromProcID 0, ExePathFromProcID -1} => '' | '' | ''
CProcess.{ModFromWnd Own, ModFromWnd Gone, ModFromWnd 0} => LongLong %module% | LongLong 0 | LongLong 0
CProcess.{GetEXEhWnd 'NOTEPAD.EXE', GetEXEhWnd 'C:\windows\notepad.exe', GetEXEhWnd ''} => Long %Pad% | Long 0 | Long 0
CProcess.GetEXEhWnd String(70000, 'x')        => Long 0
)");
    // Several windows of one program: the highest in Z order.
    const auto topmostOfOurs = [&](HWND window) {
        SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        return c.outcome("CProcess.GetEXEhWnd 'sysinfo_test.exe'");
    };
    EXPECT_EQ(topmostOfOurs(slow) + L" " + topmostOfOurs(own), L"Long %Slow% Long %Own%");

    // The 9x family's branches: ANSI texts, and the tool-help snapshots, whose names Wine gives
    // without a folder.
    sysinfo::Deploy nine(sysinfo::VersionRecord{4, 10, sysinfo::platformWindows});
    files::Processes toolHelp(nine);
    EXPECT_EQ(nine.GetWindowText(slow) + u"|" + nine.WMGETTEXT(slow, 5000) + u"|" + nine.GetWindowClassName(pad),
              u"Slow ? text|Slow ? text|Notepad");
    EXPECT_EQ(toolHelp.ExePathFromProcID(notepad.info.dwProcessId) + u"|" + toolHelp.ExePathFromWnd(own) + u"|" +
                  toolHelp.ExePathFromWnd(gone),
              u"notepad.exe|sysinfo_test.exe|");
    EXPECT_EQ(toolHelp.GetEXEhWnd(u"Notepad.exe"), pad);
    EXPECT_EQ(toolHelp.ModFromWnd(own), nullptr) << "Wine numbers a process's module apart from its modules";
    PostThreadMessageW(GetWindowThreadProcessId(slow, nullptr), WM_QUIT, 0, 0);
    owner.join(), DestroyWindow(own);
}

// The link colour as three members read it, each new instance from the setting as it stands then.
TEST(Deploy, LinkColourDisplayDepthBrowserAndRuntimeReport) {
    const char* key = "Software\\Microsoft\\Internet Explorer\\Settings";  // Wine's prefix has no link colour
    Cases c;
    auto colour = [&](const char* text, const std::string& expected) {
        text ? RegSetKeyValueA(HKEY_CURRENT_USER, key, "Anchor Color", REG_SZ, text, DWORD(strlen(text) + 1))
             : RegDeleteKeyValueA(HKEY_CURRENT_USER, key, "Anchor Color");
        c.let("D", createByProgId<IDispatch>(L"LARKLIB8.CDeploy2").get());
        c.run("D.{AnchorColor, AnchorColorString, AnchorColorRTFString} => " + expected);
    };
    colour(nullptr, R"(ULong 16711680 | '0,0,255' | '\red0\green0\blue255')");
    colour("1,2", R"(ULong 16711680 | '1,2' | '\red0\green0\blue255')");
    colour("0,0,0", R"(ULong 16711680 | '0,0,0' | '\red0\green0\blue0')");
    colour("255, 1 ,0", R"(ULong 511 | '255, 1 ,0' | '\red255\green 1 \blue0')");
    RegSetKeyValueA(HKEY_CURRENT_USER, key, "Anchor Color", REG_SZ, "0,128,0", 8);
    c.run(
        R"(D.{AnchorColor, AnchorColorString, AnchorColorRTFString} => ULong 511 | '255, 1 ,0' | '\red255\green 1 \blue0')");
    colour("a,b,c", R"(ULong 16711680 | 'a,b,c' | '\reda\greenb\bluec')");
    RegSetKeyValueA(HKEY_CURRENT_USER, key, "Anchor Color", REG_SZ, "0,128,0", 8);
    c.run("D.{AnchorColor, AnchorColorString} => ULong 32768 | 'a,b,c'");  // no number, nothing kept
    RegDeleteKeyValueA(HKEY_CURRENT_USER, key, "Anchor Color");

    const HDC screen = GetDC(nullptr);
    EXPECT_EQ(c.outcome("CDeploy2.DisplayBPP"), L"Long " + std::to_wstring(GetDeviceCaps(screen, BITSPIXEL)));
    ReleaseDC(nullptr, screen);
    c.run("CDeploy2.IEVersion => Double 6");  // Wine's shell utility library says 6.0
    c.run("CVersion.Create 'MSVCRT.DLL' => Empty");
    const std::wstring msvcrt = c.outcome("CVersion.FullFileVersion");
    ComPtr<_CDeploy2> deploy = createByProgId<_CDeploy2>(L"LARKLIB8.CDeploy2");
    unique_bstr report;
    ASSERT_EQ(S_OK, deploy->GetDLLVersions(report.put()));
    const std::wstring text = str(report.get()), rule = std::wstring(80, L'-') + L"\r\n";
    const std::wstring msvcrtLine = L"          MSVCRT.DLL " + msvcrt.substr(1, msvcrt.size() - 2) + L"\r\n";
    const std::wstring head = rule + msvcrtLine + L"           MFC40.DLL \r\n";  // a missing file
    EXPECT_EQ(text.substr(0, head.size()), head);
    EXPECT_EQ(text.substr(text.size() - 84), L"\r\n" + rule);
    size_t lines = 0, empty = 0, found = 0;
    for (size_t at = 0; (found = text.find(L"\r\n", at)) != std::wstring::npos; at = found + 2)
        ++lines, empty += found == at;
    EXPECT_EQ(std::pair(lines, empty), std::pair(size_t(35), size_t(6)));
    EXPECT_NE(text.find(L"\r\n\r\n" + msvcrtLine + L"         STDOLE2.TLB "), std::wstring::npos);
}

}  // namespace
}  // namespace lark::test
