// Owning types for the platform's resources: one template over the release function for
// handles, and small classes for BSTR, VARIANT, SAFEARRAY and interface pointers.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <shlobj.h>

#include <cstdint>
#include <string_view>
#include <type_traits>
#include <utility>

namespace lark::com {

// Owns a handle of type T that Close releases; InvalidValue is the value that owns nothing.
template <class T, auto Close, intptr_t InvalidValue = 0>
class unique_any {
    static T invalid() noexcept { return reinterpret_cast<T>(InvalidValue); }

public:
    unique_any() noexcept = default;
    explicit unique_any(T value) noexcept : value_(value) {}
    unique_any(unique_any&& other) noexcept : value_(other.release()) {}
    unique_any& operator=(unique_any&& other) noexcept {
        reset(other.release());
        return *this;
    }
    unique_any(const unique_any&) = delete;
    unique_any& operator=(const unique_any&) = delete;
    ~unique_any() { reset(); }

    T get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != invalid(); }
    T* put() noexcept {
        reset();
        return &value_;
    }
    T release() noexcept { return std::exchange(value_, invalid()); }
    void reset(T value = invalid()) noexcept {
        if (value_ != invalid()) Close(value_);
        value_ = value;
    }

private:
    T value_ = invalid();
};

using unique_hkey = unique_any<HKEY, &RegCloseKey>;
using unique_handle = unique_any<HANDLE, &CloseHandle>;
using unique_hfile = unique_any<HANDLE, &CloseHandle, -1>;
using unique_hfind = unique_any<HANDLE, &FindClose, -1>;
using unique_hmodule = unique_any<HMODULE, &FreeLibrary>;
using unique_hglobal = unique_any<HGLOBAL, &GlobalFree>;
using unique_hlocal = unique_any<HLOCAL, &LocalFree>;
using unique_cotaskmem = unique_any<void*, &CoTaskMemFree>;
using unique_bstr = unique_any<BSTR, &SysFreeString>;
using unique_safearray = unique_any<SAFEARRAY*, &SafeArrayDestroy>;
using unique_schandle = unique_any<SC_HANDLE, &CloseServiceHandle>;
using unique_hdc = unique_any<HDC, &DeleteDC>;
using unique_hwnd = unique_any<HWND, &DestroyWindow>;  // a window of the library's own

// Item-identifier lists go back to the shell's allocator. Where that cannot be had, the task
// allocator takes them: on every NT system the two are the same.
inline void freeItemIdList(ITEMIDLIST* list) noexcept {
    IMalloc* shellMalloc = nullptr;
    if (SUCCEEDED(SHGetMalloc(&shellMalloc)) && shellMalloc) {
        shellMalloc->Free(list);
        shellMalloc->Release();
    } else {
        CoTaskMemFree(list);
    }
}
using unique_pidl = unique_any<ITEMIDLIST*, &freeItemIdList>;

// A BSTR seen as UTF-16 code units; a null BSTR is the empty string.
inline std::u16string_view view(BSTR s) noexcept {
    return {reinterpret_cast<const char16_t*>(s), s ? SysStringLen(s) : 0u};
}

// The string behind a caller's reference; a missing reference reads as "" too.
inline std::u16string_view view(const BSTR* s) noexcept { return s ? view(*s) : std::u16string_view{}; }

// A Boolean as automation clients see it: True is all bits set.
inline VARIANT_BOOL variantBool(bool value) noexcept { return value ? VARIANT_TRUE : VARIANT_FALSE; }

// A window handle as automation clients hold it (a Long) and back: handles are 32 bits wide on
// every Windows, and sign-extended in a 64-bit process.
inline HWND windowHandle(LONG hWnd) noexcept { return reinterpret_cast<HWND>(static_cast<INT_PTR>(hWnd)); }
inline LONG windowLong(HWND window) noexcept { return static_cast<LONG>(reinterpret_cast<INT_PTR>(window)); }

// Allocates a BSTR holding text; throws error 7 when memory runs out.
BSTR allocBstr(std::u16string_view text);

// Replaces the caller's string with text, freeing what it held.
void assignBstr(BSTR* target, std::u16string_view text);

// An owned VARIANT, cleared when it goes.
class unique_variant : public VARIANT {
public:
    unique_variant() noexcept { VariantInit(this); }
    unique_variant(unique_variant&& other) noexcept : VARIANT(other) { VariantInit(&other); }
    unique_variant& operator=(unique_variant&& other) noexcept {
        if (this != &other) {
            VariantClear(this);
            static_cast<VARIANT&>(*this) = other;
            VariantInit(&other);
        }
        return *this;
    }
    unique_variant(const unique_variant&) = delete;
    unique_variant& operator=(const unique_variant&) = delete;
    ~unique_variant() { VariantClear(this); }

    void clear() noexcept { VariantClear(this); }
    // Hands the value over to the caller, who must clear it.
    VARIANT release() noexcept {
        VARIANT out = *this;
        VariantInit(this);
        return out;
    }
};

// Keeps a SAFEARRAY's data locked, so that pvData stays valid and the array cannot be resized.
class SafeArrayLockGuard {
public:
    explicit SafeArrayLockGuard(SAFEARRAY* array);
    SafeArrayLockGuard(const SafeArrayLockGuard&) = delete;
    SafeArrayLockGuard& operator=(const SafeArrayLockGuard&) = delete;
    ~SafeArrayLockGuard() { SafeArrayUnlock(array_); }

private:
    SAFEARRAY* array_;
};

// Keeps a global memory block locked, for as long as its bytes are read or written.
class GlobalLockGuard {
public:
    explicit GlobalLockGuard(HGLOBAL block) noexcept : block_(block), data_(block ? GlobalLock(block) : nullptr) {}
    GlobalLockGuard(const GlobalLockGuard&) = delete;
    GlobalLockGuard& operator=(const GlobalLockGuard&) = delete;
    ~GlobalLockGuard() {
        if (data_) GlobalUnlock(block_);
    }
    // The block's bytes; null when it could not be locked.
    BYTE* data() const noexcept { return static_cast<BYTE*>(data_); }
    size_t size() const noexcept { return data_ ? GlobalSize(block_) : 0; }

private:
    HGLOBAL block_;
    void* data_;
};

// An interface pointer that owns one reference.
template <class T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(T* p) noexcept : p_(p) {
        if (p_) p_->AddRef();
    }
    ComPtr(const ComPtr& other) noexcept : ComPtr(other.p_) {}
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }
    ~ComPtr() {
        if (p_) p_->Release();
    }

    // Takes over a reference the caller already owns.
    static ComPtr attach(T* p) noexcept {
        ComPtr r;
        r.p_ = p;
        return r;
    }
    T* get() const noexcept { return p_; }
    T* operator->() const noexcept { return p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }
    T** put() noexcept {
        *this = nullptr;
        return &p_;
    }
    T* detach() noexcept { return std::exchange(p_, nullptr); }

    template <class U>
    ComPtr<U> query() const noexcept {
        ComPtr<U> r;
        if (p_) p_->QueryInterface(__uuidof(U), reinterpret_cast<void**>(r.put()));
        return r;
    }

private:
    T* p_ = nullptr;
};

// A description borrowed from an ITypeInfo, given back when it goes: its TYPEATTR, or one
// FUNCDESC or VARDESC by index. Empty when the type information cannot give it; status() says why.
template <class Description>
class TypeDescription {
public:
    explicit TypeDescription(ITypeInfo* info) requires std::is_same_v<Description, TYPEATTR> : info_(info) {
        status_ = info->GetTypeAttr(&desc_);
    }
    TypeDescription(ITypeInfo* info, UINT index) requires(!std::is_same_v<Description, TYPEATTR>) : info_(info) {
        if constexpr (std::is_same_v<Description, FUNCDESC>)
            status_ = info->GetFuncDesc(index, &desc_);
        else
            status_ = info->GetVarDesc(index, &desc_);
    }
    TypeDescription(TypeDescription&& other) noexcept
        : info_(other.info_), desc_(std::exchange(other.desc_, nullptr)), status_(other.status_) {}
    TypeDescription& operator=(TypeDescription&& other) noexcept {
        std::swap(info_, other.info_);
        std::swap(desc_, other.desc_);
        std::swap(status_, other.status_);
        return *this;
    }
    TypeDescription(const TypeDescription&) = delete;
    TypeDescription& operator=(const TypeDescription&) = delete;
    ~TypeDescription() {
        if (!desc_ || FAILED(status_)) return;
        if constexpr (std::is_same_v<Description, TYPEATTR>)
            info_->ReleaseTypeAttr(desc_);
        else if constexpr (std::is_same_v<Description, FUNCDESC>)
            info_->ReleaseFuncDesc(desc_);
        else
            info_->ReleaseVarDesc(desc_);
    }
    explicit operator bool() const noexcept { return SUCCEEDED(status_) && desc_; }
    HRESULT status() const noexcept { return status_; }
    const Description* operator->() const noexcept { return desc_; }
    const Description& operator*() const noexcept { return *desc_; }

private:
    ITypeInfo* info_;
    Description* desc_ = nullptr;
    HRESULT status_ = E_FAIL;
};
using TypeAttr = TypeDescription<TYPEATTR>;
using FuncDesc = TypeDescription<FUNCDESC>;
using VarDesc = TypeDescription<VARDESC>;

}  // namespace lark::com
