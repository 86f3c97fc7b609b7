// IUnknown for the library's objects: a reference count that keeps the module loaded while the
// object lives, and QueryInterface over the interfaces the class lists. IUnknown (and IDispatch,
// when the first interface is a dispatch interface) stand for the first one.
#pragma once

#include "frame/module.hpp"

#include <atomic>
#include <type_traits>

namespace lark::com {

template <class First, class... Rest>
class Unknown : public First, public Rest... {
public:
    Unknown() { moduleAddRef(); }
    virtual ~Unknown() { moduleRelease(); }
    Unknown(const Unknown&) = delete;
    Unknown& operator=(const Unknown&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid == IID_IUnknown || (std::is_base_of_v<IDispatch, First> && iid == IID_IDispatch)) {
            *out = static_cast<First*>(this);
        } else if (!(offer<First>(iid, out) || ... || offer<Rest>(iid, out))) {
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

private:
    template <class Interface>
    bool offer(REFIID iid, void** out) noexcept {
        if (iid != __uuidof(Interface)) return false;
        *out = static_cast<Interface*>(this);
        return true;
    }

    std::atomic<ULONG> refs_{0};
};

}  // namespace lark::com
