#include "frame/message_box.hpp"

#include <string>

namespace lark::com {

int showMessage(std::u16string_view text, std::u16string_view title, UINT buttons) {
    const std::u16string t(text), c(title);
    return MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(t.c_str()),
                       reinterpret_cast<const wchar_t*>(c.c_str()), buttons);
}

}  // namespace lark::com
