// The text rules of CServicesFileUtilities2's dialogs and shortcuts, as pure functions on UTF-16
// code units. Portable (no Windows headers).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lark::files {

using Units = std::u16string_view;

// The paths a file dialog's name holds: one path, or a folder and names separated by NULs. Each
// name is joined to the folder with a backslash unless it holds one itself, so a folder that ends
// in one (a drive root) gives a doubled separator. Nothing for an empty name.
std::vector<std::u16string> SelectedPaths(Units filename);

// An extension as a dialog's default extension takes it: without one leading dot.
Units WithoutLeadingDot(Units extension);

// The file name of the shortcut to a location: its name without extension, repaired as a file
// name, with ".url".
std::u16string ShortcutFileName(Units locationName);

// The text of an Internet shortcut to url: every line followed by an empty one.
std::u16string InternetShortcutText(Units url);

}  // namespace lark::files
