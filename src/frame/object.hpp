// The base of every automation object: reference counting that keeps the module loaded,
// QueryInterface over the object's interfaces, IDispatch from the type library, and
// ISupportErrorInfo.
#pragma once

#include "frame/dispatch.hpp"
#include "frame/errors.hpp"
#include "frame/module.hpp"

#include <atomic>
#include <new>

namespace lark::com {

// Primary is the dual interface that IDispatch serves; Others are further interfaces.
template <class Primary, class... Others>
class Object : public Primary, public Others..., public ISupportErrorInfo {
public:
    Object() { moduleAddRef(); }
    virtual ~Object() { moduleRelease(); }
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == __uuidof(Primary)) {
            *out = static_cast<Primary*>(this);
        } else if (iid == IID_ISupportErrorInfo) {
            *out = static_cast<ISupportErrorInfo*>(this);
        } else if (!(offer<Others>(iid, out) || ... || false)) {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID, ITypeInfo** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        return raises([&] { *out = typeInfo().detach(); });
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        ComPtr<ITypeInfo> info;
        HRESULT hr = raises([&] { info = typeInfo(); });
        return FAILED(hr) ? hr : dispatchGetIDsOfNames(info.get(), names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argError) override {
        ComPtr<ITypeInfo> info;
        HRESULT hr = raises([&] { info = typeInfo(); });
        if (FAILED(hr)) return hr;
        return dispatchInvoke(info.get(), static_cast<Primary*>(this), id, flags, params, result,
                              exception, argError);
    }

    // ISupportErrorInfo
    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID iid) override {
        bool ours = iid == __uuidof(Primary) || ((iid == __uuidof(Others)) || ...);
        return ours ? S_OK : S_FALSE;
    }

    // Makes a new object and hands out the requested interface.
    template <class Derived>
    static HRESULT create(REFIID iid, void** out) noexcept {
        if (!out) return E_POINTER;
        *out = nullptr;
        Derived* object = nullptr;
        HRESULT hr = raises([&] { object = new Derived(); });
        if (FAILED(hr)) return hr;
        object->AddRef();
        hr = object->QueryInterface(iid, out);
        object->Release();
        return hr;
    }

private:
    template <class Interface>
    bool offer(REFIID iid, void** out) noexcept {
        if (iid != __uuidof(Interface)) return false;
        *out = static_cast<Interface*>(this);
        return true;
    }
    static ComPtr<ITypeInfo> typeInfo() { return typeInfoOf(__uuidof(Primary)); }

    std::atomic<ULONG> refs_{0};
};

// Makes a new object of class T for the library's own use.
template <class T>
ComPtr<T> makeObject() {
    return ComPtr<T>(new T());
}

}  // namespace lark::com
