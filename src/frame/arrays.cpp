#include "frame/arrays.hpp"

#include "frame/errors.hpp"

#include <climits>

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

}  // namespace lark::com
