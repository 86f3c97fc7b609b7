// Text services of the platform: the library's text comparison and its ANSI conversions (the
// only place where the system code page is used).
#pragma once

#include <string>
#include <string_view>

namespace lark::com {

// The text comparison: the user's default locale, differences of case ignored. -1, 0 or 1.
int textCompare(std::u16string_view a, std::u16string_view b);

// UTF-16 to the system ANSI code page and back.
std::string toAnsi(std::u16string_view text);
std::u16string fromAnsi(std::string_view text);

// Whether the system ANSI code page has one unit for every byte, so that a text converts piece
// by piece, cut anywhere.
bool ansiIsSingleByte();
// Converts text into text.size() units at out; for a single-byte ANSI code page only.
void fromAnsiInto(std::string_view text, char16_t* out);

}  // namespace lark::com
