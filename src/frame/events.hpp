// Events: a class that raises them answers IConnectionPointContainer with one connection point for
// its source dispinterface, where sinks (a VB6 WithEvents variable, a script host's handler) are
// advised, and IProvideClassInfo2, through which hosts find that interface.
#pragma once

#include "frame/object.hpp"

#include <ocidl.h>
#include <olectl.h>

#include <span>
#include <vector>

namespace lark::com {

// The sinks advised on one source interface. It lives inside the object that raises the events
// and counts its references on that object.
class ConnectionPoint final : public IConnectionPoint {
public:
    ConnectionPoint(IConnectionPointContainer& owner, const IID& events) : owner_(owner), events_(events) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return owner_.AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return owner_.Release(); }

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override;
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override;
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** out) override;

    const IID& events() const { return events_; }
    // Calls member id of every sink advised now, with args in DISPPARAMS order (the last argument
    // first). By-reference arguments carry each sink's changes to the next one and back to the
    // caller. A failing sink does not keep the event from the others.
    void fire(DISPID id, std::span<VARIANTARG> args);

private:
    struct Sink {
        DWORD cookie;
        ComPtr<IDispatch> sink;
    };
    IConnectionPointContainer& owner_;
    const IID& events_;
    std::vector<Sink> sinks_;
    DWORD lastCookie_ = 0;
};

// Helpers of EventSource that need no template.
HRESULT enumerateConnectionPoint(IConnectionPoint* point, IEnumConnectionPoints** out) noexcept;
HRESULT classInfoOf(const CLSID& coclass, ITypeInfo** out) noexcept;

// The base of a class that raises the events of its source dispinterface Events.
template <class Primary>
class EventSource : public Object<Primary, IConnectionPointContainer, IProvideClassInfo2> {
    using Base = Object<Primary, IConnectionPointContainer, IProvideClassInfo2>;

public:
    EventSource(const CLSID& coclass, const IID& events) : coclass_(coclass), point_(*this, events) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        // Hosts ask for IProvideClassInfo by name too; IProvideClassInfo2 extends it.
        return Base::QueryInterface(iid == IID_IProvideClassInfo ? IID_IProvideClassInfo2 : iid, out);
    }

    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** out) override {
        return enumerateConnectionPoint(&point_, out);
    }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (iid != point_.events()) return CONNECT_E_NOCONNECTION;
        point_.AddRef();
        *out = &point_;
        return S_OK;
    }

    // IProvideClassInfo2
    HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** out) override { return classInfoOf(coclass_, out); }
    HRESULT STDMETHODCALLTYPE GetGUID(DWORD kind, GUID* out) override {
        if (!out) return E_POINTER;
        if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) return E_INVALIDARG;
        *out = point_.events();
        return S_OK;
    }

protected:
    void fire(DISPID id, std::span<VARIANTARG> args = {}) { point_.fire(id, args); }

private:
    const CLSID& coclass_;
    ConnectionPoint point_;
};

}  // namespace lark::com
