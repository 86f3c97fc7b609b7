// The shell's folders by identifier, display name and path: ShellFolders, which the other file
// classes use directly, and the automation class CServicesSpecialFolders2 over it.
#pragma once

#include "LARKLIB8.h"
#include "frame/object.hpp"

#include <shlobj.h>

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace lark::files {

class ShellFolders {
public:
    // Every path ends in exactly one backslash.
    std::u16string DesktopPath();
    std::u16string FavoritesPath();
    std::u16string DocumentsPath();
    std::u16string TemporaryPath();
    std::u16string WindowsPath();
    std::u16string SystemPath();
    std::u16string DisplayNameFromCSIDL(int32_t csidl);
    int32_t CSIDLFromDisplayName(std::u16string_view displayName);
    std::u16string PathFromCSIDL(int32_t csidl);

private:
    std::u16string cachedFolder(std::u16string& cache, int32_t csidl);
    void buildTable();

    std::u16string desktop_, favorites_, documents_, temporary_;
    bool tableBuilt_ = false;
    std::array<std::u16string, 35> names_, paths_;
};

// The instance that the library's classes share on this thread.
ShellFolders& sharedShellFolders();

// The file-system path of a shell item list as the shell writes it; nothing for an item outside
// the file system (virtualFolder, when given, then tells whether the shell named it as such).
std::optional<std::u16string> FileSystemPath(ITEMIDLIST* list, bool* virtualFolder = nullptr);

class CServicesSpecialFolders2 final : public com::Object<_CServicesSpecialFolders2> {
public:
    HRESULT STDMETHODCALLTYPE get_DesktopPath(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_FavoritesPath(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_DocumentsPath(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_TemporaryPath(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_WindowsPath(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_SystemPath(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE DisplayNameFromCSIDL(LONG CSIDL, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE CSIDLFromDisplayName(BSTR DisplayName, LONG* result) override;
    HRESULT STDMETHODCALLTYPE PathFromCSIDL(LONG CSIDL, BSTR* result) override;

private:
    ShellFolders folders_;
};

}  // namespace lark::files
