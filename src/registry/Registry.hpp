// The registry toolkit behind CRegistry2: keys and values in either registry view, copy, export
// to and import from REGEDIT4 files, window placement and file-type descriptions. The library's
// own classes share one instance per thread (sharedRegistry()); each CRegistry2 object has its
// own, with its own View64 and file-type cache.
//
// Every call goes through the ANSI forms of the registry functions, every key handle is owned
// by a unique_hkey and closed before a member returns, and each member applies its own error
// policy, so internal callers see exactly what clients see.
#pragma once

#include "frame/raii.hpp"
#include "registry/reg_text.hpp"

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace lark::registry {

// Error number of the toolkit's own failures (a key that cannot be created, a refused write).
inline constexpr int32_t errRegistry = 99;

// A fixed answer to "is this a 64-bit system?", for exercising the 64-bit branches from a
// 64-bit process. Production code never makes one: the default constructor asks the system.
struct SystemAnswer {
    bool is64bit;
};

class Registry {
public:
    Registry() = default;
    explicit Registry(SystemAnswer answer) : answer_(answer), answered_(true) {}

    bool View64() const { return view64_; }
    void SetView64(bool value);

    bool CheckRegistryKey(HKEY hKey, Units keyName, bool checkWrite = false);
    bool CreateRegistryKey(HKEY hKey, Units keyName);
    bool DeleteRegistryKey(HKEY hKey, Units keyName);
    bool DeleteRegistryKeyDeep(HKEY hKey, Units keyName);
    LONG GetRegistryValueType(HKEY hKey, Units keyName, Units valueName);
    // defaultValue null: no default was given, and a missing value answers the omitted-argument
    // marker.
    com::unique_variant GetRegistryValue(HKEY hKey, Units keyName, Units valueName, LONG type,
                                         const VARIANT* defaultValue);
    bool CheckRegistryValue(HKEY hKey, Units keyName, Units valueName, LONG type);
    void SetRegistryValue(HKEY hKey, Units keyName, Units valueName, LONG type, const VARIANT& value);
    // GetRegistryValue and SetRegistryValue of a REG_SZ value, for the library's own callers.
    std::u16string GetRegistryText(HKEY hKey, Units keyName, Units valueName, Units defaultText = {});
    void SetRegistryText(HKEY hKey, Units keyName, Units valueName, Units text);
    bool SetRegistryValueArray(HKEY hKey, Units keyName, SAFEARRAY* valueNames, SAFEARRAY* values);
    void DeleteRegistryValue(HKEY hKey, Units keyName, Units valueName);
    std::vector<std::u16string> EnumRegistryKeys(HKEY hKey, Units keyName);
    // Two-dimensional Variant array (0..1, 0..count-1): names, then data; null when empty.
    com::unique_safearray EnumRegistryValues(HKEY hKey, Units keyName);
    // Raises error 99 when the path cannot be made.
    void CreateRegistryKeyRecursive(HKEY hKey, Units keyName);

    void CopyRegistryKey(HKEY hKey, Units sourceKeyName, Units targetKeyName, bool recurse);
    void SaveRegToFile(HKEY hKey, Units keyName, Units regFile, bool includeSubKeys = true, bool appendToFile = false);
    void ApplyRegFile(Units regFile);

    void SaveWindowPos(HWND window, Units keyPath);
    void RestoreWindowPos(HWND window, Units keyPath, LONG minWidth = 0, LONG minHeight = 0, LONG show = -1);
    std::u16string GetFileType(Units extension);

private:
    bool is64bit();
    REGSAM viewFlag();
    REGSAM ReadAccessMask() { return KEY_READ | viewFlag(); }
    REGSAM WriteAccessMask() { return KEY_WRITE | viewFlag(); }
    REGSAM CreateAccessMask() { return viewFlag(); }

    com::unique_hkey openOrCreateForWriting(HKEY hKey, Units keyName);
    bool DeleteKeyTree(HKEY hKey, Units keyName);
    std::vector<std::u16string> ListSubKeys(HKEY hKey, Units keyName);
    // The key's block after the header, then on request the blocks of its subtree in depth-first
    // order, each written to the export's open file with a single write; helper threads read the
    // keys ahead of the writing.
    void saveTree(HKEY hKey, Units keyName, HANDLE file, std::u16string header, bool includeSubKeys);

    bool view64_ = false;
    SystemAnswer answer_{false};
    bool answered_ = false;  // answer_ holds the system's answer (or the one given)
    std::vector<std::pair<std::u16string, std::u16string>> fileTypes_;  // extension, description
};

// The instance that the library's classes share on this thread.
Registry& sharedRegistry();

}  // namespace lark::registry
