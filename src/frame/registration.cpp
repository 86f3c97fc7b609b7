#include "frame/registration.hpp"

#include "catalogue.hpp"
#include "frame/errors.hpp"
#include "frame/module.hpp"

#include <string>

namespace lark::com {

namespace {

std::wstring guidText(const GUID& guid) {
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return text;
}

std::wstring progId(const ClassEntry& entry) { return std::wstring(L"LARKLIB8.") + entry.name; }

void checkRegistry(LSTATUS status) {
    if (status != ERROR_SUCCESS) check(HRESULT_FROM_WIN32(status));
}

// Sets a string value under HKEY_CLASSES_ROOT\path, creating the key; an empty name is the
// key's default value.
void setClassesValue(const std::wstring& path, const wchar_t* name, const std::wstring& value) {
    unique_hkey key;
    checkRegistry(RegCreateKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                  key.put(), nullptr));
    checkRegistry(RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))));
}

void deleteClassesTree(const std::wstring& path) {
    LSTATUS status = RegDeleteTreeW(HKEY_CLASSES_ROOT, path.c_str());
    if (status != ERROR_FILE_NOT_FOUND) checkRegistry(status);
    status = RegDeleteKeyW(HKEY_CLASSES_ROOT, path.c_str());
    if (status != ERROR_FILE_NOT_FOUND) checkRegistry(status);
}

void registerClass(const ClassEntry& entry, const std::wstring& path, const std::wstring& libid) {
    const std::wstring clsidKey = L"CLSID\\" + guidText(*entry.clsid);
    setClassesValue(clsidKey, L"", progId(entry));
    setClassesValue(clsidKey + L"\\InprocServer32", L"", path);
    setClassesValue(clsidKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
    setClassesValue(clsidKey + L"\\ProgID", L"", progId(entry));
    setClassesValue(clsidKey + L"\\TypeLib", L"", libid);
    setClassesValue(progId(entry), L"", progId(entry));
    setClassesValue(progId(entry) + L"\\CLSID", L"", guidText(*entry.clsid));
}

}  // namespace

HRESULT registerServer() noexcept {
    return raises([] {
        const std::wstring path = modulePath();
        ComPtr<ITypeLib> library = typeLibrary();
        TLIBATTR* attr = nullptr;
        check(library->GetLibAttr(&attr));
        const std::wstring libid = guidText(attr->guid);
        library->ReleaseTLibAttr(attr);
        for (const ClassEntry& entry : catalogue())
            if (entry.create) registerClass(entry, path, libid);
        std::wstring pathCopy = path;  // RegisterTypeLib takes a non-const string
        check(RegisterTypeLib(library.get(), pathCopy.data(), nullptr));
    });
}

HRESULT unregisterServer() noexcept {
    return raises([] {
        for (const ClassEntry& entry : catalogue()) {
            if (!entry.create) continue;
            deleteClassesTree(L"CLSID\\" + guidText(*entry.clsid));
            deleteClassesTree(progId(entry));
        }
        ComPtr<ITypeLib> library = typeLibrary();
        TLIBATTR* attr = nullptr;
        check(library->GetLibAttr(&attr));
        TLIBATTR lib = *attr;
        library->ReleaseTLibAttr(attr);
        ComPtr<ITypeLib> registered;
        if (SUCCEEDED(LoadRegTypeLib(lib.guid, lib.wMajorVerNum, lib.wMinorVerNum, lib.lcid, registered.put())))
            check(UnRegisterTypeLib(lib.guid, lib.wMajorVerNum, lib.wMinorVerNum, lib.lcid, lib.syskind));
    });
}

}  // namespace lark::com
