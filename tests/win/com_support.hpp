// What the COM tests share: owning helpers, creation by ProgID, and late-bound calls as a
// script client makes them.
#pragma once

#include "LARKLIB8.h"
#include "frame/raii.hpp"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

namespace lark::test {

using com::ComPtr;
using com::unique_bstr;
using com::unique_variant;

inline unique_bstr bstr(const wchar_t* text) { return unique_bstr(SysAllocString(text)); }

inline std::wstring str(BSTR s) { return s ? std::wstring(s, SysStringLen(s)) : std::wstring(); }

template <class T>
ComPtr<T> createByProgId(const wchar_t* progId) {
    CLSID clsid{};
    EXPECT_EQ(S_OK, CLSIDFromProgID(progId, &clsid)) << "no class registered as this ProgID";
    ComPtr<T> object;
    EXPECT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, __uuidof(T),
                                     reinterpret_cast<void**>(object.put())));
    return object;
}

inline unique_variant vLong(LONG v) {
    unique_variant r;
    r.vt = VT_I4;
    r.lVal = v;
    return r;
}
inline unique_variant vStr(const wchar_t* v) {
    unique_variant r;
    r.vt = VT_BSTR;
    r.bstrVal = SysAllocString(v);
    return r;
}
inline unique_variant vBool(bool v) {
    unique_variant r;
    r.vt = VT_BOOL;
    r.boolVal = v ? VARIANT_TRUE : VARIANT_FALSE;
    return r;
}
// A reference to the caller's variable, as a script passes it.
inline unique_variant vRef(VARIANT* variable) {
    unique_variant r;
    r.vt = VT_BYREF | VT_VARIANT;
    r.pvarVal = variable;
    return r;
}

// The outcome of a late-bound call.
struct Call {
    HRESULT hr = E_FAIL;
    unique_variant result;
    EXCEPINFO exception{};
    Call() = default;
    Call(Call&& other) noexcept : hr(other.hr), result(std::move(other.result)), exception(other.exception) {
        other.exception = EXCEPINFO{};
    }
    Call& operator=(Call&& other) noexcept {
        hr = other.hr;
        result = std::move(other.result);
        std::swap(exception, other.exception);
        return *this;
    }
    ~Call() {
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrHelpFile);
    }
    std::wstring source() const { return str(exception.bstrSource); }
    std::wstring description() const { return str(exception.bstrDescription); }
};

// Calls a member by name with positional arguments (first to last) and named ones after them.
inline Call invoke(IDispatch* object, const wchar_t* member, std::vector<VARIANT*> positional,
                   std::vector<std::pair<const wchar_t*, VARIANT*>> named = {},
                   WORD flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET) {
    Call call;
    std::vector<LPOLESTR> names{const_cast<LPOLESTR>(member)};
    for (auto& n : named) names.push_back(const_cast<LPOLESTR>(n.first));
    std::vector<DISPID> ids(names.size());
    call.hr = object->GetIDsOfNames(IID_NULL, names.data(), static_cast<UINT>(names.size()), LOCALE_USER_DEFAULT,
                                    ids.data());
    if (FAILED(call.hr)) return call;
    // rgvarg: named arguments first, then positional ones last-first.
    std::vector<VARIANT> args;
    std::vector<DISPID> namedIds;
    for (size_t i = 0; i < named.size(); ++i) {
        args.push_back(*named[i].second);
        namedIds.push_back(ids[i + 1]);
    }
    for (auto it = positional.rbegin(); it != positional.rend(); ++it) args.push_back(**it);
    DISPPARAMS params{args.data(), namedIds.data(), static_cast<UINT>(args.size()),
                      static_cast<UINT>(namedIds.size())};
    UINT argError = 0;
    call.hr = object->Invoke(ids[0], IID_NULL, LOCALE_USER_DEFAULT, flags, &params, &call.result,
                             &call.exception, &argError);
    return call;
}

}  // namespace lark::test
