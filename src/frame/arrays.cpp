#include "frame/arrays.hpp"

#include "frame/errors.hpp"

#include <algorithm>
#include <climits>
#include <cstddef>

namespace lark::com {

std::optional<VectorBounds> vectorBounds(SAFEARRAY* array) {
    if (!array || SafeArrayGetDim(array) != 1) return std::nullopt;
    VectorBounds b{};
    check(SafeArrayGetLBound(array, 1, &b.lower));
    check(SafeArrayGetUBound(array, 1, &b.upper));
    return b;
}

unique_safearray newStringVector(size_t count, LONG lower) {
    if (count > ULONG_MAX) raise(errOutOfMemory);
    unique_safearray array(SafeArrayCreateVector(VT_BSTR, lower, static_cast<ULONG>(count)));
    if (!array) raise(errOutOfMemory);
    return array;
}

StringVectorAccess::StringVectorAccess(SAFEARRAY* array) : lock_(array) {
    VARTYPE type = VT_EMPTY;
    check(SafeArrayGetVartype(array, &type));
    if (type != VT_BSTR || SafeArrayGetDim(array) != 1) raise(errTypeMismatch);
    elements_ = {static_cast<BSTR*>(array->pvData), array->rgsabound[0].cElements};
}

namespace {
SAFEARRAY* oneDimensional(SAFEARRAY* array) {
    if (!array || SafeArrayGetDim(array) != 1) raise(errSubscript);
    return array;
}
}  // namespace

VectorAccess::VectorAccess(SAFEARRAY* array) : array_(oneDimensional(array)), lock_(array) {
    check(SafeArrayGetVartype(array, &type_));
    bounds_ = *vectorBounds(array);
}

void* VectorAccess::at(int64_t index) const {
    if (index < bounds_.lower || index > bounds_.upper) raise(errSubscript);
    const auto offset = static_cast<size_t>(index - bounds_.lower) * array_->cbElements;
    return static_cast<std::byte*>(array_->pvData) + offset;
}

void VectorAccess::exchange(int64_t i, int64_t j) const {
    auto* a = static_cast<std::byte*>(at(i));
    auto* b = static_cast<std::byte*>(at(j));
    if (a != b) std::swap_ranges(a, a + array_->cbElements, b);
}

}  // namespace lark::com
