// CServicesFileNames2: the path-name toolkit. The string rules are portable (path_names.hpp);
// this class adds the platform calls and the per-instance folder cache. PathNames holds the
// rules that need the platform, for this class and for the other file classes.
#pragma once

#include "LARKLIB8.h"
#include "frame/object.hpp"

#include "files/path_names.hpp"

#include <array>
#include <optional>
#include <string>

namespace lark::files {

class PathNames {
public:
    // Whether path occurs in the platform's list of drive roots ("C", "C:" and "c:\" do).
    bool DriveExists(Units path);
    // The local path of a "file://" URL (FixFileProtocol), or nullopt for any other path.
    std::optional<std::u16string> LocalPathOfFileUrl(Units path);
};

// The instance that the library's classes share on this thread.
PathNames& sharedPathNames();

class CServicesFileNames2 final : public com::Object<_CServicesFileNames2> {
public:
    HRESULT STDMETHODCALLTYPE AppendPathSeparator(BSTR* FolderPath) override;
    HRESULT STDMETHODCALLTYPE FileNameFromPath(BSTR* Pathname, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE PathFromFullPath(BSTR* Pathname, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE PathWithoutExtension(BSTR* Pathname, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE ExtensionFromPath(BSTR* Pathname, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE ConcatenatePath(BSTR* InitialPath, BSTR* Folder, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE FixURIPath(BSTR* Pathname, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE FixURISpecialCharacters(BSTR* Pathname, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE FixFileProtocol(BSTR* Pathname) override;
    HRESULT STDMETHODCALLTYPE CompactedPathSh(BSTR sPath, LONG lMaxPixels, LONG hDC, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE CompactedPathSh2(BSTR* sPath, LONG lMaxPixels, LONG hDC) override;
    HRESULT STDMETHODCALLTYPE ValidateFileName(BSTR* Filename, VARIANT_BOOL FixIt, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE BeautifyPath(BSTR* Path, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE UnBeautifyPath(BSTR* Path, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE GetParentFolder(BSTR* FilePath, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE GetParentFolderName(BSTR* FilePath, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE GetBaseName(BSTR* FilePath, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE DriveExists(BSTR* Path, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE GetDriveName(BSTR* Path, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE MakeLongPath(BSTR* FilePath) override;

private:
    // BeautifyPath (0-3) and UnBeautifyPath (4-7): Favorites, Documents, Desktop, Temporary.
    std::array<std::u16string, 8> folders_;
};

}  // namespace lark::files
