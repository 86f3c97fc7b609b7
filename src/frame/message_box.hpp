// Message boxes, for the members that tell the user about a problem instead of raising it.
#pragma once

#include <windows.h>

#include <string_view>

namespace lark::com {

// Shows a message box that no window owns and returns the button pressed.
int showMessage(std::u16string_view text, std::u16string_view title, UINT buttons);

}  // namespace lark::com
