// SAFEARRAY helpers that keep bounds exactly as members promise them. An array with no bounds
// is a null SAFEARRAY pointer.
#pragma once

#include "frame/raii.hpp"

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

}  // namespace lark::com
