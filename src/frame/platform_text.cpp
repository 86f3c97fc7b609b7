#include "frame/platform_text.hpp"

#include "frame/errors.hpp"
#include "frame/filled_string.hpp"

#include <windows.h>

#include <climits>

namespace lark::com {

namespace {
// Never null: the platform rejects a null string even with a length of 0 (a null BSTR is "").
const wchar_t* wide(std::u16string_view s) { return s.data() ? reinterpret_cast<const wchar_t*>(s.data()) : L""; }

int checkedLength(size_t n) {
    if (n > INT_MAX) raise(errOverflow);
    return static_cast<int>(n);
}
}  // namespace

int textCompare(std::u16string_view a, std::u16string_view b) {
    int r = CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, wide(a), checkedLength(a.size()), wide(b),
                           checkedLength(b.size()));
    if (r == 0) raise(errInvalidCall);
    return r - CSTR_EQUAL;
}

std::string toAnsi(std::u16string_view text) {
    if (text.empty()) return {};
    int n = WideCharToMultiByte(CP_ACP, 0, wide(text), checkedLength(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide(text), checkedLength(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::u16string fromAnsi(std::string_view text) {
    if (text.empty()) return {};
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), checkedLength(text.size()), nullptr, 0);
    return lark::filledString<char16_t>(static_cast<size_t>(n), [&](char16_t* units) {
        return static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, text.data(), checkedLength(text.size()),
                                                       reinterpret_cast<wchar_t*>(units), n));
    });
}

bool ansiIsSingleByte() {
    CPINFO info{};
    return GetCPInfo(CP_ACP, &info) && info.MaxCharSize == 1;
}

void fromAnsiInto(std::string_view text, char16_t* out) {
    if (text.empty()) return;
    const int n = checkedLength(text.size());
    if (MultiByteToWideChar(CP_ACP, 0, text.data(), n, reinterpret_cast<wchar_t*>(out), n) != n) raise(errInvalidCall);
}

}  // namespace lark::com
