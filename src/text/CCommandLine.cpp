#include "text/CCommandLine.hpp"

#include "frame/errors.hpp"
#include "frame/raii.hpp"

namespace lark::text {

using com::traps;

HRESULT CCommandLine::put_CommandLine(BSTR RHS) {
    return traps([&] {
        parsed_ = ParsedCommandLine{};
        parsed_ = parseCommandLine(com::view(RHS));
        malformed_ = malformed_ || parsed_.malformed;
    });
}

HRESULT CCommandLine::get_Malformed(VARIANT_BOOL* result) {
    return traps(result, [&] { *result = malformed_ ? VARIANT_TRUE : VARIANT_FALSE; });
}

HRESULT CCommandLine::get_ParameterCount(LONG* result) {
    return traps(result, [&] { *result = parsed_.count; });
}

HRESULT CCommandLine::get_Parameter(LONG index, VARIANT* result) {
    return traps(result, [&] {
        VariantInit(result);
        if (index < 1 || index > kMaxParameters || index > parsed_.count) return;
        // A parameter counted but not stored (the store ran out of memory) reads as "".
        const auto i = static_cast<size_t>(index - 1);
        BSTR text = com::allocBstr(i < parsed_.parameters.size() ? parsed_.parameters[i] : std::u16string_view{});
        result->vt = VT_BSTR;
        result->bstrVal = text;
    });
}

}  // namespace lark::text
