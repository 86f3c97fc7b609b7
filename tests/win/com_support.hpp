// What the COM tests share: owning helpers, creation by ProgID, and late-bound calls as a
// script client makes them.
#pragma once

#include "LARKLIB8.h"
#include "frame/raii.hpp"

#include <gtest/gtest.h>

#include <cwchar>
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
inline unique_variant vDouble(double v) {
    unique_variant r;
    r.vt = VT_R8;
    r.dblVal = v;
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

// An array in a Variant: held (VT_ARRAY), or the caller's variable by reference (VT_BYREF).
inline unique_variant vArray(SAFEARRAY* array, VARTYPE vt = VT_VARIANT) {
    unique_variant r;
    r.vt = VT_ARRAY | vt;
    r.parray = array;
    return r;
}
inline unique_variant vArrayRef(SAFEARRAY** array, VARTYPE vt) {
    unique_variant r;
    r.vt = VT_BYREF | VT_ARRAY | vt;
    r.pparray = array;
    return r;
}

constexpr HRESULT vbError(int number) { return static_cast<HRESULT>(0x800A0000u | unsigned(number)); }

// What a call through the dual interface left in its out parameter, once it has succeeded.
template <class T>
T got(HRESULT hr, const T& out) {
    EXPECT_EQ(S_OK, hr);
    return out;
}

// A caller's String variable for the dual interfaces' BSTR* parameters.
struct Text {
    BSTR value;
    explicit Text(const std::wstring& text) : value(SysAllocStringLen(text.data(), UINT(text.size()))) {}
    Text(const Text&) = delete;
    Text& operator=(const Text&) = delete;
    ~Text() { SysFreeString(value); }
    BSTR* ref() { return &value; }
    std::wstring text() const { return str(value); }
};

// A caller's array variable: owns the array, hands out its address for ByRef parameters.
struct Array {
    SAFEARRAY* array = nullptr;
    Array() = default;
    explicit Array(SAFEARRAY* a) : array(a) {}
    Array(const Array&) = delete;
    Array& operator=(const Array&) = delete;
    ~Array() { SafeArrayDestroy(array); }
    SAFEARRAY** ref() { return &array; }
    template <class T>
    T* data() const { return static_cast<T*>(array->pvData); }
};

using Strings = std::vector<std::wstring>;

inline SAFEARRAY* stringVector(const Strings& items, LONG lower = 0) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_BSTR, lower, ULONG(items.size()));
    for (size_t i = 0; i < items.size(); ++i) static_cast<BSTR*>(array->pvData)[i] = SysAllocString(items[i].c_str());
    return array;
}
inline SAFEARRAY* longVector(const std::vector<LONG>& items, LONG lower = 0) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_I4, lower, ULONG(items.size()));
    for (size_t i = 0; i < items.size(); ++i) static_cast<LONG*>(array->pvData)[i] = items[i];
    return array;
}
// A Variant array as a script builds it; the values are copied in.
inline SAFEARRAY* variantVector(std::initializer_list<VARIANT*> items, LONG lower = 0) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, lower, ULONG(items.size()));
    VARIANT* slot = static_cast<VARIANT*>(array->pvData);
    for (VARIANT* item : items) EXPECT_EQ(S_OK, VariantCopy(slot++, item));
    return array;
}

// A Variant as text: strings quoted, numbers as numbers, anything else by its type.
inline std::wstring describe(const VARIANT& v) {
    if (v.vt == VT_EMPTY) return L"Empty";
    if (v.vt == VT_BSTR) return L"'" + str(v.bstrVal) + L"'";
    unique_variant number;
    if (v.vt == VT_DISPATCH || FAILED(VariantChangeType(&number, const_cast<VARIANT*>(&v), 0, VT_R8)))
        return L"<vt " + std::to_wstring(v.vt) + L">";
    wchar_t text[32];
    swprintf(text, 32, L"%g", number.dblVal);
    return text;
}

// The elements of a one-dimensional String, Long or Variant array, in order.
inline Strings elementsOf(SAFEARRAY* array) {
    Strings out;
    if (!array) return out;
    EXPECT_EQ(1u, SafeArrayGetDim(array));
    VARTYPE vt = VT_EMPTY;
    SafeArrayGetVartype(array, &vt);
    for (ULONG i = 0; i < array->rgsabound[0].cElements; ++i)
        out.push_back(vt == VT_BSTR ? str(static_cast<BSTR*>(array->pvData)[i])
                      : vt == VT_I4 ? std::to_wstring(static_cast<LONG*>(array->pvData)[i])
                                    : describe(static_cast<VARIANT*>(array->pvData)[i]));
    return out;
}

inline LONG lowerBound(SAFEARRAY* array) {
    LONG lower = -99;
    EXPECT_EQ(S_OK, SafeArrayGetLBound(array, 1, &lower));
    return lower;
}

// "source: description" of the error a call through the dual interface left behind.
inline std::wstring lastError() {
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.put()) != S_OK || !info) return L"<no error information>";
    BSTR source = nullptr, description = nullptr;
    info->GetSource(&source);
    info->GetDescription(&description);
    std::wstring out = str(source) + L": " + str(description);
    SysFreeString(source);
    SysFreeString(description);
    return out;
}

// Ends a path in exactly one backslash.
inline std::wstring withSeparator(std::wstring path) {
    while (!path.empty() && path.back() == L'\\') path.pop_back();
    return path + L'\\';
}

// A file of the given name in the temporary folder.
// The files the tests named in the temporary folder, removed when the test program ends.
inline std::vector<std::wstring>& namedTempFiles() {
    static std::vector<std::wstring> names;
    return names;
}

class TempFileCleanup : public testing::Environment {
public:
    void TearDown() override {
        for (const std::wstring& path : namedTempFiles()) DeleteFileW(path.c_str());
        namedTempFiles().clear();
    }
};
inline const bool tempFileCleanupRegistered = (testing::AddGlobalTestEnvironment(new TempFileCleanup), true);

inline std::wstring tempFile(const wchar_t* name) {
    wchar_t folder[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, folder);
    namedTempFiles().push_back(withSeparator(folder) + name);
    return namedTempFiles().back();
}

// The bytes of a file; "" when it cannot be read.
inline std::string bytesOf(const std::wstring& path) {
    com::unique_hfile file(
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    std::string bytes;
    char buffer[4096];
    DWORD got = 0;
    while (file && ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got) bytes.append(buffer, got);
    return bytes;
}

inline void writeBytes(const std::wstring& path, const std::string& bytes) {
    com::unique_hfile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(file);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file.get(), bytes.data(), DWORD(bytes.size()), &written, nullptr));
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
