#include "frame/events.hpp"

#include "frame/snapshot_enumerator.hpp"

#include <algorithm>

namespace lark::com {

namespace {

// Items that hold a reference: each copy handed out holds one of its own.
IUnknown* unknownOf(const CONNECTDATA& item) { return item.pUnk; }
IUnknown* unknownOf(IConnectionPoint* item) { return item; }
template <class Item>
HRESULT copyReferenced(Item* to, const Item& from) {
    *to = from;
    unknownOf(from)->AddRef();
    return S_OK;
}
template <class Item>
void releaseReferenced(Item* item) {
    unknownOf(*item)->Release();
}

template <class Enum, class Item>
using ReferenceEnumerator = SnapshotEnumerator<Enum, Item, &copyReferenced<Item>, &releaseReferenced<Item>>;

}  // namespace

HRESULT ConnectionPoint::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IConnectionPoint) return E_NOINTERFACE;
    AddRef();
    *out = static_cast<IConnectionPoint*>(this);
    return S_OK;
}

HRESULT ConnectionPoint::GetConnectionInterface(IID* iid) {
    if (!iid) return E_POINTER;
    *iid = events_;
    return S_OK;
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** out) {
    if (!out) return E_POINTER;
    owner_.AddRef();
    *out = &owner_;
    return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (!sink || !cookie) return E_POINTER;
    *cookie = 0;
    ComPtr<IDispatch> events;
    if (FAILED(sink->QueryInterface(events_, reinterpret_cast<void**>(events.put()))) || !events)
        return CONNECT_E_CANNOTCONNECT;
    return raises([&] {
        sinks_.push_back({++lastCookie_, events});
        *cookie = lastCookie_;
    });
}

HRESULT ConnectionPoint::Unadvise(DWORD cookie) {
    auto found = std::find_if(sinks_.begin(), sinks_.end(), [&](const Sink& s) { return s.cookie == cookie; });
    if (found == sinks_.end()) return CONNECT_E_NOCONNECTION;
    sinks_.erase(found);
    return S_OK;
}

HRESULT ConnectionPoint::EnumConnections(IEnumConnections** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return raises([&] {
        std::vector<CONNECTDATA> items;
        for (const Sink& s : sinks_)
            items.push_back({s.sink.get(), s.cookie});
        *out = ReferenceEnumerator<IEnumConnections, CONNECTDATA>::make(items);
    });
}

void ConnectionPoint::fire(DISPID id, std::span<VARIANTARG> args) {
    const std::vector<Sink> now = sinks_;  // a sink may unadvise while it is called
    DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
    for (const Sink& s : now) {
        unique_variant ignored;
        s.sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, &ignored, nullptr, nullptr);
    }
}

HRESULT enumerateConnectionPoint(IConnectionPoint* point, IEnumConnectionPoints** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    return raises([&] {
        *out = ReferenceEnumerator<IEnumConnectionPoints, IConnectionPoint*>::make({&point, 1});
    });
}

HRESULT classInfoOf(const CLSID& coclass, ITypeInfo** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    return raises([&] { check(typeLibrary()->GetTypeInfoOfGuid(coclass, out)); });
}

}  // namespace lark::com
