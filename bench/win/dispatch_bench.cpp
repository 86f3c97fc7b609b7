// Late binding from a C++ client: the library's GetIDsOfNames and Invoke (CDataStructures3.QuickMid
// by dispatch id, 100,000 calls) from its member tables, beside the frame's general path (the
// dispatch as it was before the tables, kept for the calls they do not describe) and the
// platform's own ITypeInfo::GetIDsOfNames and ITypeInfo::Invoke, on the same object and type
// description in the same run. The early-bound call through the vtable is the floor. Every name of
// every creatable class's interface is also looked up both ways, and the answers must agree.
#include <objbase.h>
#include <windows.h>

#include "LARKLIB8.h"
#include "frame/dispatch.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kCalls = 100000;

// The best of five runs of kCalls calls, in nanoseconds per call.
template <class Call>
double nanosPerCall(Call call) {
    double best = 1e300;
    for (int run = 0; run < 5; ++run) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kCalls; ++i)
            call();
        const std::chrono::duration<double, std::nano> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count() / kCalls);
    }
    return best;
}

void row(const char* what, double ours, double anchor, const char* anchorName) {
    printf("  %-44s %6.0f ns   %-27s %6.0f ns   ratio %.2f\n", what, ours, anchorName, anchor, ours / anchor);
}

std::wstring upper(std::wstring s) {
    for (auto& c : s)
        if (c >= L'a' && c <= L'z') c = wchar_t(c - 32);
    return s;
}

// Looks every member name of the object's interface, and every member name followed by its
// parameter names, up through the object and through its type description; counts the names
// whose answers differ.
int compareNames(IDispatch* object, const wchar_t* progId) {
    ITypeInfo* info = nullptr;
    TYPEATTR* attr = nullptr;
    if (FAILED(object->GetTypeInfo(0, 0, &info)) || FAILED(info->GetTypeAttr(&attr))) return 1;
    int differ = 0;
    for (UINT f = 0; f < attr->cFuncs; ++f) {
        FUNCDESC* desc = nullptr;
        if (FAILED(info->GetFuncDesc(f, &desc))) continue;
        BSTR names[32] = {};
        UINT count = 0;
        info->GetNames(desc->memid, names, 32, &count);
        std::vector<std::wstring> asked;
        for (UINT n = 0; n < count; ++n)
            asked.push_back(n % 2 ? upper(names[n]) : names[n]);
        asked.push_back(L"NoSuchName");
        for (UINT take = 1; take <= asked.size(); ++take) {
            std::vector<LPOLESTR> list;
            for (UINT n = 0; n < take; ++n)
                list.push_back(asked[n].data());
            std::vector<DISPID> ours(take, 12345), theirs(take, 12345);
            const HRESULT a = object->GetIDsOfNames(IID_NULL, list.data(), take, 0, ours.data());
            const HRESULT b = info->GetIDsOfNames(list.data(), take, theirs.data());
            if (a != b || ours != theirs) {
                printf("  %ls: names from %ls answer %08lx, the platform %08lx\n", progId, list[0], a, b);
                ++differ;
            }
        }
        for (UINT n = 0; n < count; ++n)
            SysFreeString(names[n]);
        info->ReleaseFuncDesc(desc);
    }
    info->ReleaseTypeAttr(attr);
    info->Release();
    return differ;
}

// Every creatable class of the library's type library, compared by compareNames.
int compareAllNames() {
    ITypeLib* library = nullptr;
    if (FAILED(LoadTypeLibEx(L"C:\\larklib\\LARKLIB8.dll", REGKIND_NONE, &library))) return 1;
    int differ = 0, classes = 0;
    for (UINT i = 0, n = library->GetTypeInfoCount(); i < n; ++i) {
        ITypeInfo* info = nullptr;
        TYPEATTR* attr = nullptr;
        if (FAILED(library->GetTypeInfo(i, &info))) continue;
        if (SUCCEEDED(info->GetTypeAttr(&attr))) {
            IDispatch* object = nullptr;
            if (attr->typekind == TKIND_COCLASS && (attr->wTypeFlags & TYPEFLAG_FCANCREATE) &&
                SUCCEEDED(CoCreateInstance(attr->guid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                           reinterpret_cast<void**>(&object)))) {
                BSTR name = nullptr;
                info->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr);
                differ += compareNames(object, name);
                SysFreeString(name);
                object->Release();
                ++classes;
            }
            info->ReleaseTypeAttr(attr);
        }
        info->Release();
    }
    library->Release();
    printf("  names of %d classes looked up both ways: %s\n", classes, differ ? "ANSWERS DIFFER" : "same answers");
    return differ;
}

}  // namespace

int main() {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int status = 0;
    {
        CLSID clsid{};
        _CDataStructures3* ds = nullptr;
        ITypeInfo* info = nullptr;
        if (FAILED(CLSIDFromProgID(L"LARKLIB8.CDataStructures3", &clsid)) ||
            FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID__CDataStructures3,
                                    reinterpret_cast<void**>(&ds))) ||
            FAILED(ds->GetTypeInfo(0, 0, &info))) {
            printf("LARKLIB8.CDataStructures3 is not registered\n");
            return 1;
        }
        BSTR text = SysAllocString(L"The quick brown fox");
        wchar_t nameText[] = L"quickmid";
        LPOLESTR name = nameText;
        DISPID id = 0, platformId = 0;
        printf("late binding of CDataStructures3.QuickMid from C++, %d calls (best of 5)\n", kCalls);
        row("GetIDsOfNames 'quickmid'", nanosPerCall([&] { ds->GetIDsOfNames(IID_NULL, &name, 1, 0, &id); }),
            nanosPerCall([&] { info->GetIDsOfNames(&name, 1, &platformId); }), "platform (as before)");

        // Arguments last-first: Compare, pos, StringCheck (a String variable by reference, or a
        // String value as a literal is passed).
        VARIANT args[3];
        args[0].vt = VT_I4, args[0].lVal = 1;
        args[1].vt = VT_I4, args[1].lVal = 5;
        DISPPARAMS params{args, nullptr, 3, 0};
        VARIANT ours, general, theirs;
        VariantInit(&ours), VariantInit(&general), VariantInit(&theirs);
        short early = 0;
        for (bool byRef : {true, false}) {
            if (byRef)
                args[2].vt = VT_BYREF | VT_BSTR, args[2].pbstrVal = &text;
            else  // the platform's Invoke writes a copy back over a value, freeing the one it was given
                args[2].vt = VT_BSTR, args[2].bstrVal = SysAllocString(text);
            const double o = nanosPerCall([&] {
                ds->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, &ours, nullptr, nullptr);
            });
            const double g = nanosPerCall([&] {
                lark::com::dispatchInvokeGeneral(info, ds, id, DISPATCH_METHOD, &params, &general, nullptr, nullptr);
            });
            const double p = nanosPerCall([&] {
                info->Invoke(ds, platformId, DISPATCH_METHOD, &params, &theirs, nullptr, nullptr);
            });
            const char* what = byRef ? "Invoke QuickMid(String variable ByRef, 5, 1)" : "Invoke QuickMid(String value, 5, 1)";
            row(what, o, g, "general path");
            row("", o, p, "platform ITypeInfo::Invoke");
            for (const VARIANT* r : {&ours, &general, &theirs})
                if (r->vt != VT_I2 || r->iVal != 'Q') {
                    printf("  a result differs: vt %d value %d\n", r->vt, r->iVal);
                    status = 1;
                }
            if (!byRef) VariantClear(&args[2]);
        }
        const double vtable = nanosPerCall([&] { ds->QuickMid(&text, 5, VbCompareMethod(1), &early); });
        printf("  %-44s %8.0f ns\n", "early-bound QuickMid through the vtable", vtable);
        if (id != platformId) status = 1;
        if (compareAllNames()) status = 1;
        SysFreeString(text);
        info->Release();
        ds->Release();
    }
    CoUninitialize();
    return status;
}
