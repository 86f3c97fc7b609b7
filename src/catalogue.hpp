// The class catalogue: one row per class of the type library. It drives DllGetClassObject,
// registration and unregistration.
#pragma once

#include <windows.h>

#include <span>

namespace lark::com {

using CreateFunction = HRESULT (*)(REFIID iid, void** out);

struct ClassEntry {
    const wchar_t* name;      // the class name; the ProgID is "LARKLIB8." + name
    const CLSID* clsid;
    const IID* iid;           // the default interface
    CreateFunction create;    // null for classes clients cannot create
};

std::span<const ClassEntry> catalogue();

}  // namespace lark::com
