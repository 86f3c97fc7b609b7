// What DllRegisterServer writes to the registry, and that DllUnregisterServer removes all of it.
#include "typelib_support.hpp"

#include <optional>

namespace lark::test {
namespace {

std::optional<std::wstring> classesValue(const std::wstring& path, const wchar_t* name = nullptr) {
    wchar_t buffer[1024];
    DWORD size = sizeof(buffer);
    if (RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(buffer);
}

bool classesKeyExists(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

using EntryPoint = HRESULT(STDAPICALLTYPE*)();

EntryPoint entryPoint(HMODULE dll, const char* name) {
    return reinterpret_cast<EntryPoint>(reinterpret_cast<void*>(GetProcAddress(dll, name)));
}

const wchar_t kDll[] = L"C:\\larklib\\LARKLIB8.dll";
const wchar_t kCollectionInterface[] = L"Interface\\{A4C46780-499F-101B-BB78-00AA00383CBB}";

void expectRegistered(const std::vector<CoClass>& classes) {
    for (const CoClass& c : classes) {
        SCOPED_TRACE(c.name);
        const std::wstring clsidKey = L"CLSID\\" + guidText(c.clsid), progId = L"LARKLIB8." + c.name;
        if (!c.creatable) {
            EXPECT_FALSE(classesKeyExists(clsidKey));
            EXPECT_FALSE(classesKeyExists(progId));
            continue;
        }
        std::optional<std::wstring> server = classesValue(clsidKey + L"\\InprocServer32");
        ASSERT_TRUE(server);
        EXPECT_EQ(0, _wcsicmp(kDll, server->c_str())) << *server;
        EXPECT_EQ(L"Apartment", classesValue(clsidKey + L"\\InprocServer32", L"ThreadingModel").value_or(L""));
        EXPECT_EQ(progId, classesValue(clsidKey + L"\\ProgID").value_or(L""));
        EXPECT_EQ(guidText(c.clsid), classesValue(progId + L"\\CLSID").value_or(L""));
        EXPECT_TRUE(classesKeyExists(L"Interface\\" + guidText(c.defaultInterface)));
    }
    std::wstring library = L"TypeLib\\" + guidText(kLibraryId) + L"\\1.0";
    EXPECT_EQ(0, _wcsicmp(kDll, classesValue(library + L"\\409\\win64").value_or(L"").c_str()));
    // The automation environment's Collection interface is only borrowed, never registered.
    EXPECT_FALSE(classesKeyExists(kCollectionInterface));
}

TEST(Registration, UnregisterRemovesWhatRegisterWrote) {
    std::vector<CoClass> classes = registeredClasses();
    ASSERT_EQ(21u, classes.size());
    {
        SCOPED_TRACE("after regsvr32");
        expectRegistered(classes);
    }

    HMODULE dll = LoadLibraryW(kDll);
    ASSERT_TRUE(dll);
    ASSERT_EQ(S_OK, entryPoint(dll, "DllUnregisterServer")());
    for (const CoClass& c : classes) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(classesKeyExists(L"CLSID\\" + guidText(c.clsid)));
        EXPECT_FALSE(classesKeyExists(L"LARKLIB8." + c.name));
        EXPECT_FALSE(classesKeyExists(L"Interface\\" + guidText(c.defaultInterface)));
    }
    EXPECT_FALSE(classesKeyExists(L"TypeLib\\" + guidText(kLibraryId)));
    CLSID none{};
    EXPECT_NE(S_OK, CLSIDFromProgID(L"LARKLIB8.CDataStructures3", &none));
    EXPECT_EQ(S_OK, entryPoint(dll, "DllUnregisterServer")()) << "unregistering twice is harmless";

    ASSERT_EQ(S_OK, entryPoint(dll, "DllRegisterServer")());
    {
        SCOPED_TRACE("registered again");
        expectRegistered(classes);
    }
    FreeLibrary(dll);
}

}  // namespace
}  // namespace lark::test
