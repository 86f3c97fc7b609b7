#include "frame/errors.hpp"

#include "frame/raii.hpp"

#include <new>

namespace lark::com {

namespace {
constexpr std::u16string_view kDefaultSource = u"LARKLIB8";

LPCOLESTR ole(std::u16string_view s) { return reinterpret_cast<LPCOLESTR>(s.data()); }

int32_t numberOf(HRESULT hr) noexcept {
    switch (hr) {
    case E_OUTOFMEMORY: return errOutOfMemory;
    case DISP_E_OVERFLOW: return errOverflow;
    case DISP_E_TYPEMISMATCH: return errTypeMismatch;
    case DISP_E_BADINDEX:
    case DISP_E_ARRAYISLOCKED: return errSubscript;
    case E_INVALIDARG: return errInvalidCall;
    case E_POINTER: return errObjectNotSet;
    default: break;
    }
    if (HRESULT_FACILITY(hr) == FACILITY_CONTROL) return HRESULT_CODE(hr);
    return hr;
}
}  // namespace

HRESULT hresultOf(int32_t number) noexcept {
    if (number < 0) return number;
    return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, number & 0xFFFF);
}

void check(HRESULT hr) {
    if (FAILED(hr)) raise(numberOf(hr));
}

HRESULT report(const Error& error) noexcept {
    ICreateErrorInfo* create = nullptr;
    if (SUCCEEDED(CreateErrorInfo(&create))) {
        std::u16string source = error.source.empty() ? std::u16string(kDefaultSource) : error.source;
        std::u16string description =
            error.description.empty() ? std::u16string(standardDescription(error.number)) : error.description;
        create->SetGUID(GUID_NULL);
        create->SetSource(const_cast<LPOLESTR>(ole(source)));
        create->SetDescription(const_cast<LPOLESTR>(ole(description)));
        ComPtr<IErrorInfo> info = ComPtr<ICreateErrorInfo>::attach(create).query<IErrorInfo>();
        SetErrorInfo(0, info.get());
    }
    return hresultOf(error.number);
}

HRESULT reportCurrentException() noexcept {
    try {
        throw;
    } catch (const Error& e) {
        return report(e);
    } catch (const std::bad_alloc&) {
        return report(Error{errOutOfMemory, {}, {}});
    } catch (...) {
        return report(Error{errInvalidCall, {}, {}});
    }
}

}  // namespace lark::com
