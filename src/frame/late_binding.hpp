// Calls on other automation objects by member name, as a late-bound client makes them.
#pragma once

#include "frame/raii.hpp"

namespace lark::com {

// Calls member `name` of object with args (in DISPPARAMS order: the last argument first); raises
// the automation error the call fails with, and 91 for no object.
unique_variant callMember(IDispatch* object, const wchar_t* name, WORD flags, VARIANT* args = nullptr, UINT count = 0);

// Assigns value to property `name` of object (Let).
void letProperty(IDispatch* object, const wchar_t* name, VARIANT value);

}  // namespace lark::com
