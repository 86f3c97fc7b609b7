#include "files/ShellFolders.hpp"

#include "frame/errors.hpp"
#include "frame/per_thread.hpp"
#include "frame/platform_text.hpp"
#include "frame/raii.hpp"
#include "sysinfo/CDeploy2.hpp"
#include "sysinfo/version_rules.hpp"

#include <shellapi.h>
#include <shlobj.h>

#include <cstring>

namespace lark::files {

using com::traps;

namespace {

constexpr int32_t kTableSize = 35;  // identifiers 0 to 34 take part in name lookups

// The text of an ANSI buffer up to its first NUL, reading at most max bytes.
std::u16string stringFromAnsiBuffer(const char* buffer, size_t max) {
    return com::fromAnsi({buffer, strnlen(buffer, max)});
}

std::u16string withoutSeparators(std::u16string path) {
    while (!path.empty() && path.back() == u'\\')
        path.pop_back();
    return path;
}

// Ends a path in exactly one backslash; "" becomes "\". BeautifyPath and its inverse rely on it.
std::u16string withOneSeparator(std::u16string path) { return withoutSeparators(std::move(path)) + u'\\'; }

// The shell's item list for a special folder; empty when the shell does not know the identifier.
com::unique_pidl folderLocation(int32_t csidl) {
    ITEMIDLIST* list = nullptr;
    HRESULT hr = SHGetSpecialFolderLocation(nullptr, csidl, &list);
    com::unique_pidl owned(list);  // freed even should a failing call have left one behind
    if (FAILED(hr)) owned.reset();
    return owned;
}

// The file-system path of an item list, without trailing separator; "" when it has none.
// virtualFolder tells that the shell found the folder outside the file system.
std::u16string pathOf(ITEMIDLIST* list, bool* virtualFolder = nullptr) {
    bool outside = false;
    std::optional<std::u16string> path = FileSystemPath(list, &outside);
    if (virtualFolder) *virtualFolder = outside;
    return path ? withoutSeparators(std::move(*path)) : std::u16string();
}

std::u16string displayNameOf(ITEMIDLIST* list) {
    SHFILEINFOA info{};
    SHGetFileInfoA(reinterpret_cast<LPCSTR>(list), 0, &info, sizeof info, SHGFI_PIDL | SHGFI_DISPLAYNAME);
    return stringFromAnsiBuffer(info.szDisplayName, sizeof info.szDisplayName);
}

std::u16string shellPath(int32_t csidl, bool* virtualFolder) {
    com::unique_pidl list = folderLocation(csidl);
    return list ? pathOf(list.get(), virtualFolder) : std::u16string();
}

// The folder service of SHFOLDER.DLL. Loaded when needed, from the system folder by full path:
// systems without it still load this library, and no other folder can supply an impostor.
std::u16string folderServicePath(int32_t csidl) {
    using SHGetFolderPathAFn = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPSTR);
    wchar_t system[MAX_PATH]{};
    UINT n = GetSystemDirectoryW(system, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return {};
    std::wstring file = std::wstring(system, n) + L"\\shfolder.dll";
    com::unique_hmodule shfolder(LoadLibraryW(file.c_str()));
    if (!shfolder) return {};
    auto getFolderPath = reinterpret_cast<SHGetFolderPathAFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(shfolder.get(), "SHGetFolderPathA")));
    char buffer[MAX_PATH]{};
    if (!getFolderPath || getFolderPath(nullptr, csidl, nullptr, 0, buffer) != S_OK) return {};
    return stringFromAnsiBuffer(buffer, sizeof buffer);
}

// The last resort for the two folders that the environment names.
std::u16string environmentPath(int32_t csidl) {
    const char* variable = csidl == CSIDL_PROGRAM_FILES ? "%ProgramFiles%"
                           : csidl == CSIDL_WINDOWS     ? "%WinDir%"
                                                        : nullptr;
    if (!variable) return {};
    char buffer[MAX_PATH]{};
    DWORD n = ExpandEnvironmentStringsA(variable, buffer, MAX_PATH);
    // The count includes the NUL; a count beyond the buffer means nothing was written.
    if (n <= 1 || n > MAX_PATH) return {};
    return stringFromAnsiBuffer(buffer, sizeof buffer);
}

// The library's text comparison; the empty string equals only itself.
bool sameText(std::u16string_view a, std::u16string_view b) {
    if (a.empty() || b.empty()) return a.empty() && b.empty();
    return com::textCompare(a, b) == 0;
}

// GetWindowsDirectoryA and GetSystemDirectoryA: the path they report, with its separator.
std::u16string systemFolder(UINT(WINAPI* get)(LPSTR, UINT)) {
    char buffer[MAX_PATH]{};
    UINT n = get(buffer, MAX_PATH);
    if (n >= MAX_PATH) n = 0;
    return withOneSeparator(com::fromAnsi({buffer, n}));
}

}  // namespace

std::optional<std::u16string> FileSystemPath(ITEMIDLIST* list, bool* virtualFolder) {
    char buffer[MAX_PATH]{};
    if (!SHGetPathFromIDListA(list, buffer)) return std::nullopt;
    // Wine answers a folder outside the file system (printers, network) with the shell's parsing
    // name "::{...}", where Windows reports failure; no file-system path starts that way.
    if (std::strncmp(buffer, "::", 2) == 0) {
        if (virtualFolder) *virtualFolder = true;
        return std::nullopt;
    }
    return stringFromAnsiBuffer(buffer, sizeof buffer);
}

ShellFolders& sharedShellFolders() { return com::perThread<ShellFolders>(); }

std::u16string ShellFolders::PathFromCSIDL(int32_t csidl) {
    std::u16string path;
    stopOnError([&] {
        bool virtualFolder = false;
        path = shellPath(csidl, &virtualFolder);
        // The shell's word on a folder outside the file system is final: Wine's folder service
        // would give the printers folder the system folder's path.
        if (virtualFolder) return;
        if (path.empty()) path = folderServicePath(csidl);
        if (path.empty()) path = environmentPath(csidl);
        if (!path.empty()) path = withOneSeparator(std::move(path));
    });
    return path;
}

std::u16string ShellFolders::cachedFolder(std::u16string& cache, int32_t csidl) {
    if (cache.empty()) {
        stopOnError([&] { cache = withOneSeparator(PathFromCSIDL(csidl)); });
        if (cache.empty()) return u"\\";
    }
    return cache;
}

std::u16string ShellFolders::DesktopPath() { return cachedFolder(desktop_, CSIDL_DESKTOP); }
std::u16string ShellFolders::FavoritesPath() { return cachedFolder(favorites_, CSIDL_FAVORITES); }
std::u16string ShellFolders::DocumentsPath() { return cachedFolder(documents_, CSIDL_PERSONAL); }

std::u16string ShellFolders::TemporaryPath() {
    if (!temporary_.empty()) return temporary_;
    stopOnError([&] {
        char buffer[MAX_PATH]{};
        DWORD n = GetTempPathA(MAX_PATH, buffer);
        // The platform's trailing separator is dropped and put back below.
        std::string path = n > 0 && n < MAX_PATH ? std::string(buffer, n - 1) : std::string();
        std::optional<sysinfo::VersionRecord> version = sysinfo::readPlatformVersion();
        if (!version) return;
        if (sysinfo::hasLongPathNames(*version)) {
            char longPath[MAX_PATH]{};
            DWORD m = GetLongPathNameA(path.c_str(), longPath, MAX_PATH);
            if (m > 0 && m < MAX_PATH) path.assign(longPath, m);
        }
        temporary_ = withOneSeparator(com::fromAnsi(path));
    });
    return temporary_;
}

std::u16string ShellFolders::WindowsPath() {
    std::u16string path;
    stopOnError([&] { path = systemFolder(&GetWindowsDirectoryA); });
    return path;
}

std::u16string ShellFolders::SystemPath() {
    std::u16string path;
    stopOnError([&] { path = systemFolder(&GetSystemDirectoryA); });
    return path;
}

std::u16string ShellFolders::DisplayNameFromCSIDL(int32_t csidl) {
    std::u16string name;
    stopOnError([&] {
        if (com::unique_pidl list = folderLocation(csidl)) name = displayNameOf(list.get());
    });
    return name;
}

void ShellFolders::buildTable() {
    for (int32_t i = 0; i < kTableSize; ++i) {
        skipOnError([&] {
            com::unique_pidl list = folderLocation(i);
            if (!list) return;
            names_[i] = displayNameOf(list.get());
            paths_[i] = pathOf(list.get());
        });
    }
    tableBuilt_ = true;
}

int32_t ShellFolders::CSIDLFromDisplayName(std::u16string_view displayName) {
    int32_t found = -1;
    stopOnError([&] {
        if (!tableBuilt_) buildTable();
        if (!displayName.empty() && (displayName.back() == u'\\' || displayName.back() == u'/'))
            displayName.remove_suffix(1);
        for (int32_t i = 0; i < kTableSize; ++i) {
            if (sameText(names_[i], displayName) || sameText(paths_[i], displayName)) {
                found = i;
                return;
            }
        }
    });
    return found;
}

namespace {

// No member raises; each returns what its implementation answered, or "" should even that fail.
HRESULT text(BSTR* result, ShellFolders& folders, std::u16string (ShellFolders::*get)()) {
    return traps(result, [&] {
        *result = nullptr;
        *result = com::allocBstr((folders.*get)());
    });
}

}  // namespace

HRESULT CServicesSpecialFolders2::get_DesktopPath(BSTR* result) {
    return text(result, folders_, &ShellFolders::DesktopPath);
}
HRESULT CServicesSpecialFolders2::get_FavoritesPath(BSTR* result) {
    return text(result, folders_, &ShellFolders::FavoritesPath);
}
HRESULT CServicesSpecialFolders2::get_DocumentsPath(BSTR* result) {
    return text(result, folders_, &ShellFolders::DocumentsPath);
}
HRESULT CServicesSpecialFolders2::get_TemporaryPath(BSTR* result) {
    return text(result, folders_, &ShellFolders::TemporaryPath);
}
HRESULT CServicesSpecialFolders2::get_WindowsPath(BSTR* result) {
    return text(result, folders_, &ShellFolders::WindowsPath);
}
HRESULT CServicesSpecialFolders2::get_SystemPath(BSTR* result) {
    return text(result, folders_, &ShellFolders::SystemPath);
}

HRESULT CServicesSpecialFolders2::DisplayNameFromCSIDL(LONG CSIDL, BSTR* result) {
    return traps(result, [&] {
        *result = nullptr;
        *result = com::allocBstr(folders_.DisplayNameFromCSIDL(CSIDL));
    });
}

HRESULT CServicesSpecialFolders2::CSIDLFromDisplayName(BSTR DisplayName, LONG* result) {
    return traps(result, [&] {
        *result = -1;
        *result = folders_.CSIDLFromDisplayName(com::view(DisplayName));
    });
}

HRESULT CServicesSpecialFolders2::PathFromCSIDL(LONG CSIDL, BSTR* result) {
    return traps(result, [&] {
        *result = nullptr;
        *result = com::allocBstr(folders_.PathFromCSIDL(CSIDL));
    });
}

}  // namespace lark::files
