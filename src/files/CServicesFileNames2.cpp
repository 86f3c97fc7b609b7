#include "files/CServicesFileNames2.hpp"

#include "files/ShellFolders.hpp"
#include "files/path_names.hpp"
#include "frame/errors.hpp"
#include "frame/per_thread.hpp"
#include "frame/platform_text.hpp"
#include "frame/raii.hpp"
#include "sysinfo/CDeploy2.hpp"

#include <shlwapi.h>

#include <algorithm>
#include <span>

namespace lark::files {

using com::raises;
using com::traps;

namespace {

// The caller's variable for a member that writes back; it must be there.
BSTR* variable(BSTR* s) {
    if (!s) raise(errInvalidCall);
    return s;
}

// Handles travel as Long and are sign-extended back. 0 asks for the screen; any other value must
// be a device context: the compaction measures text with whatever it is given, and with no device
// context it works on measurements it never got (and may never end).
HDC deviceContext(LONG hDC, std::u16string_view member) {
    const HDC dc = reinterpret_cast<HDC>(static_cast<INT_PTR>(hDC));
    switch (dc ? GetObjectType(dc) : OBJ_DC) {
        case OBJ_DC:
        case OBJ_MEMDC:
        case OBJ_METADC:
        case OBJ_ENHMETADC:
            return dc;
    }
    raise(errInvalidCall, member);
}

// %XX decoding maps a byte through the system ANSI code page.
std::optional<char16_t> ansiCharacter(uint8_t byte) {
    const char c = static_cast<char>(byte);
    const std::u16string text = com::fromAnsi(std::string_view(&c, 1));
    if (text.size() != 1) return std::nullopt;
    return text[0];
}

// The platform may write a little beyond the text it compacts (an ellipsis before a short
// folder part), so it gets a buffer of at least MAX_PATH; only as many units as the text had
// are kept, which is all a buffer the size of the text would have held.
template <class Char, class Compact>
std::basic_string<Char> compacted(std::basic_string<Char> text, Compact compact) {
    const size_t length = text.size();
    text.resize(std::max<size_t>(length, MAX_PATH) + 1, Char{});
    compact(text.data());  // a failure leaves the text as it was, and is not reported
    text.resize(length);
    return text;
}

std::u16string compactedAnsi(Units path, LONG maxPixels, HDC dc) {
    std::string ansi =
        compacted(com::toAnsi(path), [&](char* buffer) { PathCompactPathA(dc, buffer, static_cast<UINT>(maxPixels)); });
    return com::fromAnsi(ansi);
}

std::u16string compactedWide(Units path, LONG maxPixels, HDC dc) {
    return compacted(std::u16string(path), [&](char16_t* buffer) {
        PathCompactPathW(dc, reinterpret_cast<wchar_t*>(buffer), static_cast<UINT>(maxPixels));
    });
}

// The four folders of one cache group (Favorites, Documents, Desktop, Temporary). Empty slots
// are filled from a special-folders object made for this call; an empty answer stays unknown
// and is asked for again next time.
DisplayFolders cachedFolders(std::span<std::u16string, 4> slots) {
    if (std::any_of(slots.begin(), slots.end(), [](const std::u16string& s) { return s.empty(); })) {
        ShellFolders special;
        using Lookup = std::u16string (ShellFolders::*)();
        constexpr Lookup lookups[] = {&ShellFolders::FavoritesPath, &ShellFolders::DocumentsPath,
                                      &ShellFolders::DesktopPath, &ShellFolders::TemporaryPath};
        for (size_t i = 0; i < slots.size(); ++i) {
            if (slots[i].empty()) slots[i] = (special.*lookups[i])();
        }
    }
    return {slots[0], slots[1], slots[2], slots[3]};
}

}  // namespace

bool PathNames::DriveExists(Units path) {
    // A failing call leaves the list empty, so nothing is found.
    std::string roots(MAX_PATH, '\0');
    GetLogicalDriveStringsA(MAX_PATH, roots.data());
    return DriveListContains(com::fromAnsi(roots), path);
}

std::optional<std::u16string> PathNames::LocalPathOfFileUrl(Units path) {
    return files::FixFileProtocol(path, ansiCharacter);
}

PathNames& sharedPathNames() { return com::perThread<PathNames>(); }

HRESULT CServicesFileNames2::AppendPathSeparator(BSTR* FolderPath) {
    return raises([&] {
        BSTR* path = variable(FolderPath);
        if (!EndsWithSeparator(com::view(*path))) com::assignBstr(path, files::AppendPathSeparator(com::view(*path)));
    });
}

HRESULT CServicesFileNames2::FileNameFromPath(BSTR* Pathname, BSTR* result) {
    return traps(result, [&] {
        *result = nullptr;
        *result = com::allocBstr(files::FileNameFromPath(com::view(Pathname)));
    });
}

HRESULT CServicesFileNames2::PathFromFullPath(BSTR* Pathname, BSTR* result) {
    return raises(result, [&] {
        *result = nullptr;
        *result = com::allocBstr(files::PathFromFullPath(com::view(Pathname)));
    });
}

HRESULT CServicesFileNames2::PathWithoutExtension(BSTR* Pathname, BSTR* result) {
    return raises(result, [&] {
        *result = nullptr;
        *result = com::allocBstr(files::PathWithoutExtension(com::view(Pathname)));
    });
}

HRESULT CServicesFileNames2::ExtensionFromPath(BSTR* Pathname, BSTR* result) {
    return traps(result, [&] {
        *result = nullptr;
        *result = com::allocBstr(files::ExtensionFromPath(com::view(Pathname)));
    });
}

HRESULT CServicesFileNames2::ConcatenatePath(BSTR* InitialPath, BSTR* Folder, BSTR* result) {
    return traps(result, [&] {
        *result = nullptr;
        *result = com::allocBstr(files::ConcatenatePath(com::view(InitialPath), com::view(Folder)));
    });
}

HRESULT CServicesFileNames2::FixURIPath(BSTR* Pathname, BSTR* result) {
    return traps(result, [&] {
        *result = nullptr;
        *result = com::allocBstr(files::FixURIPath(com::view(Pathname), ansiCharacter));
    });
}

HRESULT CServicesFileNames2::FixURISpecialCharacters(BSTR* Pathname, BSTR* result) {
    return traps(result, [&] {
        *result = nullptr;
        *result = com::allocBstr(files::FixURISpecialCharacters(com::view(Pathname), ansiCharacter));
    });
}

HRESULT CServicesFileNames2::FixFileProtocol(BSTR* Pathname) {
    return traps([&] {
        BSTR* path = variable(Pathname);
        if (std::optional<std::u16string> local = sharedPathNames().LocalPathOfFileUrl(com::view(*path)))
            com::assignBstr(path, *local);
    });
}

HRESULT CServicesFileNames2::CompactedPathSh(BSTR sPath, LONG lMaxPixels, LONG hDC, BSTR* result) {
    return raises(result, [&] {
        *result = nullptr;
        const std::u16string text =
            compactedAnsi(com::view(sPath), lMaxPixels, deviceContext(hDC, u"CServicesFileNames2.CompactedPathSh"));
        *result = com::allocBstr(BeforeFirstLowNul(text));
    });
}

HRESULT CServicesFileNames2::CompactedPathSh2(BSTR* sPath, LONG lMaxPixels, LONG hDC) {
    return raises([&] {
        BSTR* path = variable(sPath);
        const HDC dc = deviceContext(hDC, u"CServicesFileNames2.CompactedPathSh2");
        const std::u16string text = sysinfo::sharedDeploy().IsUnicodeSystem()
                                        ? compactedWide(com::view(*path), lMaxPixels, dc)
                                        : compactedAnsi(com::view(*path), lMaxPixels, dc);
        com::assignBstr(path, BeforeFirstNul(text));
    });
}

HRESULT CServicesFileNames2::ValidateFileName(BSTR* Filename, VARIANT_BOOL FixIt, VARIANT_BOOL* result) {
    return traps(result, [&] {
        *result = VARIANT_FALSE;
        if (!FixIt) {
            *result = com::variantBool(IsValidFileName(com::view(Filename)));
            return;
        }
        BSTR* name = variable(Filename);
        com::assignBstr(name, RepairFileName(com::view(*name)));
        *result = VARIANT_TRUE;
    });
}

HRESULT CServicesFileNames2::BeautifyPath(BSTR* Path, BSTR* result) {
    return traps(result, [&] {
        *result = nullptr;
        const DisplayFolders folders = cachedFolders(std::span(folders_).subspan<0, 4>());
        *result = com::allocBstr(files::BeautifyPath(com::view(Path), folders));
    });
}

HRESULT CServicesFileNames2::UnBeautifyPath(BSTR* Path, BSTR* result) {
    return traps(result, [&] {
        *result = nullptr;
        const DisplayFolders folders = cachedFolders(std::span(folders_).subspan<4, 4>());
        *result = com::allocBstr(files::UnBeautifyPath(com::view(Path), folders));
    });
}

HRESULT CServicesFileNames2::GetParentFolder(BSTR* FilePath, BSTR* result) {
    return traps(result, [&] {
        *result = nullptr;
        *result = com::allocBstr(files::GetParentFolder(com::view(FilePath)));
    });
}

HRESULT CServicesFileNames2::GetParentFolderName(BSTR* FilePath, BSTR* result) {
    return traps(result, [&] {
        *result = nullptr;
        *result = com::allocBstr(files::GetParentFolder(com::view(FilePath)));
    });
}

HRESULT CServicesFileNames2::GetBaseName(BSTR* FilePath, BSTR* result) {
    return traps(result, [&] {
        *result = nullptr;
        *result = com::allocBstr(files::GetBaseName(com::view(FilePath)));
    });
}

HRESULT CServicesFileNames2::DriveExists(BSTR* Path, VARIANT_BOOL* result) {
    return raises(result, [&] {
        *result = VARIANT_FALSE;
        *result = com::variantBool(sharedPathNames().DriveExists(com::view(Path)));
    });
}

HRESULT CServicesFileNames2::GetDriveName(BSTR* Path, BSTR* result) {
    return raises(result, [&] {
        *result = nullptr;
        *result = com::allocBstr(files::GetDriveName(com::view(Path)));
    });
}

HRESULT CServicesFileNames2::MakeLongPath(BSTR* FilePath) {
    return traps([&] {
        BSTR* path = variable(FilePath);
        if (!HasShortNameMarker(com::view(*path))) return;
        const bool trailing = EndsWithSeparator(com::view(*path));
        const std::string shortPath = com::toAnsi(com::view(*path));
        char buffer[MAX_PATH] = {};
        // A result of MAX_PATH or more is the size the buffer lacked, not a path.
        const DWORD n = GetLongPathNameA(shortPath.c_str(), buffer, MAX_PATH);
        if (n > 0 && n < MAX_PATH) com::assignBstr(path, com::fromAnsi(std::string_view(buffer, n)));
        if (trailing && SysStringLen(*path) > 0) com::assignBstr(path, files::AppendPathSeparator(com::view(*path)));
    });
}

}  // namespace lark::files
