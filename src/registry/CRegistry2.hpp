// CRegistry2: the registry toolkit as clients see it. The work is done by the instance's own
// Registry (Registry.hpp); this class converts arguments and results.
#pragma once

#include "LARKLIB8.h"
#include "frame/object.hpp"
#include "registry/Registry.hpp"

namespace lark::registry {

class CRegistry2 final : public com::Object<_CRegistry2> {
public:
    HRESULT STDMETHODCALLTYPE get_View64(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE put_View64(VARIANT_BOOL RHS) override;
    HRESULT STDMETHODCALLTYPE CheckRegistryKey(LONG hKey, BSTR KeyName, VARIANT_BOOL bCheckWrite,
                                               VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE CreateRegistryKey(LONG hKey, BSTR KeyName, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE DeleteRegistryKey(LONG hKey, BSTR KeyName, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE DeleteRegistryKeyDeep(LONG hKey, BSTR KeyName, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE GetRegistryValueType(LONG hKey, BSTR KeyName, BSTR ValueName, LONG* result) override;
    HRESULT STDMETHODCALLTYPE GetRegistryValue(LONG hKey, BSTR KeyName, BSTR ValueName, LONG rKeyType,
                                               VARIANT* DefaultValue, VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE CheckRegistryValue(LONG hKey, BSTR KeyName, BSTR ValueName, LONG rKeyType,
                                                 VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE SetRegistryValue(LONG hKey, BSTR KeyName, BSTR ValueName, LONG rKeyType,
                                               VARIANT* Value) override;
    HRESULT STDMETHODCALLTYPE SetRegistryValueArray(LONG hKey, BSTR KeyName, SAFEARRAY** ValueName, LONG rKeyType,
                                                    SAFEARRAY** Value, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE DeleteRegistryValue(LONG hKey, BSTR KeyName, BSTR ValueName) override;
    HRESULT STDMETHODCALLTYPE EnumRegistryKeys(LONG hKey, BSTR KeyName, SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE EnumRegistryValues(LONG hKey, BSTR KeyName, SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE CreateRegistryKeyRecursive(LONG hKey, BSTR KeyName) override;
    HRESULT STDMETHODCALLTYPE CopyRegistryKey(LONG hKey, BSTR SourceKeyName, BSTR TargetKeyName,
                                              VARIANT_BOOL Recurse) override;
    HRESULT STDMETHODCALLTYPE SaveRegToFile(LONG hKey, BSTR sKeyName, BSTR sRegFile, VARIANT_BOOL bIncludeSubKeys,
                                            VARIANT_BOOL bAppendToFile) override;
    HRESULT STDMETHODCALLTYPE ApplyRegFile(BSTR sRegFile) override;
    HRESULT STDMETHODCALLTYPE SaveWindowPos(LONG hWnd, BSTR* KeyPath) override;
    HRESULT STDMETHODCALLTYPE RestoreWindowPos(LONG hWnd, BSTR* KeyPath, LONG* MinWidth, LONG* MinHeight,
                                               LONG SW) override;
    HRESULT STDMETHODCALLTYPE GetFileType(BSTR Extension, BSTR* result) override;

private:
    Registry registry_;
};

}  // namespace lark::registry
