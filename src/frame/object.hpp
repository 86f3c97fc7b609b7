// The base of every automation object: IUnknown, IDispatch from the type library, and
// ISupportErrorInfo.
#pragma once

#include "frame/dispatch.hpp"
#include "frame/dispatch_table.hpp"
#include "frame/errors.hpp"
#include "frame/module.hpp"
#include "frame/unknown.hpp"

#include <new>

namespace lark::com {

// Primary is the dual interface that IDispatch serves; Others are further interfaces.
template <class Primary, class... Others>
class Object : public Unknown<Primary, Others..., ISupportErrorInfo> {
public:
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
        const DispatchTable* table = nullptr;
        HRESULT hr = raises([&] { table = &dispatchTable(); });
        return FAILED(hr) ? hr : dispatchGetIDsOfNames(*table, names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argError) override {
        const DispatchTable* table = nullptr;
        HRESULT hr = raises([&] { table = &dispatchTable(); });
        if (FAILED(hr)) return hr;
        return dispatchInvoke(*table, static_cast<Primary*>(this), id, flags, params, result,
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
    static ComPtr<ITypeInfo> typeInfo() { return typeInfoOf(__uuidof(Primary)); }
    // Built on the first call of any instance; a failure is thrown, and tried again next time.
    static const DispatchTable& dispatchTable() {
        static const DispatchTable& table = dispatchTableOf(typeInfo().get());
        return table;
    }
};

// Makes a new object of class T for the library's own use.
template <class T>
ComPtr<T> makeObject() {
    return ComPtr<T>(new T());
}

}  // namespace lark::com
