#include "text/CDataStructures3.hpp"

#include "frame/arrays.hpp"
#include "frame/collection.hpp"
#include "frame/platform_text.hpp"
#include "text/strings.hpp"

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

}  // namespace lark::text
