// The Collection object that members hand out: 1-based, with optional unique keys compared
// without regard to case; Item is the default member and _NewEnum serves For Each.
#pragma once

#include "LARKLIB8.h"
#include "frame/object.hpp"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace lark::com {

class Collection final : public Object<_Collection> {
public:
    HRESULT STDMETHODCALLTYPE Item(VARIANT* Index, VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE Add(VARIANT* Item, VARIANT* Key, VARIANT* Before, VARIANT* After) override;
    HRESULT STDMETHODCALLTYPE Count(LONG* result) override;
    HRESULT STDMETHODCALLTYPE Remove(VARIANT* Index) override;
    HRESULT STDMETHODCALLTYPE _NewEnum(IUnknown** result) override;

    // Appends a copy of value, without a key.
    void append(const VARIANT& value);

private:
    struct Entry {
        unique_variant value;
        std::u16string key;  // empty: no key
    };
    size_t positionOf(const VARIANT* index) const;  // 0-based; raises 9, 5 or 13
    std::optional<size_t> findKey(std::u16string_view key) const;

    std::vector<Entry> items_;
};

// Visits every item of any collection-like automation object (Count and Item, called
// late-bound), in order. Raises error 91 for a missing object, 13 for one without IDispatch.
void forEachItem(IUnknown* object, const std::function<void(const VARIANT&)>& visit);

}  // namespace lark::com
