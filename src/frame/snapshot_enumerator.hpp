// The frame's enumerators (IEnumVARIANT, IEnumConnections, IEnumConnectionPoints): each walks a
// snapshot of items taken when it was made, so that changes to what it enumerates do not show.
// Clones share the snapshot and go on from their own place. Every item handed out is a copy of
// the receiver's own: `Copy` makes one (VariantCopy, or the item with an added reference), `Clear`
// gives one back.
#pragma once

#include "frame/errors.hpp"
#include "frame/unknown.hpp"

#include <algorithm>
#include <memory>
#include <span>
#include <vector>

namespace lark::com {

template <class Enum, class Item, HRESULT (*Copy)(Item* to, const Item& from), void (*Clear)(Item*)>
class SnapshotEnumerator final : public Unknown<Enum> {
public:
    // A new enumerator, with one reference, over copies of the items. Raises when a copy fails.
    static Enum* make(std::span<const Item> items) {
        auto snapshot = std::make_shared<Snapshot>();
        snapshot->items.reserve(items.size());
        for (const Item& item : items) {
            Item copy{};
            check(Copy(&copy, item));
            snapshot->items.push_back(copy);  // reserved: cannot throw
        }
        return handOut(new SnapshotEnumerator(std::move(snapshot), 0));
    }

    HRESULT STDMETHODCALLTYPE Next(ULONG count, Item* out, ULONG* fetched) override {
        if (!out || (count > 1 && !fetched)) return E_POINTER;
        const std::vector<Item>& items = snapshot_->items;
        ULONG n = 0;
        for (; n < count && next_ < items.size(); ++n, ++next_) {
            if (const HRESULT hr = Copy(&out[n], items[next_]); FAILED(hr)) {
                while (n) Clear(&out[--n]);
                if (fetched) *fetched = 0;
                return hr;
            }
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    // S_OK when all `count` items were there to skip.
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        const size_t skipped = std::min<size_t>(count, snapshot_->items.size() - next_);
        next_ += skipped;
        return skipped == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        next_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(Enum** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        return raises([&] { *out = handOut(new SnapshotEnumerator(snapshot_, next_)); });
    }

private:
    struct Snapshot {
        std::vector<Item> items;
        Snapshot() = default;
        Snapshot(const Snapshot&) = delete;
        Snapshot& operator=(const Snapshot&) = delete;
        ~Snapshot() {
            for (Item& item : items) Clear(&item);
        }
    };

    SnapshotEnumerator(std::shared_ptr<const Snapshot> snapshot, size_t next)
        : snapshot_(std::move(snapshot)), next_(next) {}
    static Enum* handOut(SnapshotEnumerator* made) {
        made->AddRef();
        return made;
    }

    std::shared_ptr<const Snapshot> snapshot_;
    size_t next_;
};

}  // namespace lark::com
