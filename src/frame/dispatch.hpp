// IDispatch from the type library, with what script clients need on top: ByRef arguments
// passed as variant references are converted to the parameter's type and written back.
#pragma once

#include <windows.h>
#include <oleauto.h>

namespace lark::com {

HRESULT dispatchGetIDsOfNames(ITypeInfo* info, LPOLESTR* names, UINT count, DISPID* ids) noexcept;

// Calls member `id` of the interface `object` that `info` describes.
HRESULT dispatchInvoke(ITypeInfo* info, void* object, DISPID id, WORD flags, DISPPARAMS* params,
                       VARIANT* result, EXCEPINFO* exception, UINT* argError) noexcept;

}  // namespace lark::com
