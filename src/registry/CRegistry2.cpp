#include "registry/CRegistry2.hpp"

#include "frame/arrays.hpp"
#include "frame/errors.hpp"

namespace lark::registry {

using com::raises;
using com::traps;
using com::view;
using com::windowHandle;

namespace {

// Root keys and handles travel as Long and are sign-extended back.
HKEY keyHandle(LONG hKey) { return reinterpret_cast<HKEY>(static_cast<INT_PTR>(hKey)); }

}  // namespace

// Each member's error policy lives in Registry, where the library's own callers get it too;
// these wrappers only refuse null out parameters and report what cannot be converted.

HRESULT CRegistry2::get_View64(VARIANT_BOOL* result) {
    return traps(result, [&] { *result = com::variantBool(registry_.View64()); });
}

HRESULT CRegistry2::put_View64(VARIANT_BOOL RHS) {
    return traps([&] { registry_.SetView64(RHS != VARIANT_FALSE); });
}

HRESULT CRegistry2::CheckRegistryKey(LONG hKey, BSTR KeyName, VARIANT_BOOL bCheckWrite, VARIANT_BOOL* result) {
    return traps(result, [&] {
        *result = com::variantBool(registry_.CheckRegistryKey(keyHandle(hKey), view(KeyName), bCheckWrite));
    });
}

HRESULT CRegistry2::CreateRegistryKey(LONG hKey, BSTR KeyName, VARIANT_BOOL* result) {
    return traps(result,
                 [&] { *result = com::variantBool(registry_.CreateRegistryKey(keyHandle(hKey), view(KeyName))); });
}

HRESULT CRegistry2::DeleteRegistryKey(LONG hKey, BSTR KeyName, VARIANT_BOOL* result) {
    return traps(result,
                 [&] { *result = com::variantBool(registry_.DeleteRegistryKey(keyHandle(hKey), view(KeyName))); });
}

HRESULT CRegistry2::DeleteRegistryKeyDeep(LONG hKey, BSTR KeyName, VARIANT_BOOL* result) {
    return traps(result,
                 [&] { *result = com::variantBool(registry_.DeleteRegistryKeyDeep(keyHandle(hKey), view(KeyName))); });
}

HRESULT CRegistry2::GetRegistryValueType(LONG hKey, BSTR KeyName, BSTR ValueName, LONG* result) {
    return traps(result,
                 [&] { *result = registry_.GetRegistryValueType(keyHandle(hKey), view(KeyName), view(ValueName)); });
}

HRESULT CRegistry2::GetRegistryValue(LONG hKey, BSTR KeyName, BSTR ValueName, LONG rKeyType, VARIANT* DefaultValue,
                                     VARIANT* result) {
    return traps(result, [&] {
        VariantInit(result);
        *result = registry_.GetRegistryValue(keyHandle(hKey), view(KeyName), view(ValueName), rKeyType, DefaultValue)
                      .release();
    });
}

HRESULT CRegistry2::CheckRegistryValue(LONG hKey, BSTR KeyName, BSTR ValueName, LONG rKeyType, VARIANT_BOOL* result) {
    return traps(result, [&] {
        *result =
            com::variantBool(registry_.CheckRegistryValue(keyHandle(hKey), view(KeyName), view(ValueName), rKeyType));
    });
}

HRESULT CRegistry2::SetRegistryValue(LONG hKey, BSTR KeyName, BSTR ValueName, LONG rKeyType, VARIANT* Value) {
    return traps(
        Value, [&] { registry_.SetRegistryValue(keyHandle(hKey), view(KeyName), view(ValueName), rKeyType, *Value); });
}

HRESULT CRegistry2::SetRegistryValueArray(LONG hKey, BSTR KeyName, SAFEARRAY** ValueName, LONG, SAFEARRAY** Value,
                                          VARIANT_BOOL* result) {
    return traps(result, [&] {
        *result = VARIANT_FALSE;
        if (!ValueName || !Value) return;
        *result = com::variantBool(registry_.SetRegistryValueArray(keyHandle(hKey), view(KeyName), *ValueName, *Value));
    });
}

HRESULT CRegistry2::DeleteRegistryValue(LONG hKey, BSTR KeyName, BSTR ValueName) {
    return traps([&] { registry_.DeleteRegistryValue(keyHandle(hKey), view(KeyName), view(ValueName)); });
}

HRESULT CRegistry2::EnumRegistryKeys(LONG hKey, BSTR KeyName, SAFEARRAY** result) {
    return traps(result, [&] {
        *result = nullptr;
        const std::vector<std::u16string> names = registry_.EnumRegistryKeys(keyHandle(hKey), view(KeyName));
        if (names.empty()) return;
        com::unique_safearray array = com::newStringVector(names.size());
        com::StringVectorAccess slots(array.get());
        for (size_t i = 0; i < names.size(); ++i)
            slots.elements()[i] = com::allocBstr(names[i]);
        *result = array.release();
    });
}

HRESULT CRegistry2::EnumRegistryValues(LONG hKey, BSTR KeyName, SAFEARRAY** result) {
    return traps(result, [&] {
        *result = nullptr;
        *result = registry_.EnumRegistryValues(keyHandle(hKey), view(KeyName)).release();
    });
}

HRESULT CRegistry2::CreateRegistryKeyRecursive(LONG hKey, BSTR KeyName) {
    return raises([&] { registry_.CreateRegistryKeyRecursive(keyHandle(hKey), view(KeyName)); });
}

HRESULT CRegistry2::CopyRegistryKey(LONG hKey, BSTR SourceKeyName, BSTR TargetKeyName, VARIANT_BOOL Recurse) {
    return traps([&] {
        registry_.CopyRegistryKey(keyHandle(hKey), view(SourceKeyName), view(TargetKeyName), Recurse != VARIANT_FALSE);
    });
}

HRESULT CRegistry2::SaveRegToFile(LONG hKey, BSTR sKeyName, BSTR sRegFile, VARIANT_BOOL bIncludeSubKeys,
                                  VARIANT_BOOL bAppendToFile) {
    return traps([&] {
        registry_.SaveRegToFile(keyHandle(hKey), view(sKeyName), view(sRegFile), bIncludeSubKeys != VARIANT_FALSE,
                                bAppendToFile != VARIANT_FALSE);
    });
}

HRESULT CRegistry2::ApplyRegFile(BSTR sRegFile) {
    return traps([&] { registry_.ApplyRegFile(view(sRegFile)); });
}

HRESULT CRegistry2::SaveWindowPos(LONG hWnd, BSTR* KeyPath) {
    return traps([&] { registry_.SaveWindowPos(windowHandle(hWnd), view(KeyPath)); });
}

HRESULT CRegistry2::RestoreWindowPos(LONG hWnd, BSTR* KeyPath, LONG* MinWidth, LONG* MinHeight, LONG SW) {
    return traps([&] {
        registry_.RestoreWindowPos(windowHandle(hWnd), view(KeyPath), MinWidth ? *MinWidth : 0,
                                   MinHeight ? *MinHeight : 0, SW);
    });
}

HRESULT CRegistry2::GetFileType(BSTR Extension, BSTR* result) {
    return traps(result, [&] {
        *result = nullptr;
        *result = com::allocBstr(registry_.GetFileType(view(Extension)));
    });
}

}  // namespace lark::registry
