// CDataStructures3: stateless string and array functions for clients, on the callers' own
// buffers.
#pragma once

#include "LARKLIB8.h"
#include "frame/object.hpp"

namespace lark::text {

class CDataStructures3 final : public com::Object<_CDataStructures3> {
public:
    HRESULT STDMETHODCALLTYPE ArrayDims(VARIANT* arr, short* result) override;
    HRESULT STDMETHODCALLTYPE ValidateStringVector(SAFEARRAY** strArray, LONG* Size, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE TrimStringVector(SAFEARRAY** strArray, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE lrkInstr(LONG StartPos, BSTR* StringCheck, BSTR* StringMatch, VbCompareMethod Compare,
                                       LONG* result) override;
    HRESULT STDMETHODCALLTYPE lrkReplaceChar(LONG StartPos, BSTR* StringCheck, short CharMatch, short CharReplace,
                                             VbCompareMethod Compare) override;
    HRESULT STDMETHODCALLTYPE lrkMidAscW(BSTR* StringCheck, LONG Position, short* result) override;
    HRESULT STDMETHODCALLTYPE lrkInChar(LONG StartPos, BSTR* StringCheck, short CharMatch, VbCompareMethod Compare,
                                        LONG* result) override;
    HRESULT STDMETHODCALLTYPE lrkInCharRev(BSTR* StringCheck, short CharMatch, VbCompareMethod Compare,
                                           LONG StartPos, LONG* result) override;
    HRESULT STDMETHODCALLTYPE FastTokenize(BSTR* StringCheck, short Delimiter, LONG Limit, VbCompareMethod Compare,
                                           SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE FastSplit2(BSTR* StringCheck, short Delimiter, LONG Limit, VbCompareMethod Compare,
                                         VARIANT_BOOL HandleQuoted, SAFEARRAY** result) override;
    HRESULT STDMETHODCALLTYPE QuickMid(BSTR* StringCheck, LONG pos, VbCompareMethod Compare, short* result) override;
    HRESULT STDMETHODCALLTYPE lrkInstrRev(BSTR* StringCheck, BSTR* StringMatch, LONG StartPos,
                                          VbCompareMethod Compare, LONG* result) override;
    HRESULT STDMETHODCALLTYPE IsEqualString(BSTR* String1, BSTR* String2, VbCompareMethod Compare,
                                            VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE StripQuotes(BSTR* Text) override;
    HRESULT STDMETHODCALLTYPE lrkJoinCollections(_Collection* Collection1, _Collection* Collection2,
                                                 _Collection** result) override;
    HRESULT STDMETHODCALLTYPE CompareStrings(BSTR* Elem1, BSTR* Elem2, LONG* result) override;

    // Words, raw pointers and objects, for clients that call the platform directly.
    HRESULT STDMETHODCALLTYPE LOBYTE(LONG W, BYTE* result) override;
    HRESULT STDMETHODCALLTYPE LoWord(LONG InVal, short* result) override;
    HRESULT STDMETHODCALLTYPE HiWord(LONG InVal, short* result) override;
    HRESULT STDMETHODCALLTYPE PackWords(short lO, short HI, LONG* result) override;
    HRESULT STDMETHODCALLTYPE GetAddress(LONG_PTR lpfn, LONG_PTR* result) override;
    HRESULT STDMETHODCALLTYPE StrFromPtrW(LONG_PTR lpszA, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE RetainedStrFromPtrA(LONG_PTR lpszA, LONG MaxLength, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE RetainedStrFromPtrW(LONG_PTR lpszA, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE FixedLenStrFromPtrA(LONG_PTR lpszA, LONG Length, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE FixedLenStrFromPtrW(LONG_PTR lpszA, LONG Length, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE SwapVtableEntry(LONG_PTR pObj, short EntryNumber, LONG_PTR lpfn,
                                              LONG_PTR* result) override;
    HRESULT STDMETHODCALLTYPE RefCount(IUnknown* pUnk, LONG* result) override;
    HRESULT STDMETHODCALLTYPE WinAPIError(LONG lLastDLLError, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE NameFromIID(GUID* IID, VARIANT_BOOL SkipVBIIDs, BSTR* result) override;
};

}  // namespace lark::text
