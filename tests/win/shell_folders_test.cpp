// CServicesSpecialFolders2 against the Wine prefix's real folders. Expected values come from the
// wide-character shell and kernel calls made here, independently of the DLL's ANSI path.
#include "com_support.hpp"

#include <shellapi.h>
#include <shlobj.h>

namespace lark::test {
namespace {

bool endsInOneSeparator(const std::wstring& path) {
    return path.size() >= 2 && path.back() == L'\\' && path[path.size() - 2] != L'\\';
}

bool isDirectory(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// What the shell says of an identifier: its display name and file-system path ("" for none;
// Wine gives a virtual folder's parsing name "::{...}" as its path, Windows gives none).
struct ShellFolder {
    bool known = false;
    std::wstring name, path;
};
ShellFolder shellFolder(int csidl) {
    ShellFolder f;
    ITEMIDLIST* list = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &list)) || !list) return f;
    f.known = true;
    SHFILEINFOW info{};
    SHGetFileInfoW(reinterpret_cast<LPCWSTR>(list), 0, &info, sizeof info, SHGFI_PIDL | SHGFI_DISPLAYNAME);
    f.name = info.szDisplayName;
    wchar_t path[MAX_PATH]{};
    if (SHGetPathFromIDListW(list, path) && std::wstring(path).rfind(L"::", 0) != 0) f.path = path;
    CoTaskMemFree(list);
    return f;
}

std::wstring folderServicePath(int csidl) {
    wchar_t path[MAX_PATH]{};
    return SHGetFolderPathW(nullptr, csidl, nullptr, 0, path) == S_OK ? path : L"";
}

std::wstring upper(std::wstring s) {
    CharUpperBuffW(s.data(), static_cast<DWORD>(s.size()));
    return s;
}

using Getter = HRESULT (STDMETHODCALLTYPE _CServicesSpecialFolders2::*)(BSTR*);

std::wstring get(_CServicesSpecialFolders2* folders, Getter getter) {
    unique_bstr value;
    EXPECT_EQ(S_OK, (folders->*getter)(value.put()));
    return str(value.get());
}

class ShellFolders : public testing::Test {
protected:
    ComPtr<_CServicesSpecialFolders2> folders =
        createByProgId<_CServicesSpecialFolders2>(L"LARKLIB8.CServicesSpecialFolders2");

    std::wstring path(LONG csidl) {
        unique_bstr value;
        EXPECT_EQ(S_OK, folders->PathFromCSIDL(csidl, value.put()));
        return str(value.get());
    }
    std::wstring displayName(LONG csidl) {
        unique_bstr value;
        EXPECT_EQ(S_OK, folders->DisplayNameFromCSIDL(csidl, value.put()));
        return str(value.get());
    }
    LONG csidlOf(const std::wstring& name) {
        Text text(name);
        LONG id = -99;
        EXPECT_EQ(S_OK, folders->CSIDLFromDisplayName(text.value, &id));
        return id;
    }
};

TEST_F(ShellFolders, TheSixFoldersArePrefixFoldersEndingInOneSeparator) {
    ASSERT_TRUE(folders);
    wchar_t windows[MAX_PATH]{}, system[MAX_PATH]{}, temp[MAX_PATH]{}, longTemp[MAX_PATH]{};
    ASSERT_TRUE(GetWindowsDirectoryW(windows, MAX_PATH));
    ASSERT_TRUE(GetSystemDirectoryW(system, MAX_PATH));
    ASSERT_TRUE(GetTempPathW(MAX_PATH, temp));
    ASSERT_TRUE(GetLongPathNameW(temp, longTemp, MAX_PATH));
    const struct {
        const wchar_t* name;
        Getter getter;
        std::wstring expected;
    } cases[] = {
        {L"DesktopPath", &_CServicesSpecialFolders2::get_DesktopPath, shellFolder(CSIDL_DESKTOP).path},
        {L"DocumentsPath", &_CServicesSpecialFolders2::get_DocumentsPath, shellFolder(CSIDL_PERSONAL).path},
        {L"FavoritesPath", &_CServicesSpecialFolders2::get_FavoritesPath, shellFolder(CSIDL_FAVORITES).path},
        {L"TemporaryPath", &_CServicesSpecialFolders2::get_TemporaryPath, longTemp},
        {L"WindowsPath", &_CServicesSpecialFolders2::get_WindowsPath, windows},
        {L"SystemPath", &_CServicesSpecialFolders2::get_SystemPath, system},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::wstring path = get(folders.get(), c.getter);
        EXPECT_TRUE(endsInOneSeparator(path)) << path;
        EXPECT_TRUE(isDirectory(path)) << path;
        EXPECT_EQ(withSeparator(c.expected), path);
        EXPECT_EQ(path, get(folders.get(), c.getter)) << "a second read";
    }
}

TEST_F(ShellFolders, TemporaryPathIsCachedPerInstance) {
    ASSERT_TRUE(folders);
    std::wstring first = get(folders.get(), &_CServicesSpecialFolders2::get_TemporaryPath);
    std::wstring windows = get(folders.get(), &_CServicesSpecialFolders2::get_WindowsPath);
    ASSERT_NE(first, windows);

    // Point the temporary folder elsewhere: the instance keeps its answer, a new one sees the change.
    wchar_t saved[MAX_PATH]{};
    DWORD had = GetEnvironmentVariableW(L"TMP", saved, MAX_PATH);
    ASSERT_TRUE(SetEnvironmentVariableW(L"TMP", windows.c_str()));
    std::wstring cached = get(folders.get(), &_CServicesSpecialFolders2::get_TemporaryPath);
    auto fresh = createByProgId<_CServicesSpecialFolders2>(L"LARKLIB8.CServicesSpecialFolders2");
    std::wstring seen = fresh ? get(fresh.get(), &_CServicesSpecialFolders2::get_TemporaryPath) : L"";
    SetEnvironmentVariableW(L"TMP", had ? saved : nullptr);

    EXPECT_EQ(first, cached);
    EXPECT_EQ(windows, seen) << "one separator even where the variable had one";
}

TEST_F(ShellFolders, PathsAndNamesFromIdentifiers) {
    ASSERT_TRUE(folders);
    EXPECT_EQ(L"", path(CSIDL_PRINTERS)) << "a folder without file-system location";
    EXPECT_EQ(L"", path(CSIDL_INTERNET));
    EXPECT_EQ(get(folders.get(), &_CServicesSpecialFolders2::get_WindowsPath), path(CSIDL_WINDOWS));
    // Shell, folder service and environment agree on Program Files.
    std::wstring programFiles = path(CSIDL_PROGRAM_FILES);
    wchar_t expanded[MAX_PATH]{};
    ASSERT_GT(ExpandEnvironmentStringsW(L"%ProgramFiles%", expanded, MAX_PATH), 1u);
    EXPECT_EQ(withSeparator(folderServicePath(CSIDL_PROGRAM_FILES)), programFiles);
    EXPECT_EQ(withSeparator(expanded), programFiles);
    EXPECT_TRUE(isDirectory(programFiles)) << programFiles;

    std::wstring documents = displayName(CSIDL_PERSONAL);
    EXPECT_FALSE(documents.empty());
    EXPECT_EQ(shellFolder(CSIDL_PERSONAL).name, documents);
    EXPECT_EQ(shellFolder(CSIDL_PRINTERS).name, displayName(CSIDL_PRINTERS)) << "virtual folders have names";
    for (LONG unknown : {-1L, 200L, 0x7FFFFFFFL}) {
        EXPECT_EQ(L"", path(unknown)) << unknown;
        EXPECT_EQ(L"", displayName(unknown)) << unknown;
    }
}

TEST_F(ShellFolders, CSIDLFromDisplayNameAcceptsNamesAndPaths) {
    ASSERT_TRUE(folders);
    std::wstring documents = get(folders.get(), &_CServicesSpecialFolders2::get_DocumentsPath);
    std::wstring bare = documents.substr(0, documents.size() - 1);
    EXPECT_EQ(CSIDL_PERSONAL, csidlOf(documents));
    EXPECT_EQ(CSIDL_PERSONAL, csidlOf(bare));
    EXPECT_EQ(CSIDL_PERSONAL, csidlOf(bare + L"/"));
    EXPECT_EQ(CSIDL_PERSONAL, csidlOf(upper(bare)));
    EXPECT_EQ(-1, csidlOf(bare + L"\\\\")) << "only one separator is dropped";

    std::wstring name = displayName(CSIDL_PERSONAL);
    ASSERT_NE(upper(name), name) << name;
    EXPECT_EQ(CSIDL_PERSONAL, csidlOf(upper(name)));
    EXPECT_EQ(-1, csidlOf(L"No such folder"));
    EXPECT_EQ(-1, csidlOf(path(CSIDL_WINDOWS))) << "identifiers above 34 are never found";

    // "" matches the first identifier whose name or path is empty.
    LONG firstEmpty = -1;
    for (int i = 0; i < 35 && firstEmpty < 0; ++i) {
        ShellFolder f = shellFolder(i);
        if (f.name.empty() || f.path.empty()) firstEmpty = i;
    }
    EXPECT_EQ(firstEmpty, csidlOf(L""));
    LONG id = -99;
    EXPECT_EQ(S_OK, folders->CSIDLFromDisplayName(nullptr, &id));
    EXPECT_EQ(firstEmpty, id) << "a null string is the empty string";
}

TEST_F(ShellFolders, LateBoundCalls) {
    ASSERT_TRUE(folders);
    ComPtr<IDispatch> late = folders.query<IDispatch>();
    ASSERT_TRUE(late);
    Call documents = invoke(late.get(), L"DocumentsPath", {}, {}, DISPATCH_PROPERTYGET);
    ASSERT_EQ(S_OK, documents.hr);
    ASSERT_EQ(VT_BSTR, documents.result.vt);
    EXPECT_EQ(get(folders.get(), &_CServicesSpecialFolders2::get_DocumentsPath), str(documents.result.bstrVal));

    unique_variant windows = vStr(L"36");  // a script's string, coerced to Long
    Call byPath = invoke(late.get(), L"pathfromcsidl", {&windows});
    ASSERT_EQ(S_OK, byPath.hr);
    EXPECT_EQ(path(CSIDL_WINDOWS), str(byPath.result.bstrVal));

    Call found = invoke(late.get(), L"CSIDLFromDisplayName", {&documents.result});
    ASSERT_EQ(S_OK, found.hr);
    ASSERT_EQ(VT_I4, found.result.vt);
    EXPECT_EQ(CSIDL_PERSONAL, found.result.lVal);

    unique_variant five = vLong(CSIDL_PERSONAL);
    Call name = invoke(late.get(), L"DisplayNameFromCSIDL", {}, {{L"CSIDL", &five}});
    ASSERT_EQ(S_OK, name.hr);
    EXPECT_EQ(displayName(CSIDL_PERSONAL), str(name.result.bstrVal));
}

}  // namespace
}  // namespace lark::test
