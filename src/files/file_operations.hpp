// The naming and safety rules of the file operations (CServicesFileIO2 and the temporary-file
// markers), as pure functions on UTF-16 code units. Portable (no Windows headers).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace lark::files {

using Units = std::u16string_view;

// The shell's file-operation codes and flag bits that the file operations use.
namespace shell {
inline constexpr uint32_t kMove = 1, kCopy = 2, kDelete = 3;
inline constexpr uint16_t kSilent = 0x4, kRenameOnCollision = 0x8, kNoConfirmation = 0x10, kAllowUndo = 0x40,
                          kNoConfirmMakeFolder = 0x200, kNoErrorUi = 0x400;
inline constexpr uint16_t kRecycle = kAllowUndo | kNoConfirmation | kSilent;            // 0x54
inline constexpr uint16_t kDeleteTree = kNoErrorUi | kNoConfirmation | kSilent;         // 0x414
inline constexpr uint16_t kCopyQuietly = kNoConfirmMakeFolder | kNoConfirmation;        // 0x210
inline constexpr uint16_t kMoveRenaming = kCopyQuietly | kRenameOnCollision | kSilent;  // 0x21C
}  // namespace shell

// DeleteDeep leaves alone a folder path shorter than this (a drive root, "C:\" or "C:\\\").
inline constexpr size_t kMinDeleteDeepPath = 6;

// The path without one trailing '\'.
Units WithoutTrailingSeparator(Units path);

// Whether the path is relative to a drive's current folder ("C:" or "C:x").
bool IsDriveRelative(Units path);

// Whether one of the path's components is "." or "..", which stand for other folders.
bool HasDotComponent(Units path);

// Whether a path may be handed to a deleting shell request, which would otherwise widen it:
// it must be fully qualified (a drive path such as C:\x or a UNC path such as \\server\share\x),
// name something below a root, hold no wildcard, and fit the platform's 260-character limit.
bool NamesOneEntryBelowRoot(Units path);

// "ddMMMyyyy": two-digit day, the month abbreviation as given, four-digit year.
std::u16string DateStamp(int day, Units monthAbbreviation, int year);

// "hhmmss" on the 24-hour clock.
std::u16string TimeStamp(int hour, int minute, int second);

// The first name RenameWithDate tries: the path itself when its file name already holds the
// stamp (contains decides, as the text comparison does), else the path with "_" and the stamp
// before its extension.
std::u16string DateStampedName(Units pathname, Units stamp,
                               const std::function<bool(Units text, Units part)>& contains);

// The second name: the first one with "_" and the time stamp before its extension.
std::u16string TimeStampedName(Units candidate, Units timeStamp);

}  // namespace lark::files
