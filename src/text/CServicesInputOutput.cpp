#include "text/CServicesInputOutput.hpp"

#include "frame/arrays.hpp"
#include "frame/platform_text.hpp"
#include "text/quick_sort.hpp"

#include <array>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace lark::text {

using com::raises;
using com::traps;

namespace {

using Index = int64_t;
using com::BstrVectorAccess;
using com::LongVectorAccess;
using com::VectorAccess;

struct Range {
    Index left;
    Index right;
};

// The range to sort: -1 stands for the key array's lower or upper bound.
Range rangeOf(const VectorAccess& key, LONG left, LONG right) {
    return {left == -1 ? key.bounds().lower : left, right == -1 ? key.bounds().upper : right};
}

// The same for bounds by reference: the caller's variable receives the bound that replaced
// -1. A missing variable reads as -1 and receives nothing.
Range rangeOf(const VectorAccess& key, LONG* left, LONG* right) {
    Range range = rangeOf(key, left ? *left : -1, right ? *right : -1);
    if (left) *left = static_cast<LONG>(range.left);
    if (right) *right = static_cast<LONG>(range.right);
    return range;
}

// The array a Variant parameter holds, looking through references.
SAFEARRAY* arrayIn(const VARIANT* v) {
    while (v && v->vt == (VT_BYREF | VT_VARIANT)) v = v->pvarVal;
    if (!v || !(v->vt & VT_ARRAY)) raise(errTypeMismatch);
    return (v->vt & VT_BYREF) ? (v->pparray ? *v->pparray : nullptr) : v->parray;
}

// Orders of the keys: pivot(i) copies key i; compare(i, pivot) gives -1, 0 or 1.

struct TextOrder {
    const BstrVectorAccess& key;
    // The key strings stay where they are during the sort (only references move), so a view
    // of the pivot's text is as good as a copy.
    std::u16string_view pivot(Index i) const { return com::view(key[i]); }
    int compare(Index i, std::u16string_view pivot) const { return com::textCompare(com::view(key[i]), pivot); }
};

struct LongOrder {
    const LongVectorAccess& key;
    LONG pivot(Index i) const { return key[i]; }
    int compare(Index i, LONG pivot) const { return (key[i] > pivot) - (key[i] < pivot); }
};

// A Variant key as the comparison sees it. Empty is 0 against a number and "" against a
// string; Null, objects, arrays and other values cannot be compared.
struct VariantKey {
    enum Kind { Empty, Number, Text } kind = Empty;
    VARIANT number{};  // a numeric value, never a reference; owns nothing
    std::u16string_view text;
};

bool isNumeric(VARTYPE vt) {
    switch (vt) {
    case VT_I1: case VT_UI1: case VT_I2: case VT_UI2: case VT_I4: case VT_UI4: case VT_I8: case VT_UI8:
    case VT_INT: case VT_UINT: case VT_R4: case VT_R8: case VT_CY: case VT_DATE: case VT_BOOL: case VT_DECIMAL:
        return true;
    default:
        return false;
    }
}

VariantKey keyOf(const VARIANT* v) {
    while (v && v->vt == (VT_BYREF | VT_VARIANT)) v = v->pvarVal;
    if (!v) raise(errTypeMismatch);
    const VARTYPE base = VARTYPE(v->vt & ~VT_BYREF);
    const bool reference = v->vt & VT_BYREF;
    VariantKey key;
    if (base == VT_EMPTY) return key;
    if (base == VT_BSTR) {
        key.kind = VariantKey::Text;
        key.text = com::view(reference ? (v->pbstrVal ? *v->pbstrVal : nullptr) : v->bstrVal);
        return key;
    }
    if (!isNumeric(base) || (reference && !v->byref)) raise(errTypeMismatch);
    key.kind = VariantKey::Number;
    com::check(VariantCopyInd(&key.number, const_cast<VARIANT*>(v)));  // numbers allocate nothing
    return key;
}

int compareNumbers(const VARIANT& a, const VARIANT& b) {
    HRESULT r = VarCmp(const_cast<VARIANT*>(&a), const_cast<VARIANT*>(&b), LOCALE_USER_DEFAULT, 0);
    com::check(r);
    if (r == VARCMP_NULL) raise(errTypeMismatch);
    return static_cast<int>(r) - VARCMP_EQ;
}

// Numbers numerically, strings by the text comparison, a number before a string.
int compareKeys(const VariantKey& a, const VariantKey& b) {
    using K = VariantKey;
    if (a.kind == K::Text || b.kind == K::Text) {
        if (a.kind == K::Number) return -1;
        if (b.kind == K::Number) return 1;
        return com::textCompare(a.text, b.text);  // Empty reads as ""
    }
    if (a.kind == K::Empty && b.kind == K::Empty) return 0;
    VARIANT zero{};
    zero.vt = VT_I4;
    return compareNumbers(a.kind == K::Empty ? zero : a.number, b.kind == K::Empty ? zero : b.number);
}

// Keys in a Variant: usually an array of Variants, but an array of one type sorts too.
struct VariantOrder {
    const VectorAccess& key;

    VariantKey at(Index i) const {
        void* element = key.at(i);
        if (key.type() == VT_VARIANT) return keyOf(static_cast<VARIANT*>(element));
        if (key.type() != VT_BSTR && !isNumeric(key.type())) raise(errTypeMismatch);
        VARIANT reference{};
        reference.vt = VARTYPE(VT_BYREF | key.type());
        reference.byref = element;
        return keyOf(&reference);
    }
    // Elements are only exchanged during the sort, so the pivot's string stays valid.
    VariantKey pivot(Index i) const { return at(i); }
    int compare(Index i, const VariantKey& pivot) const { return compareKeys(at(i), pivot); }
};

// The arrays as the sort sees them: the key array first, then its companions. Every element
// moves by exchanging its bits.
template <class Order>
class Arrays {
public:
    Arrays(Order order, std::initializer_list<const VectorAccess*> arrays) : order_(order), arrays_(arrays) {}

    auto pivot(Index i) const { return order_.pivot(i); }
    template <class Pivot>
    bool less(Index i, const Pivot& pivot) const {
        return order_.compare(i, pivot) < 0;
    }
    template <class Pivot>
    bool greater(Index i, const Pivot& pivot) const {
        return order_.compare(i, pivot) > 0;
    }
    void exchange(Index i, Index j) const {
        // Every index is checked before anything moves, so the arrays stay aligned.
        for (const VectorAccess* a : arrays_) {
            a->at(i);
            a->at(j);
        }
        for (const VectorAccess* a : arrays_) a->exchange(i, j);
    }

private:
    Order order_;
    std::vector<const VectorAccess*> arrays_;
};

template <class Order>
void sort(Range range, Order order, std::initializer_list<const VectorAccess*> arrays) {
    Arrays<Order> access(order, arrays);
    quickSort(access, range.left, range.right);
}

// A copy of a string, null staying null.
com::unique_bstr copyOf(BSTR s) {
    if (!s) return {};
    com::unique_bstr copy(SysAllocStringByteLen(reinterpret_cast<const char*>(s), SysStringByteLen(s)));
    if (!copy) raise(errOutOfMemory);
    return copy;
}

// QuickSortTriple's three String arrays: the pivot is a copy of the key text, and an exchange
// copies the strings.
class CopiedStrings {
public:
    CopiedStrings(const BstrVectorAccess& key, const BstrVectorAccess& first, const BstrVectorAccess& second)
        : arrays_{&key, &first, &second} {}

    std::u16string pivot(Index i) const { return std::u16string(com::view((*arrays_[0])[i])); }
    bool less(Index i, const std::u16string& pivot) const {
        return com::textCompare(com::view((*arrays_[0])[i]), pivot) < 0;
    }
    bool greater(Index i, const std::u16string& pivot) const {
        return com::textCompare(com::view((*arrays_[0])[i]), pivot) > 0;
    }
    void exchange(Index i, Index j) const {
        // All copies exist before any element changes: a failure leaves the arrays aligned.
        std::array<com::unique_bstr, 6> copies;
        for (size_t a = 0; a < arrays_.size(); ++a) {
            copies[2 * a] = copyOf((*arrays_[a])[j]);
            copies[2 * a + 1] = copyOf((*arrays_[a])[i]);
        }
        for (size_t a = 0; a < arrays_.size(); ++a) {
            replace((*arrays_[a])[i], copies[2 * a].release());
            replace((*arrays_[a])[j], copies[2 * a + 1].release());
        }
    }

private:
    static void replace(BSTR& slot, BSTR value) {
        SysFreeString(slot);
        slot = value;
    }
    std::array<const BstrVectorAccess*, 3> arrays_;
};

SAFEARRAY* arrayAt(SAFEARRAY** array) { return array ? *array : nullptr; }

}  // namespace

HRESULT CServicesInputOutput::QuickSortString(SAFEARRAY** strArray, LONG* lngLeft, LONG* lngRight) {
    return traps([&] {
        BstrVectorAccess key(arrayAt(strArray));
        sort(rangeOf(key, lngLeft, lngRight), TextOrder{key}, {&key});
    });
}

HRESULT CServicesInputOutput::QuickSortStringDouble(SAFEARRAY** strArray, SAFEARRAY** strArray1, LONG* lngLeft,
                                                    LONG* lngRight) {
    return traps([&] {
        BstrVectorAccess key(arrayAt(strArray));
        Range range = rangeOf(key, lngLeft, lngRight);
        if (range.left >= range.right) return;
        BstrVectorAccess strings(arrayAt(strArray1));
        sort(range, TextOrder{key}, {&key, &strings});
    });
}

HRESULT CServicesInputOutput::QuickSortLongDouble(SAFEARRAY** lngArray, SAFEARRAY** lngArray1, LONG lngLeft,
                                                  LONG lngRight) {
    return traps([&] {
        LongVectorAccess key(arrayAt(lngArray));
        Range range = rangeOf(key, lngLeft, lngRight);
        if (range.left >= range.right) return;
        LongVectorAccess longs(arrayAt(lngArray1));
        sort(range, LongOrder{key}, {&key, &longs});
    });
}

HRESULT CServicesInputOutput::QuickSortStringLong(SAFEARRAY** strArray1, SAFEARRAY** lngArray1, LONG lngLeft,
                                                  LONG lngRight) {
    return traps([&] {
        BstrVectorAccess key(arrayAt(strArray1));
        Range range = rangeOf(key, lngLeft, lngRight);
        if (range.left >= range.right) return;
        LongVectorAccess longs(arrayAt(lngArray1));
        sort(range, TextOrder{key}, {&key, &longs});
    });
}

HRESULT CServicesInputOutput::QuickSortStringLongLong(SAFEARRAY** strArray1, SAFEARRAY** lngArray1,
                                                      SAFEARRAY** lngArray2, LONG lngLeft, LONG lngRight) {
    return traps([&] {
        BstrVectorAccess key(arrayAt(strArray1));
        Range range = rangeOf(key, lngLeft, lngRight);
        if (range.left >= range.right) return;
        LongVectorAccess longs1(arrayAt(lngArray1)), longs2(arrayAt(lngArray2));
        sort(range, TextOrder{key}, {&key, &longs1, &longs2});
    });
}

HRESULT CServicesInputOutput::QuickSortStringStringLongLong(SAFEARRAY** strArray1, SAFEARRAY** strArray2,
                                                            SAFEARRAY** lngArray1, SAFEARRAY** lngArray2,
                                                            LONG lngLeft, LONG lngRight) {
    return traps([&] {
        BstrVectorAccess key(arrayAt(strArray1));
        Range range = rangeOf(key, lngLeft, lngRight);
        if (range.left >= range.right) return;
        BstrVectorAccess strings(arrayAt(strArray2));
        LongVectorAccess longs1(arrayAt(lngArray1)), longs2(arrayAt(lngArray2));
        sort(range, TextOrder{key}, {&key, &strings, &longs1, &longs2});
    });
}

HRESULT CServicesInputOutput::QuickSort(VARIANT* varArray, LONG* lngLeft, LONG* lngRight) {
    return traps([&] {
        VectorAccess key(arrayIn(varArray));
        sort(rangeOf(key, lngLeft, lngRight), VariantOrder{key}, {&key});
    });
}

HRESULT CServicesInputOutput::QuickSortDouble(VARIANT* varArray, VARIANT* varArray1, LONG lngLeft, LONG lngRight) {
    return traps([&] {
        VectorAccess key(arrayIn(varArray));
        Range range = rangeOf(key, lngLeft, lngRight);
        if (range.left >= range.right) return;
        VectorAccess companion(arrayIn(varArray1));
        sort(range, VariantOrder{key}, {&key, &companion});
    });
}

HRESULT CServicesInputOutput::QuickSortTriple(SAFEARRAY** strArray, SAFEARRAY** strArray1, SAFEARRAY** strArray2,
                                              LONG* lngLeft, LONG* lngRight) {
    return raises([&] {
        BstrVectorAccess key(arrayAt(strArray));
        Range range = rangeOf(key, lngLeft, lngRight);
        if (range.left >= range.right) return;
        BstrVectorAccess first(arrayAt(strArray1)), second(arrayAt(strArray2));
        CopiedStrings access(key, first, second);
        quickSort(access, range.left, range.right);
    });
}

}  // namespace lark::text
