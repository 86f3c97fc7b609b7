#include "frame/events.hpp"

#include <algorithm>

namespace lark::com {

namespace {

// Enumerates a snapshot of items that hold references: the snapshot keeps one of each, and every
// item handed out carries a new one.
template <class Enum, class Item>
class Enumerator final : public Unknown<Enum> {
public:
    // How an item is handed out, with a reference of the receiver's.
    using HandOut = Item (*)(const Item&);
    Enumerator(std::span<const Item> items, HandOut handOut) : handOut_(handOut) {
        items_.reserve(items.size());
        for (const Item& item : items)
            items_.push_back(handOut_(item));
    }
    ~Enumerator() override {
        for (const Item& item : items_)
            unknownOf(item)->Release();
    }

    HRESULT STDMETHODCALLTYPE Next(ULONG count, Item* out, ULONG* fetched) override {
        if (!out || (count > 1 && !fetched)) return E_POINTER;
        ULONG n = 0;
        for (; n < count && next_ < items_.size(); ++n)
            out[n] = handOut_(items_[next_++]);
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        next_ = std::min<size_t>(items_.size(), next_ + count);
        return next_ < items_.size() ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        next_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(Enum** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        return raises([&] {
            auto* clone = new Enumerator(items_, handOut_);
            clone->next_ = next_;
            clone->AddRef();
            *out = clone;
        });
    }

private:
    static IUnknown* unknownOf(const CONNECTDATA& item) { return item.pUnk; }
    static IUnknown* unknownOf(IConnectionPoint* item) { return item; }

    std::vector<Item> items_;  // each holds a reference
    HandOut handOut_;
    size_t next_ = 0;
};

CONNECTDATA handOutConnection(const CONNECTDATA& item) {
    item.pUnk->AddRef();
    return item;
}

IConnectionPoint* handOutPoint(IConnectionPoint* const& item) {
    item->AddRef();
    return item;
}

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
        auto* enumerator = new Enumerator<IEnumConnections, CONNECTDATA>(items, &handOutConnection);
        enumerator->AddRef();
        *out = enumerator;
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
        auto* enumerator = new Enumerator<IEnumConnectionPoints, IConnectionPoint*>({&point, 1}, &handOutPoint);
        enumerator->AddRef();
        *out = enumerator;
    });
}

HRESULT classInfoOf(const CLSID& coclass, ITypeInfo** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    return raises([&] { check(typeLibrary()->GetTypeInfoOfGuid(coclass, out)); });
}

}  // namespace lark::com
