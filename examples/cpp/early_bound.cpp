// An early-bound C++ client: classes created by their class identity and called through the
// vtables of their interfaces, as the header made from the type library declares them
// (LARKLIB8.h and LARKLIB8_i.c, which widl writes from the library's IDL; with Visual C++,
// #import "LARKLIB8.tlb" gives the same interfaces). It shows what early binding adds to a
// script's view: typed arguments, strings changed in place, typed arrays in and out, and the
// error a member raises as an HRESULT with its description.
//
// Build with mingw-w64, for example:
//   x86_64-w64-mingw32-g++ early_bound.cpp LARKLIB8_i.c -lole32 -loleaut32 -luuid
#include <windows.h>

#include <cstdio>
#include <string>

#include "LARKLIB8.h"

namespace {

const LONG kCurrentUser = static_cast<LONG>(0x80000001);  // HKEY_CURRENT_USER as the library takes it

// A string owned by this scope.
class Text {
public:
    explicit Text(const wchar_t* text) : bstr_(SysAllocString(text)) {}
    Text(const Text&) = delete;
    Text& operator=(const Text&) = delete;
    ~Text() { SysFreeString(bstr_); }
    BSTR* operator&() { return &bstr_; }
    operator BSTR() const { return bstr_; }

private:
    BSTR bstr_;
};

// An interface pointer released at the end of its scope.
template <class Interface>
class Object {
public:
    Object() = default;
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;
    ~Object() {
        if (pointer_) pointer_->Release();
    }
    Interface* operator->() const { return pointer_; }
    void** put() { return reinterpret_cast<void**>(&pointer_); }

private:
    Interface* pointer_ = nullptr;
};

std::string utf8(const wchar_t* text) {
    if (!text || !*text) return {};
    std::string out(WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), static_cast<int>(out.size()), nullptr, nullptr);
    out.pop_back();
    return out;
}

// Creates a class of the library, or says why it could not.
template <class Interface>
bool create(const CLSID& clsid, const IID& iid, Object<Interface>& object, const char* name) {
    const HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, iid, object.put());
    if (FAILED(hr)) std::printf("%s could not be created (0x%08lX): is LARKLIB8.dll registered?\n", name, hr);
    return SUCCEEDED(hr);
}

// A failed call as a client sees it: the HRESULT carries the error number, the error object the
// source and the description.
void printError(const char* call, HRESULT hr) {
    IErrorInfo* info = nullptr;
    BSTR source = nullptr, description = nullptr;
    if (GetErrorInfo(0, &info) == S_OK) {
        info->GetSource(&source);
        info->GetDescription(&description);
        info->Release();
    }
    std::printf("%s fails with 0x%08lX, error %ld from %s: %s\n", call, hr, hr & 0xFFFF, utf8(source).c_str(),
                utf8(description).c_str());
    SysFreeString(source);
    SysFreeString(description);
}

// A one-dimensional string array with the bounds given, as Visual Basic's Dim a(1 To 4) makes it.
SAFEARRAY* stringArray(LONG lower, std::initializer_list<const wchar_t*> items) {
    SAFEARRAYBOUND bound{static_cast<ULONG>(items.size()), lower};
    SAFEARRAY* array = SafeArrayCreate(VT_BSTR, 1, &bound);
    LONG index = lower;
    for (const wchar_t* item : items) {
        BSTR copy = SysAllocString(item);
        SafeArrayPutElement(array, &index, copy);
        SysFreeString(copy);
        ++index;
    }
    return array;
}

void printArray(const char* what, SAFEARRAY* array) {
    LONG lower = 0, upper = -1;
    if (array) SafeArrayGetLBound(array, 1, &lower), SafeArrayGetUBound(array, 1, &upper);
    std::printf("%s (%ld To %ld):", what, lower, upper);
    for (LONG i = lower; i <= upper; ++i) {
        BSTR item = nullptr;
        SafeArrayGetElement(array, &i, &item);
        std::printf(" %s", utf8(item).c_str());
        SysFreeString(item);
    }
    std::printf("\n");
}

void searchAndReplace() {
    Object<_CDataStructures3> text;
    if (!create(CLSID_CDataStructures3, IID__CDataStructures3, text, "CDataStructures3")) return;
    Text line(L"The quick brown fox"), fox(L"FOX");
    LONG at = 0;
    text->lrkInstr(1, &line, &fox, vbTextCompare, &at);
    std::printf("lrkInstr finds FOX, ignoring case, at %ld\n", at);
    text->lrkReplaceChar(1, &line, L' ', L'_', vbBinaryCompare);
    std::printf("lrkReplaceChar changed the string in place: %s\n", utf8(line).c_str());
    const HRESULT hr = text->lrkInstr(0, &line, &fox, vbTextCompare, &at);
    if (FAILED(hr)) printError("lrkInstr with start 0", hr);
}

void sortTypedArray() {
    Object<_CServicesInputOutput> sorter;
    if (!create(CLSID_CServicesInputOutput, IID__CServicesInputOutput, sorter, "CServicesInputOutput")) return;
    SAFEARRAY* names = stringArray(1, {L"pear", L"Apple", L"fig", L"banana"});
    LONG left = -1, right = -1;  // the whole array: the bounds are written back
    sorter->QuickSortString(&names, &left, &right);
    printArray("QuickSortString sorted a String array", names);
    std::printf("and wrote back its bounds %ld to %ld\n", left, right);
    SafeArrayDestroy(names);
}

void parseCommandLine() {
    Object<_CCommandLine> parser;
    if (!create(CLSID_CCommandLine, IID__CCommandLine, parser, "CCommandLine")) return;
    parser->put_CommandLine(Text(L"backup.exe /to \"D:\\Backups\\March 2010\" /quiet"));
    LONG count = 0;
    parser->get_ParameterCount(&count);
    std::printf("CCommandLine found %ld parameters:", count);
    for (LONG i = 1; i <= count; ++i) {
        VARIANT parameter;
        VariantInit(&parameter);
        parser->get_Parameter(i, &parameter);
        std::printf(" [%s]", utf8(parameter.bstrVal).c_str());
        VariantClear(&parameter);
    }
    std::printf("\n");
}

void listRegistryKeys() {
    Object<_CRegistry2> registry;
    if (!create(CLSID_CRegistry2, IID__CRegistry2, registry, "CRegistry2")) return;
    const wchar_t* branch = L"Software\\LarkLib8 Early Bound";
    for (const wchar_t* key : {L"\\Fonts", L"\\Colours", L"\\Recent"})
        registry->CreateRegistryKeyRecursive(kCurrentUser, Text((std::wstring(branch) + key).c_str()));
    SAFEARRAY* keys = nullptr;
    registry->EnumRegistryKeys(kCurrentUser, Text(branch), &keys);
    printArray("EnumRegistryKeys returned a String array", keys);
    SafeArrayDestroy(keys);
    VARIANT_BOOL deleted = VARIANT_FALSE;
    registry->DeleteRegistryKeyDeep(kCurrentUser, Text(branch), &deleted);
    std::printf("and the branch was deleted: %s\n", deleted ? "True" : "False");
}

}  // namespace

int main() {
    if (FAILED(CoInitialize(nullptr))) return 1;
    searchAndReplace();
    sortTypedArray();
    parseCommandLine();
    listRegistryKeys();
    CoUninitialize();
    return 0;
}
