// Module-wide state: this DLL's handle, its live objects and locks, and its type library.
#pragma once

#include "frame/raii.hpp"

#include <string>

namespace lark::com {

HMODULE moduleHandle() noexcept;
void setModuleHandle(HMODULE module) noexcept;

// The full path of this DLL.
std::wstring modulePath();

// Objects and server locks alive in this module; DllCanUnloadNow answers from this count.
void moduleAddRef() noexcept;
void moduleRelease() noexcept;
bool moduleInUse() noexcept;

// The type library embedded in this DLL as resource 1.
ComPtr<ITypeLib> typeLibrary();

// The description of one interface of the type library; throws when it has none.
ComPtr<ITypeInfo> typeInfoOf(REFIID iid);

}  // namespace lark::com
