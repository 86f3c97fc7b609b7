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

}  // namespace lark::com
