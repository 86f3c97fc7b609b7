#include "frame/late_binding.hpp"

#include "frame/errors.hpp"

namespace lark::com {

namespace {
DISPID memberId(IDispatch* object, const wchar_t* name) {
    if (!object) raise(errObjectNotSet);  // before anything reads its vtable
    DISPID id = 0;
    auto* text = const_cast<LPOLESTR>(name);
    check(object->GetIDsOfNames(IID_NULL, &text, 1, LOCALE_USER_DEFAULT, &id));
    return id;
}
}  // namespace

unique_variant callMember(IDispatch* object, const wchar_t* name, WORD flags, VARIANT* args, UINT count) {
    const DISPID id = memberId(object, name);
    DISPPARAMS params{args, nullptr, count, 0};
    unique_variant result;
    check(object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, &result, nullptr, nullptr));
    return result;
}

void letProperty(IDispatch* object, const wchar_t* name, VARIANT value) {
    const DISPID id = memberId(object, name);
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&value, &named, 1, 1};
    check(object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr));
}

}  // namespace lark::com
