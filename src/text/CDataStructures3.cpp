#include "text/CDataStructures3.hpp"

#include "frame/arrays.hpp"
#include "frame/collection.hpp"
#include "frame/platform_text.hpp"
#include "registry/Registry.hpp"
#include "text/strings.hpp"
#include "text/words.hpp"

namespace lark::text {

using com::raises;
using com::traps;

namespace {


int32_t mode(VbCompareMethod compare) { return static_cast<int32_t>(compare); }


// Tokens become a String array from 0; no tokens give the array with no bounds (null).
SAFEARRAY* toStringArray(Units source, const std::vector<Token>& tokens) {
    if (tokens.empty()) return nullptr;
    com::unique_safearray array = com::newStringVector(tokens.size());
    com::StringVectorAccess access(array.get());
    for (size_t i = 0; i < tokens.size(); ++i)
        access.elements()[i] = com::allocBstr(source.substr(tokens[i].offset, tokens[i].length));
    return array.release();
}

// Takes element i out of a locked vector by moving the later ones down; the removed string
// lands in the last slot.
void moveToEnd(std::span<BSTR> elements, size_t i) {
    BSTR removed = elements[i];
    std::copy(elements.begin() + static_cast<ptrdiff_t>(i) + 1, elements.end(),
              elements.begin() + static_cast<ptrdiff_t>(i));
    elements.back() = removed;
}

// Whether size bytes from address are committed memory that may be read. What fails this would
// end the caller's process when touched, so it is refused as a bad argument instead.
bool readable(uintptr_t address, size_t size) {
    if (address == 0 || address + size < address) return false;
    constexpr DWORD readableAccess = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                                     PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    for (uintptr_t at = address; at < address + size;) {
        MEMORY_BASIC_INFORMATION region{};
        if (!VirtualQuery(reinterpret_cast<const void*>(at), &region, sizeof region)) return false;
        if (region.State != MEM_COMMIT || !(region.Protect & readableAccess) || (region.Protect & PAGE_GUARD))
            return false;
        at = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize;
    }
    return true;
}

void requireReadable(LONG_PTR address, size_t size) {
    if (!readable(static_cast<uintptr_t>(address), size)) raise(errInvalidCall);
}

template <class Char>
const Char* pointer(LONG_PTR address) {
    return reinterpret_cast<const Char*>(address);
}

// lstrlenA and lstrlenW answer 0 for memory they cannot read, rather than fault.
Units wideUntilTerminator(LONG_PTR address) {
    return {pointer<char16_t>(address), static_cast<size_t>(lstrlenW(pointer<wchar_t>(address)))};
}

// A buffer that the task allocator says it never handed out must not go back to it.
bool fromTaskAllocator(void* buffer) {
    com::ComPtr<IMalloc> allocator;
    if (FAILED(CoGetMalloc(1, allocator.put())) || !allocator) return true;
    return allocator->DidAlloc(buffer) != 0;
}

}  // namespace

HRESULT CDataStructures3::ArrayDims(VARIANT* arr, short* result) {
    return raises(result, [&] {
        *result = 0;
        if (!arr) return;
        while (arr->vt == (VT_BYREF | VT_VARIANT) && arr->pvarVal) arr = arr->pvarVal;
        if (!(arr->vt & VT_ARRAY)) return;
        SAFEARRAY* array = (arr->vt & VT_BYREF) ? (arr->pparray ? *arr->pparray : nullptr) : arr->parray;
        if (array) *result = static_cast<short>(SafeArrayGetDim(array));
    });
}

HRESULT CDataStructures3::ValidateStringVector(SAFEARRAY** strArray, LONG* Size, VARIANT_BOOL* result) {
    return traps(result, [&] {
        *result = VARIANT_FALSE;
        std::optional<com::VectorBounds> bounds = com::vectorBounds(strArray ? *strArray : nullptr);
        *result = com::variantBool(bounds && Size && int64_t(bounds->upper) - bounds->lower + 1 == *Size);
    });
}

HRESULT CDataStructures3::TrimStringVector(SAFEARRAY** strArray, VARIANT_BOOL* result) {
    return traps(result, [&] {
        *result = VARIANT_FALSE;
        std::optional<com::VectorBounds> bounds = com::vectorBounds(strArray ? *strArray : nullptr);
        if (!bounds) return;
        for (size_t i = bounds->count(); i-- > 0;) {
            size_t remaining = 0;
            {
                com::StringVectorAccess access(*strArray);
                std::span<BSTR> elements = access.elements();
                Units trimmed = TrimSpaces(com::view(elements[i]));
                if (!trimmed.empty()) {
                    if (trimmed.size() != com::view(elements[i]).size()) com::assignBstr(&elements[i], trimmed);
                    continue;
                }
                moveToEnd(elements, i);
                remaining = elements.size() - 1;
            }
            SAFEARRAYBOUND shrunk{static_cast<ULONG>(remaining), bounds->lower};
            com::check(SafeArrayRedim(*strArray, &shrunk));
        }
        *result = VARIANT_TRUE;
    });
}

HRESULT CDataStructures3::lrkInstr(LONG StartPos, BSTR* StringCheck, BSTR* StringMatch, VbCompareMethod Compare,
                                   LONG* result) {
    return raises(result, [&] {
        *result = 0;
        *result = text::lrkInstr(StartPos, com::view(StringCheck), com::view(StringMatch), mode(Compare));
    });
}

HRESULT CDataStructures3::lrkReplaceChar(LONG StartPos, BSTR* StringCheck, short CharMatch, short CharReplace,
                                         VbCompareMethod Compare) {
    return traps([&] {
        if (!StringCheck || !*StringCheck) return;
        std::span<char16_t> buffer(reinterpret_cast<char16_t*>(*StringCheck), SysStringLen(*StringCheck));
        text::lrkReplaceChar(StartPos, buffer, CharMatch, CharReplace, mode(Compare));
    });
}

HRESULT CDataStructures3::lrkMidAscW(BSTR* StringCheck, LONG Position, short* result) {
    return traps(result, [&] {
        *result = 0;
        *result = text::lrkMidAscW(com::view(StringCheck), Position);
    });
}

HRESULT CDataStructures3::lrkInChar(LONG StartPos, BSTR* StringCheck, short CharMatch, VbCompareMethod Compare,
                                    LONG* result) {
    return traps(result, [&] {
        *result = -1;
        *result = text::lrkInChar(StartPos, com::view(StringCheck), CharMatch, mode(Compare));
    });
}

HRESULT CDataStructures3::lrkInCharRev(BSTR* StringCheck, short CharMatch, VbCompareMethod Compare, LONG StartPos,
                                       LONG* result) {
    return traps(result, [&] {
        *result = -1;
        *result = text::lrkInCharRev(com::view(StringCheck), CharMatch, mode(Compare), StartPos);
    });
}

HRESULT CDataStructures3::FastTokenize(BSTR* StringCheck, short Delimiter, LONG, VbCompareMethod Compare,
                                       SAFEARRAY** result) {
    return traps(result, [&] {
        *result = nullptr;
        Units source = com::view(StringCheck);
        *result = toStringArray(source, text::FastTokenize(source, Delimiter, mode(Compare)));
    });
}

HRESULT CDataStructures3::FastSplit2(BSTR* StringCheck, short Delimiter, LONG, VbCompareMethod Compare,
                                     VARIANT_BOOL HandleQuoted, SAFEARRAY** result) {
    return traps(result, [&] {
        *result = nullptr;
        Units source = com::view(StringCheck);
        *result = toStringArray(source, text::FastSplit2(source, Delimiter, mode(Compare), HandleQuoted != 0));
    });
}

HRESULT CDataStructures3::QuickMid(BSTR* StringCheck, LONG pos, VbCompareMethod Compare, short* result) {
    return raises(result, [&] { *result = text::QuickMid(com::view(StringCheck), pos, mode(Compare)); });
}

HRESULT CDataStructures3::lrkInstrRev(BSTR* StringCheck, BSTR* StringMatch, LONG StartPos, VbCompareMethod Compare,
                                      LONG* result) {
    return raises(result, [&] {
        *result = 0;
        *result = text::lrkInstrRev(com::view(StringCheck), com::view(StringMatch), StartPos, mode(Compare));
    });
}

HRESULT CDataStructures3::IsEqualString(BSTR* String1, BSTR* String2, VbCompareMethod Compare,
                                        VARIANT_BOOL* result) {
    return traps(result, [&] {
        *result = VARIANT_FALSE;
        *result = com::variantBool(text::IsEqualString(com::view(String1), com::view(String2), mode(Compare)));
    });
}

HRESULT CDataStructures3::StripQuotes(BSTR* Text) {
    return raises([&] {
        if (!Text) raise(errInvalidCall);
        com::assignBstr(Text, text::StripQuotes(com::view(*Text)));
    });
}

HRESULT CDataStructures3::lrkJoinCollections(_Collection* Collection1, _Collection* Collection2,
                                             _Collection** result) {
    return traps(result, [&] {
        *result = nullptr;
        com::ComPtr<com::Collection> joined = com::makeObject<com::Collection>();
        *result = joined.query<_Collection>().detach();
        for (_Collection* source : {Collection1, Collection2})
            com::forEachItem(source, [&](const VARIANT& item) { joined->append(item); });
    });
}

HRESULT CDataStructures3::CompareStrings(BSTR* Elem1, BSTR* Elem2, LONG* result) {
    return raises(result, [&] { *result = com::textCompare(com::view(Elem1), com::view(Elem2)); });
}

// None of the word, pointer and object helpers traps: errors reach the caller.

HRESULT CDataStructures3::LOBYTE(LONG W, BYTE* result) {
    return raises(result, [&] { *result = text::lowByte(W); });
}

HRESULT CDataStructures3::LoWord(LONG InVal, short* result) {
    return raises(result, [&] { *result = text::loWord(static_cast<uint32_t>(InVal)); });
}

HRESULT CDataStructures3::HiWord(LONG InVal, short* result) {
    return raises(result, [&] { *result = text::hiWord(static_cast<uint32_t>(InVal)); });
}

HRESULT CDataStructures3::PackWords(short lO, short HI, LONG* result) {
    return raises(result, [&] { *result = text::packWords(lO, HI); });
}

HRESULT CDataStructures3::GetAddress(LONG_PTR lpfn, LONG_PTR* result) {
    return raises(result, [&] { *result = lpfn; });
}

HRESULT CDataStructures3::StrFromPtrW(LONG_PTR lpszA, BSTR* result) {
    return raises(result, [&] {
        *result = nullptr;
        void* buffer = reinterpret_cast<void*>(lpszA);
        if (buffer && !fromTaskAllocator(buffer)) raise(errInvalidCall);
        com::unique_cotaskmem owned(buffer);  // the call takes the buffer over, whatever happens next
        *result = com::allocBstr(buffer ? wideUntilTerminator(lpszA) : Units{});
    });
}

HRESULT CDataStructures3::RetainedStrFromPtrA(LONG_PTR lpszA, LONG MaxLength, BSTR* result) {
    return raises(result, [&] {
        *result = nullptr;
        LONG n = lpszA ? lstrlenA(pointer<char>(lpszA)) : 0;
        if (MaxLength >= 1 && n > MaxLength) n = MaxLength;
        *result = com::allocBstr(n > 0 ? com::fromAnsi({pointer<char>(lpszA), size_t(n)}) : std::u16string());
    });
}

HRESULT CDataStructures3::RetainedStrFromPtrW(LONG_PTR lpszA, BSTR* result) {
    return raises(result, [&] {
        *result = nullptr;
        *result = com::allocBstr(lpszA ? wideUntilTerminator(lpszA) : Units{});
    });
}

HRESULT CDataStructures3::FixedLenStrFromPtrA(LONG_PTR lpszA, LONG Length, BSTR* result) {
    return raises(result, [&] {
        *result = nullptr;
        std::u16string text;
        if (lpszA && Length >= 1 && Length <= 31999) {
            requireReadable(lpszA, size_t(Length));
            text = com::fromAnsi({pointer<char>(lpszA), size_t(Length)});
        }
        *result = com::allocBstr(text);
    });
}

HRESULT CDataStructures3::FixedLenStrFromPtrW(LONG_PTR lpszA, LONG Length, BSTR* result) {
    return raises(result, [&] {
        *result = nullptr;
        Units text;
        if (lpszA && Length >= 1) {
            requireReadable(lpszA, size_t(Length) * sizeof(char16_t));
            text = {pointer<char16_t>(lpszA), size_t(Length)};
        }
        *result = com::allocBstr(text);
    });
}

HRESULT CDataStructures3::SwapVtableEntry(LONG_PTR pObj, short EntryNumber, LONG_PTR lpfn, LONG_PTR* result) {
    return raises(result, [&] {
        *result = 0;
        // The entry's offset was always 16-bit arithmetic: past entry 8,192 it overflows.
        if (EntryNumber > 8192) raise(errOverflow);
        if (EntryNumber < 1) raise(errInvalidCall);
        requireReadable(pObj, sizeof(LONG_PTR));
        const LONG_PTR table = *pointer<LONG_PTR>(pObj);
        auto* entry = reinterpret_cast<LONG_PTR*>(table) + (EntryNumber - 1);
        requireReadable(reinterpret_cast<LONG_PTR>(entry), sizeof *entry);
        DWORD previous = 0;
        if (!VirtualProtect(entry, sizeof *entry, PAGE_EXECUTE_READWRITE, &previous)) raise(errInvalidCall);
        *result = std::exchange(*entry, lpfn);
        VirtualProtect(entry, sizeof *entry, previous, &previous);
    });
}

// The frame lends the caller's reference to the member, through the vtable and through
// IDispatch alike, so the count that Release reports is the caller's own.
HRESULT CDataStructures3::RefCount(IUnknown* pUnk, LONG* result) {
    return raises(result, [&] {
        *result = 0;
        if (!pUnk) return;
        pUnk->AddRef();
        *result = static_cast<LONG>(pUnk->Release());
    });
}

HRESULT CDataStructures3::WinAPIError(LONG lLastDLLError, BSTR* result) {
    return raises(result, [&] {
        *result = nullptr;
        char buffer[256];
        const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                       static_cast<DWORD>(lLastDLLError), 0, buffer, sizeof buffer, nullptr);
        *result = com::allocBstr(com::fromAnsi({buffer, n}));
    });
}

namespace {

// The default value of a key under HKEY_CLASSES_ROOT, "" when there is none.
std::u16string classesRootDefault(const std::u16string& keyName) {
    VARIANT empty{};
    empty.vt = VT_BSTR;  // a null BSTR is the empty string
    const com::unique_variant value =
        registry::sharedRegistry().GetRegistryValue(HKEY_CLASSES_ROOT, keyName, u"", REG_SZ, &empty);
    return value.vt == VT_BSTR ? std::u16string(com::view(value.bstrVal)) : std::u16string();
}

// Interfaces of the automation runtime that VB clients see everywhere and do not want named.
bool isVBInterface(std::u16string_view iid) {
    static constexpr std::u16string_view skipped[] = {
        u"{000204EE-0000-0000-C000-000000000046}", u"{0B6C9465-D082-11CF-8B4F-00A0C90F2704}",
        u"{A6BC3AC0-DBAA-11CE-9DE3-00AA004BB851}", u"{B196B283-BAB4-101A-B69C-00AA00341D07}"};
    return std::any_of(std::begin(skipped), std::end(skipped),
                       [&](std::u16string_view s) { return com::textCompare(s, iid) == 0; });
}

}  // namespace

HRESULT CDataStructures3::NameFromIID(GUID* IID, VARIANT_BOOL SkipVBIIDs, BSTR* result) {
    return raises(result, [&] {
        *result = nullptr;
        if (!IID) raise(errInvalidCall);
        wchar_t text[39] = {};
        StringFromGUID2(*IID, text, 39);
        const std::u16string iid(reinterpret_cast<const char16_t*>(text));
        std::u16string name = classesRootDefault(u"Interface\\" + iid);
        if (name.empty()) {
            name = iid;
            const std::u16string classKey = u"CLSID\\" + iid;
            if (const std::u16string cls = classesRootDefault(classKey); !cls.empty()) name += u"  CLSID=" + cls;
            if (const std::u16string progId = classesRootDefault(classKey + u"\\ProgID"); !progId.empty())
                name += u"  ProgID=" + progId;
        }
        if (SkipVBIIDs != VARIANT_FALSE && isVBInterface(iid)) name.clear();
        *result = com::allocBstr(name);
    });
}

}  // namespace lark::text
