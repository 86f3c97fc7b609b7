// The texts of the common dialogs as pure string functions: the file dialogs' filter and the
// lists of names a multiple selection gives back. Portable (no Windows headers).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lark::ui {

// The filter as the file dialogs take it: every "|" and every ":" becomes a NUL, and two NULs
// end it. Raises error 6 for a filter longer than 32767 units.
std::u16string dialogFilter(std::u16string_view filter);

// Entry `index` (from 1) of a filter as dialogFilter makes it: its description, a NUL and its
// pattern. "" when the filter has no such entry; the first empty description ends the list, as it
// does for the dialogs.
std::u16string filterEntry(std::u16string_view converted, long index);

// A file name split into its folder and its names.
struct FileNames {
    bool listed;                        // a folder and names separated by NULs, not one path
    std::vector<std::u16string> files;  // the names after the folder, in order
};

// Splits a file name as ParseMultiFileName does. A name holding NULs is a list, read up to its
// first pair of NULs: each piece before the last goes to `folder` while that is still empty and to
// the files otherwise; the last piece is always a file. Any other name is one path: folder and file
// on either side of its last backslash, when that is not the first unit; else no folder.
FileNames splitFileNames(std::u16string_view filename, std::u16string& folder);

}  // namespace lark::ui
