#include "frame/collection.hpp"

#include "frame/late_binding.hpp"
#include "frame/platform_text.hpp"
#include "frame/snapshot_enumerator.hpp"

#include <algorithm>
#include <new>

namespace lark::com {

namespace {

// An omitted optional argument arrives as a null pointer or as the "parameter not found" error.
bool given(const VARIANT* v) {
    if (!v) return false;
    if (v->vt == (VT_BYREF | VT_VARIANT)) return given(v->pvarVal);
    return !(v->vt == VT_ERROR && v->scode == DISP_E_PARAMNOTFOUND);
}

const VARIANT* deref(const VARIANT* v) {
    while (v->vt == (VT_BYREF | VT_VARIANT)) v = v->pvarVal;
    return v;
}

HRESULT copyVariant(VARIANT* to, const VARIANT& from) {
    VariantInit(to);
    return VariantCopy(to, const_cast<VARIANT*>(&from));  // the platform reads it only
}
void clearVariant(VARIANT* item) { VariantClear(item); }
using ItemEnumerator = SnapshotEnumerator<IEnumVARIANT, VARIANT, &copyVariant, &clearVariant>;

}  // namespace

std::optional<size_t> Collection::findKey(std::u16string_view key) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (!items_[i].key.empty() && textCompare(items_[i].key, key) == 0) return i;
    return std::nullopt;
}

size_t Collection::positionOf(const VARIANT* index) const {
    if (!index) raise(errInvalidCall);
    index = deref(index);
    if (index->vt == VT_BSTR || index->vt == (VT_BYREF | VT_BSTR)) {
        std::optional<size_t> found = findKey(view(index->vt == VT_BSTR ? index->bstrVal : *index->pbstrVal));
        if (!found) raise(errInvalidCall);
        return *found;
    }
    unique_variant number;
    check(VariantChangeType(&number, const_cast<VARIANT*>(index), 0, VT_I4));
    if (number.lVal < 1 || static_cast<size_t>(number.lVal) > items_.size()) raise(errSubscript);
    return static_cast<size_t>(number.lVal) - 1;
}

HRESULT Collection::Item(VARIANT* Index, VARIANT* result) {
    if (!result) return E_POINTER;
    VariantInit(result);
    return raises([&] { check(VariantCopy(result, &items_[positionOf(Index)].value)); });
}

HRESULT Collection::Add(VARIANT* Item, VARIANT* Key, VARIANT* Before, VARIANT* After) {
    return raises([&] {
        if (!Item) raise(errInvalidCall);
        Entry entry;
        check(VariantCopyInd(&entry.value, Item));
        if (given(Key)) {
            unique_variant key;
            check(VariantChangeType(&key, const_cast<VARIANT*>(deref(Key)), 0, VT_BSTR));
            entry.key = view(key.bstrVal);
            if (findKey(entry.key)) raise(errKeyExists);
        }
        if (given(Before) && given(After)) raise(errInvalidCall);
        size_t at = items_.size();
        if (given(Before)) at = positionOf(Before);
        if (given(After)) at = positionOf(After) + 1;
        items_.insert(items_.begin() + static_cast<ptrdiff_t>(at), std::move(entry));
    });
}

HRESULT Collection::Count(LONG* result) {
    if (!result) return E_POINTER;
    *result = static_cast<LONG>(items_.size());
    return S_OK;
}

HRESULT Collection::Remove(VARIANT* Index) {
    return raises([&] { items_.erase(items_.begin() + static_cast<ptrdiff_t>(positionOf(Index))); });
}

HRESULT Collection::_NewEnum(IUnknown** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    return raises([&] {
        std::vector<VARIANT> values;  // views of the items, copied by the enumerator
        values.reserve(items_.size());
        for (const Entry& entry : items_) values.push_back(entry.value);
        *result = ItemEnumerator::make(values);
    });
}

void Collection::append(const VARIANT& value) {
    Entry entry;
    check(VariantCopyInd(&entry.value, const_cast<VARIANT*>(&value)));
    items_.push_back(std::move(entry));
}

void forEachItem(IUnknown* object, const std::function<void(const VARIANT&)>& visit) {
    if (!object) raise(errObjectNotSet);
    ComPtr<IDispatch> dispatch = ComPtr<IUnknown>(object).query<IDispatch>();
    if (!dispatch) raise(errTypeMismatch);
    IDispatch* collection = dispatch.get();
    unique_variant count = callMember(collection, L"Count", DISPATCH_PROPERTYGET | DISPATCH_METHOD, nullptr, 0);
    check(VariantChangeType(&count, &count, 0, VT_I4));
    for (LONG i = 1; i <= count.lVal; ++i) {
        VARIANT index;
        index.vt = VT_I4;
        index.lVal = i;
        visit(callMember(collection, L"Item", DISPATCH_PROPERTYGET | DISPATCH_METHOD, &index, 1));
    }
}

}  // namespace lark::com
