// Where library errors meet COM: the automation error convention at every member's boundary.
#pragma once

#include "frame/error.hpp"

#include <windows.h>
#include <oleauto.h>

#include <utility>

namespace lark::com {

// The HRESULT a client sees for an automation error number (0x800A0000 | number); a negative
// number is already an HRESULT and passes unchanged.
HRESULT hresultOf(int32_t number) noexcept;

// Throws the automation error that a failed HRESULT stands for; does nothing on success.
void check(HRESULT hr);

// Publishes the error (source, description) for the caller and returns its HRESULT.
HRESULT report(const Error& error) noexcept;

// Turns whatever is being thrown into a reported automation error.
HRESULT reportCurrentException() noexcept;

// Error policy "raises": errors reach the caller as automation errors.
template <class Body>
HRESULT raises(Body&& body) noexcept {
    try {
        body();
        return S_OK;
    } catch (...) {
        return reportCurrentException();
    }
}

// Error policy "traps" (stop and return): the member ends at its first error and the caller
// gets the results as they stand, with no error.
template <class Body>
HRESULT traps(Body&& body) noexcept {
    stopOnError(body);
    return S_OK;
}

// The same policies for members with an out parameter: a null one is refused with E_POINTER
// before the body runs.
template <class Out, class Body>
HRESULT raises(Out* out, Body&& body) noexcept {
    return out ? raises(std::forward<Body>(body)) : E_POINTER;
}
template <class Out, class Body>
HRESULT traps(Out* out, Body&& body) noexcept {
    return out ? traps(std::forward<Body>(body)) : E_POINTER;
}

}  // namespace lark::com
