// The path-name rules of CServicesFileNames2 as pure string functions on UTF-16 code units.
// Portable (no Windows headers). The separator is the backslash; only ConcatenatePath also
// accepts the forward slash. Every search goes through the MDataStructures functions
// (text/strings.hpp), so their quirks are part of these rules: lrkInstr compares low bytes only,
// and lrkInstrRev gives up at a unit above 255.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace lark::files {

using Units = std::u16string_view;

// Maps one byte to its character in the system ANSI code page; nullopt when the code page has
// no single character for it. Supplied by the caller so that these rules stay portable.
using AnsiByteDecoder = std::function<std::optional<char16_t>(uint8_t)>;

// The folder path with a backslash at its end ("" gives "\").
std::u16string AppendPathSeparator(Units folderPath);

// The text after the last backslash; "" without one.
Units FileNameFromPath(Units pathname);

// The text up to and including the last backslash; "" without one.
Units PathFromFullPath(Units pathname);

// The path without its extension; unchanged when its last dot is not in the last component.
Units PathWithoutExtension(Units pathname);

// The extension with its dot, or "" when the last dot is not in the last component.
Units ExtensionFromPath(Units pathname);

// initialPath, a separator, folder without one leading separator, and a closing separator.
std::u16string ConcatenatePath(Units initialPath, Units folder);

// Decodes %XX escapes from the left, searching again from the start after each one (so a
// decoded '%' can start another escape). A '%' at position 1 leaves the whole text as it is.
// Stops and returns the text as it stands when decode has no character for a byte.
std::u16string FixURISpecialCharacters(Units pathname, const AnsiByteDecoder& decode);

// FixURISpecialCharacters after every '/' has become '\'.
std::u16string FixURIPath(Units pathname, const AnsiByteDecoder& decode);

// The local path for a "file://" URL (case-insensitive, a third slash dropped too), or nullopt
// when pathname does not start with "file://".
std::optional<std::u16string> FixFileProtocol(Units pathname, const AnsiByteDecoder& decode);

// 1 to 259 units and none whose low byte is that of an invalid file-name character.
bool IsValidFileName(Units filename);

// The name with invalid characters and control codes (signed 16-bit < 32) as '_', trimmed of
// spaces, "_" when nothing is left, and cut to 259 units.
std::u16string RepairFileName(Units filename);

// The special folders that the display forms stand for, each ending in '\'.
struct DisplayFolders {
    Units favorites, documents, desktop, temporary;
};

// A path inside one of the folders as "Favorites\...", "My Documents\...", "Desktop\..." or
// "Temporary\...", without a trailing separator.
std::u16string BeautifyPath(Units path, const DisplayFolders& folders);

// The inverse of BeautifyPath; "Documents" stands for the Documents folder too.
std::u16string UnBeautifyPath(Units path, const DisplayFolders& folders);

// The parent folder, keeping the input's trailing-separator form ("C:\a\b" gives "C:\a",
// "C:\a\b\" gives "C:\a\"). Raises error 5 for a lone "\" (the search start becomes 0).
Units GetParentFolder(Units filePath);

// The last component without its extension; a path ending in '\' gives the path without that
// separator and without its extension.
Units GetBaseName(Units filePath);

// The drive letter of "X:..." (without the colon), else "".
Units GetDriveName(Units path);

// Whether path occurs in the drive-root list (the "A:\<NUL>C:\<NUL>..." text of the platform).
bool DriveListContains(Units driveList, Units path);

// The text before the first unit whose low byte is 0.
Units BeforeFirstLowNul(Units text);

// The text before the first NUL unit.
Units BeforeFirstNul(Units text);

// Whether MakeLongPath has anything to expand: the path contains a '~'.
bool HasShortNameMarker(Units path);

// Whether the path ends in '\'.
bool EndsWithSeparator(Units path);

}  // namespace lark::files
