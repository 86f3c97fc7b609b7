// Writes and removes the registry entries of every creatable class and of the type library.
#pragma once

#include <windows.h>

namespace lark::com {

HRESULT registerServer() noexcept;
HRESULT unregisterServer() noexcept;

}  // namespace lark::com
