#include "frame/raii.hpp"

#include "frame/errors.hpp"

namespace lark::com {

BSTR allocBstr(std::u16string_view text) {
    BSTR s = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()), static_cast<UINT>(text.size()));
    if (!s) raise(errOutOfMemory);
    return s;
}

void assignBstr(BSTR* target, std::u16string_view text) {
    BSTR fresh = allocBstr(text);
    SysFreeString(*target);
    *target = fresh;
}

SafeArrayLockGuard::SafeArrayLockGuard(SAFEARRAY* array) : array_(array) {
    check(SafeArrayLock(array));
}

}  // namespace lark::com
