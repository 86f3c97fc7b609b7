// SAFEARRAY helpers that keep bounds exactly as members promise them. An array with no bounds
// is a null SAFEARRAY pointer.
#pragma once

#include "frame/error.hpp"
#include "frame/raii.hpp"

#include <cstdint>
#include <optional>
#include <span>

namespace lark::com {

struct VectorBounds {
    LONG lower;
    LONG upper;
    size_t count() const { return upper < lower ? 0 : size_t(int64_t(upper) - lower + 1); }
};

// The bounds of a one-dimensional array; nothing for a null or multi-dimensional one.
std::optional<VectorBounds> vectorBounds(SAFEARRAY* array);

// A new one-dimensional String array of count empty elements from the lower bound.
unique_safearray newStringVector(size_t count, LONG lower = 0);

// The BSTR slots of a locked one-dimensional String array; raises 13 for another element type.
class StringVectorAccess {
public:
    explicit StringVectorAccess(SAFEARRAY* array);
    std::span<BSTR> elements() const { return elements_; }

private:
    SafeArrayLockGuard lock_;
    std::span<BSTR> elements_;
};

// A locked one-dimensional array addressed by its own indices, of any element type. A missing
// (null) or multi-dimensional array raises 9, as does an index outside the bounds.
class VectorAccess {
public:
    explicit VectorAccess(SAFEARRAY* array);
    VARTYPE type() const { return type_; }
    VectorBounds bounds() const { return bounds_; }
    // The element at index.
    void* at(int64_t index) const;
    // Exchanges two elements bit for bit: strings, variants and objects change places as
    // references, nothing is copied or released.
    void exchange(int64_t i, int64_t j) const;

private:
    SAFEARRAY* array_;
    SafeArrayLockGuard lock_;
    VARTYPE type_ = VT_EMPTY;
    VectorBounds bounds_{};
};

// The same for an array whose elements must be of one type (T stored as Type); another type
// raises 13.
template <class T, VARTYPE Type>
class TypedVectorAccess : public VectorAccess {
public:
    explicit TypedVectorAccess(SAFEARRAY* array) : VectorAccess(array) {
        if (type() != Type || array->cbElements != sizeof(T)) raise(errTypeMismatch);
    }
    T& operator[](int64_t index) const { return *static_cast<T*>(at(index)); }
};

using LongVectorAccess = TypedVectorAccess<LONG, VT_I4>;
using BstrVectorAccess = TypedVectorAccess<BSTR, VT_BSTR>;

}  // namespace lark::com
