// CServicesFileNames2 as COM clients see it: members wired to their rules, the platform wrappers
// against the prefix's real folders, drives, short names and device contexts, each member's error
// policy, and ByRef write-back. The string rules themselves are covered by path_names_test.
#include "com_support.hpp"

#include <shlobj.h>

namespace lark::test {
namespace {

using Names = _CServicesFileNames2;
using StringMember = HRESULT (STDMETHODCALLTYPE Names::*)(BSTR*, BSTR*);

// A String function member called through the dual interface; the argument must stay as it was.
std::wstring call(Names* names, StringMember member, const std::wstring& argument) {
    Text in(argument);
    BSTR out = nullptr;
    EXPECT_EQ(S_OK, (names->*member)(in.ref(), &out));
    EXPECT_EQ(argument, in.text());
    unique_bstr owned(out);
    return str(out);
}

std::wstring folderPath(int csidl) {
    wchar_t buffer[MAX_PATH] = {};
    EXPECT_EQ(S_OK, SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, buffer));
    return withSeparator(buffer);
}

std::wstring temporaryPath() {
    wchar_t buffer[MAX_PATH] = {};
    EXPECT_NE(0u, GetTempPathW(MAX_PATH, buffer));
    return withSeparator(buffer);
}

// A screen DC, or a memory DC where no display is available (gdi32 is looked up, as the test
// programs do not link it).
class DeviceContext {
public:
    DeviceContext() : dc_(GetDC(nullptr)) {
        if (!dc_ && gdi_) dc_ = reinterpret_cast<HDC(WINAPI*)(HDC)>(proc("CreateCompatibleDC"))(nullptr), memory_ = true;
    }
    DeviceContext(const DeviceContext&) = delete;
    DeviceContext& operator=(const DeviceContext&) = delete;
    ~DeviceContext() {
        if (dc_ && !memory_) ReleaseDC(nullptr, dc_);
        if (dc_ && memory_) reinterpret_cast<BOOL(WINAPI*)(HDC)>(proc("DeleteDC"))(dc_);
    }
    LONG handle() const { return static_cast<LONG>(reinterpret_cast<INT_PTR>(dc_)); }  // as clients pass it

private:
    void* proc(const char* name) const { return reinterpret_cast<void*>(GetProcAddress(gdi_, name)); }
    HMODULE gdi_ = LoadLibraryW(L"gdi32.dll");
    HDC dc_ = nullptr;
    bool memory_ = false;
};

class FileNames : public testing::Test {
protected:
    ComPtr<Names> names = createByProgId<Names>(L"LARKLIB8.CServicesFileNames2");
    ComPtr<IDispatch> late = names.query<IDispatch>();
};

TEST_F(FileNames, StringMembersReachTheirRules) {
    ASSERT_TRUE(names);
    const struct {
        StringMember member;
        const wchar_t *in, *out;
    } cases[] = {{&Names::FileNameFromPath, L"C:\\a\\b.txt", L"b.txt"},
                 {&Names::PathFromFullPath, L"C:\\a\\b.txt", L"C:\\a\\"},
                 {&Names::PathWithoutExtension, L"C:\\a\\b.txt", L"C:\\a\\b"},
                 {&Names::ExtensionFromPath, L"C:\\a\\b.txt", L".txt"},
                 {&Names::GetParentFolder, L"C:\\a\\b.txt", L"C:\\a"},
                 {&Names::GetParentFolderName, L"C:\\a\\b\\", L"C:\\a\\"},
                 {&Names::GetBaseName, L"C:\\a\\b.txt", L"b"},
                 {&Names::GetDriveName, L"C:\\a", L"C"},
                 {&Names::GetDriveName, L"\\\\server\\share", L""},
                 {&Names::FixURIPath, L"C:/My%20Files/a", L"C:\\My Files\\a"},
                 {&Names::FixURISpecialCharacters, L"a%2541", L"aA"}};
    for (const auto& c : cases)
        EXPECT_EQ(c.out, call(names.get(), c.member, c.in));

    Text a(L"C:\\a"), b(L"/b");
    unique_bstr joined;
    ASSERT_EQ(S_OK, names->ConcatenatePath(a.ref(), b.ref(), joined.put()));
    EXPECT_EQ(L"C:\\a\\b\\", str(joined.get()));

    // %XX maps the byte through the system ANSI code page.
    for (int byte : {0xE9, 0x80, 0xFF}) {
        const char ansi = static_cast<char>(byte);
        wchar_t expected = 0;
        ASSERT_EQ(1, MultiByteToWideChar(CP_ACP, 0, &ansi, 1, &expected, 1));
        wchar_t escape[8];
        swprintf(escape, 8, L"x%%%02X", byte);
        EXPECT_EQ(std::wstring(L"x") + expected, call(names.get(), &Names::FixURISpecialCharacters, escape));
    }
}

TEST_F(FileNames, ErrorPolicyPerMember) {
    ASSERT_TRUE(names);
    // Trapping members end quietly with the result as it stood: here lrkInstrRev's error 5 for
    // a lone separator, and variables that are not there to be written.
    EXPECT_EQ(L"", call(names.get(), &Names::GetParentFolder, L"\\"));
    EXPECT_EQ(L"", call(names.get(), &Names::GetParentFolderName, L"\\"));
    EXPECT_EQ(S_OK, names->FixFileProtocol(nullptr));
    EXPECT_EQ(S_OK, names->MakeLongPath(nullptr));
    VARIANT_BOOL repaired = VARIANT_TRUE;
    EXPECT_EQ(S_OK, names->ValidateFileName(nullptr, VARIANT_TRUE, &repaired));
    EXPECT_EQ(VARIANT_FALSE, repaired);

    // The others pass the failure on, with the error information.
    SetErrorInfo(0, nullptr);
    EXPECT_EQ(vbError(5), names->AppendPathSeparator(nullptr));
    EXPECT_EQ(L"LARKLIB8: Invalid procedure call or argument", lastError());
    EXPECT_EQ(vbError(5), names->CompactedPathSh2(nullptr, 100, 0));

    Text path(L"C:\\a");
    EXPECT_EQ(E_POINTER, names->GetBaseName(path.ref(), nullptr)) << "no out parameter, whatever the policy";
}

TEST_F(FileNames, DrivesOfThePrefix) {
    ASSERT_TRUE(names);
    const DWORD drives = GetLogicalDrives();
    ASSERT_TRUE(drives & (1u << 2)) << "the prefix has a drive C";
    wchar_t missing = L'Y';
    while (missing > L'C' && (drives & (1u << (missing - L'A'))))
        --missing;
    ASSERT_GT(missing, L'C');

    const auto exists = [&](const std::wstring& path) {
        Text in(path);
        VARIANT_BOOL result = 7;
        EXPECT_EQ(S_OK, names->DriveExists(in.ref(), &result));
        return result;
    };
    for (const wchar_t* found : {L"C", L"c:\\", L"C:"})
        EXPECT_EQ(VARIANT_TRUE, exists(found)) << found;
    for (const std::wstring& absent :
         {std::wstring(1, missing) + L":\\", std::wstring(L"C:\\Windows"), std::wstring(), std::wstring(32000, L'C')})
        EXPECT_EQ(VARIANT_FALSE, exists(absent)) << absent.substr(0, 10);
    EXPECT_EQ(L"c", call(names.get(), &Names::GetDriveName, L"c:\\windows"));
}

// A folder and a file with long names under the prefix's temporary folder, removed at the end.
class LongNames : public FileNames {
protected:
    void SetUp() override {
        folder = temporaryPath() + L"lark file names long folder " + std::to_wstring(GetCurrentProcessId());
        file = folder + L"\\a rather long file name.text";
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << GetLastError();
        HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        CloseHandle(h);
    }
    void TearDown() override {
        DeleteFileW(file.c_str());
        RemoveDirectoryW(folder.c_str());
    }
    static std::wstring shortName(const std::wstring& path) {
        wchar_t buffer[MAX_PATH] = {};
        const DWORD n = GetShortPathNameW(path.c_str(), buffer, MAX_PATH);
        EXPECT_TRUE(n > 0 && n < MAX_PATH);
        return std::wstring(buffer, n);
    }
    std::wstring folder, file;
};

TEST_F(LongNames, MakeLongPathExpandsRealShortNames) {
    ASSERT_TRUE(names);
    const std::wstring shortFile = shortName(file);
    ASSERT_NE(std::wstring::npos, shortFile.find(L'~')) << "the platform made no short name";
    const auto expand = [&](const std::wstring& path) {
        Text variable(path);
        EXPECT_EQ(S_OK, names->MakeLongPath(variable.ref()));
        return variable.text();
    };
    EXPECT_EQ(file, expand(shortFile));
    EXPECT_EQ(folder + L"\\", expand(shortName(folder) + L"\\")) << "the trailing separator stays";
    EXPECT_EQ(L"C:\\no such folder\\x", expand(L"C:\\no such folder\\x")) << "no '~': nothing looked up";
    EXPECT_EQ(L"C:\\NOSUCH~1\\X~1.TXT", expand(L"C:\\NOSUCH~1\\X~1.TXT")) << "a failed lookup changes nothing";

    unique_variant variable = vStr(shortFile.c_str());
    unique_variant ref = vRef(&variable);
    ASSERT_EQ(S_OK, invoke(late.get(), L"MakeLongPath", {&ref}).hr);
    ASSERT_EQ(VT_BSTR, variable.vt);
    EXPECT_EQ(file, str(variable.bstrVal));
}

TEST_F(FileNames, CompactedPathsOnARealDeviceContext) {
    ASSERT_TRUE(names);
    DeviceContext dc;
    ASSERT_NE(0, dc.handle());
    const std::wstring path = L"C:\\a rather long folder name\\and another long folder name\\file name.txt";
    const auto compactedSh = [&](const std::wstring& text, LONG width) {
        Text in(text);  // by value: stays as it was
        BSTR out = nullptr;
        EXPECT_EQ(S_OK, names->CompactedPathSh(in.value, width, dc.handle(), &out));
        unique_bstr owned(out);
        return str(out);
    };
    const auto compactedSh2 = [&](const std::wstring& text, LONG width, LONG hdc) {
        Text variable(text);
        EXPECT_EQ(S_OK, names->CompactedPathSh2(variable.ref(), width, hdc));
        return variable.text();
    };
    const std::wstring compact = compactedSh(path, 150);
    EXPECT_LT(compact.size(), path.size());
    EXPECT_NE(std::wstring::npos, compact.find(L"...\\"));
    EXPECT_EQ(compact, compactedSh2(path, 150, dc.handle())) << "the same text through either call";
    EXPECT_EQ(path, compactedSh2(path, 100000, dc.handle())) << "wide enough already";
    EXPECT_LT(compactedSh2(path, 150, 0).size(), path.size()) << "without a DC the screen's is used";

    // On a Unicode system CompactedPathSh2 makes the wide call, so characters outside the ANSI
    // code page survive it, and only it.
    const std::wstring polish = L"C:\\\x0141\u00F3d\x017A\\x.txt";
    EXPECT_EQ(polish, compactedSh2(polish, 100000, dc.handle()));
    const std::wstring narrowed = compactedSh(polish, 100000);
    EXPECT_EQ(polish.size(), narrowed.size());
    EXPECT_NE(polish, narrowed);

    // The ellipsis can make a short folder part longer than it was; the result never grows. (The
    // platform measures every prefix of a path with folders, so that long path has 4,000.)
    for (const std::wstring& hostile : {L"a\\" + std::wstring(200, L'n'), std::wstring(L"a\\b"),
                                        std::wstring(32000, L'x'), L"C:\\" + std::wstring(4000, L'y') + L"\\z.txt",
                                        std::wstring(), std::wstring(L"\\"), std::wstring(L"ab\0cd", 5)}) {
        for (LONG width : {0L, 1L, 40L, -1L}) {
            const std::wstring one = compactedSh(hostile, width), two = compactedSh2(hostile, width, dc.handle());
            EXPECT_LE(one.size(), hostile.size());
            EXPECT_LE(two.size(), hostile.size());
            EXPECT_EQ(std::wstring::npos, one.find(L'\0'));
            EXPECT_EQ(std::wstring::npos, two.find(L'\0'));
        }
    }
}

TEST_F(FileNames, BeautifyRoundTripsOnTheRealFolders) {
    ASSERT_TRUE(names);
    Names* n = names.get();
    const std::pair<std::wstring, std::wstring> folders[] = {{L"Favorites", folderPath(CSIDL_FAVORITES)},
                                                             {L"My Documents", folderPath(CSIDL_PERSONAL)},
                                                             {L"Desktop", folderPath(CSIDL_DESKTOPDIRECTORY)},
                                                             {L"Temporary", temporaryPath()}};
    for (const auto& [display, path] : folders) {
        SCOPED_TRACE(std::string(path.begin(), path.end()));
        EXPECT_EQ(display + L"\\sub\\x.txt", call(n, &Names::BeautifyPath, path + L"sub\\x.txt"));
        EXPECT_EQ(display, call(n, &Names::BeautifyPath, path));
        EXPECT_EQ(display, call(n, &Names::BeautifyPath, path.substr(0, path.size() - 1)));
        EXPECT_EQ(path + L"sub\\x.txt", call(n, &Names::UnBeautifyPath, display + L"\\sub\\x.txt"));
        EXPECT_EQ(path, call(n, &Names::UnBeautifyPath, display));
        EXPECT_EQ(path + L"c", call(n, &Names::UnBeautifyPath, call(n, &Names::BeautifyPath, path + L"c")));
    }
    EXPECT_EQ(folderPath(CSIDL_PERSONAL) + L"a.txt", call(n, &Names::UnBeautifyPath, L"documents\\a.txt"));
    EXPECT_EQ(L"C:\\elsewhere", call(n, &Names::BeautifyPath, L"C:\\elsewhere\\"));
}

TEST_F(FileNames, FolderCachesLiveAsLongAsTheInstance) {
    ASSERT_TRUE(names);
    const std::wstring temporary = temporaryPath(), moved = L"C:\\larklib\\";
    ASSERT_EQ(L"Temporary\\t", call(names.get(), &Names::BeautifyPath, temporary + L"t"));

    // Move this process's temporary folder after BeautifyPath has filled its slots: they keep
    // the old folder, while UnBeautifyPath's own slots and a new instance see the move.
    wchar_t saved[MAX_PATH] = {};
    const bool hadTmp = GetEnvironmentVariableW(L"TMP", saved, MAX_PATH) > 0;
    ASSERT_TRUE(SetEnvironmentVariableW(L"TMP", moved.c_str()));
    ComPtr<Names> fresh = createByProgId<Names>(L"LARKLIB8.CServicesFileNames2");
    EXPECT_EQ(L"Temporary\\t", call(names.get(), &Names::BeautifyPath, temporary + L"t"));
    EXPECT_EQ(moved + L"t", call(names.get(), &Names::UnBeautifyPath, L"Temporary\\t"));
    EXPECT_TRUE(fresh);
    if (fresh) {
        EXPECT_EQ(L"Temporary\\t", call(fresh.get(), &Names::BeautifyPath, moved + L"t"));
    }
    SetEnvironmentVariableW(L"TMP", hadTmp ? saved : nullptr);
    EXPECT_EQ(moved + L"t", call(names.get(), &Names::UnBeautifyPath, L"Temporary\\t")) << "not refreshed";
}

TEST_F(FileNames, ByRefMembersWriteBack) {
    ASSERT_TRUE(names && late);
    Text name(L"  a:b  ");
    VARIANT_BOOL valid = VARIANT_TRUE;
    ASSERT_EQ(S_OK, names->ValidateFileName(name.ref(), VARIANT_FALSE, &valid));
    EXPECT_EQ(VARIANT_FALSE, valid);
    EXPECT_EQ(L"  a:b  ", name.text()) << "checking writes nothing back";
    ASSERT_EQ(S_OK, names->ValidateFileName(name.ref(), VARIANT_TRUE, &valid));
    EXPECT_EQ(VARIANT_TRUE, valid);
    EXPECT_EQ(L"a_b", name.text());

    // Late-bound, a script's variables (VT_BYREF|VT_VARIANT) come back changed; a number for a
    // String parameter comes back as a string.
    unique_variant variable, fixIt = vBool(true), checkOnly = vBool(false);
    unique_variant ref = vRef(&variable);
    const struct {
        const wchar_t* member;
        unique_variant before;
        const wchar_t* after;
    } cases[] = {{L"AppendPathSeparator", vStr(L"C:\\a"), L"C:\\a\\"},
                 {L"AppendPathSeparator", vLong(12), L"12\\"},
                 {L"FixFileProtocol", vStr(L"FILE:///C:/My%20Files/a.txt"), L"C:\\My Files\\a.txt"},
                 {L"FixFileProtocol", vStr(L"file://server/share%20x"), L"server\\share x"},
                 {L"FixFileProtocol", vStr(L"C:/x%20y"), L"C:/x%20y"}};
    for (const auto& c : cases) {
        ASSERT_EQ(S_OK, VariantCopy(&variable, const_cast<VARIANT*>(static_cast<const VARIANT*>(&c.before))));
        ASSERT_EQ(S_OK, invoke(late.get(), c.member, {&ref}).hr) << c.member;
        ASSERT_EQ(VT_BSTR, variable.vt);
        EXPECT_EQ(c.after, str(variable.bstrVal));
    }
    variable = vStr(L" <bad>|name ");
    Call checked = invoke(late.get(), L"ValidateFileName", {&ref, &checkOnly});
    ASSERT_EQ(S_OK, checked.hr);
    EXPECT_EQ(VARIANT_FALSE, checked.result.boolVal);
    EXPECT_EQ(L" <bad>|name ", str(variable.bstrVal));
    Call repaired = invoke(late.get(), L"ValidateFileName", {}, {{L"FixIt", &fixIt}, {L"Filename", &ref}});
    ASSERT_EQ(S_OK, repaired.hr);
    EXPECT_EQ(VARIANT_TRUE, repaired.result.boolVal);
    EXPECT_EQ(L"_bad__name", str(variable.bstrVal));
    unique_variant value = vStr(L"C:\\a\\b.tar.gz");  // plain values for the read-only ones
    EXPECT_EQ(L"b.tar", str(invoke(late.get(), L"GetBaseName", {&value}).result.bstrVal));
}

}  // namespace
}  // namespace lark::test
