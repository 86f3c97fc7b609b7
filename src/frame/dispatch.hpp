// IDispatch from the type library, with what script clients need on top: ByRef arguments
// passed as variant references are converted to the parameter's type and written back.
#pragma once

#include <windows.h>
#include <oleauto.h>

namespace lark::com {

class DispatchTable;

// Names from the interface's table (dispatch_table.hpp), or from the type description when the
// table does not know them.
HRESULT dispatchGetIDsOfNames(const DispatchTable& table, LPOLESTR* names, UINT count, DISPID* ids) noexcept;
HRESULT dispatchGetIDsOfNames(ITypeInfo* info, LPOLESTR* names, UINT count, DISPID* ids) noexcept;

// Calls member `id` of the interface `object` that the table (or `info`) describes: through the
// table when it describes the member and the call, otherwise through the general path.
HRESULT dispatchInvoke(const DispatchTable& table, void* object, DISPID id, WORD flags, DISPPARAMS* params,
                       VARIANT* result, EXCEPINFO* exception, UINT* argError) noexcept;
HRESULT dispatchInvoke(ITypeInfo* info, void* object, DISPID id, WORD flags, DISPPARAMS* params,
                       VARIANT* result, EXCEPINFO* exception, UINT* argError) noexcept;

// The general path, for every call: asks the type description for the member each time and
// leaves the call to ITypeInfo::Invoke, or to the vtable for records and lent objects.
HRESULT dispatchInvokeGeneral(ITypeInfo* info, void* object, DISPID id, WORD flags, DISPPARAMS* params,
                              VARIANT* result, EXCEPINFO* exception, UINT* argError) noexcept;

}  // namespace lark::com
