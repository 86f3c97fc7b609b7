// CServicesInputOutput: in-place quicksorts of a key array and its companion arrays.
#pragma once

#include "LARKLIB8.h"
#include "frame/object.hpp"

namespace lark::text {

class CServicesInputOutput final : public com::Object<_CServicesInputOutput> {
public:
    HRESULT STDMETHODCALLTYPE QuickSortString(SAFEARRAY** strArray, LONG* lngLeft, LONG* lngRight) override;
    HRESULT STDMETHODCALLTYPE QuickSortStringDouble(SAFEARRAY** strArray, SAFEARRAY** strArray1, LONG* lngLeft,
                                                    LONG* lngRight) override;
    HRESULT STDMETHODCALLTYPE QuickSortLongDouble(SAFEARRAY** lngArray, SAFEARRAY** lngArray1, LONG lngLeft,
                                                  LONG lngRight) override;
    HRESULT STDMETHODCALLTYPE QuickSortStringLong(SAFEARRAY** strArray1, SAFEARRAY** lngArray1, LONG lngLeft,
                                                  LONG lngRight) override;
    HRESULT STDMETHODCALLTYPE QuickSortStringLongLong(SAFEARRAY** strArray1, SAFEARRAY** lngArray1,
                                                      SAFEARRAY** lngArray2, LONG lngLeft, LONG lngRight) override;
    HRESULT STDMETHODCALLTYPE QuickSortStringStringLongLong(SAFEARRAY** strArray1, SAFEARRAY** strArray2,
                                                            SAFEARRAY** lngArray1, SAFEARRAY** lngArray2,
                                                            LONG lngLeft, LONG lngRight) override;
    HRESULT STDMETHODCALLTYPE QuickSort(VARIANT* varArray, LONG* lngLeft, LONG* lngRight) override;
    HRESULT STDMETHODCALLTYPE QuickSortDouble(VARIANT* varArray, VARIANT* varArray1, LONG lngLeft,
                                              LONG lngRight) override;
    HRESULT STDMETHODCALLTYPE QuickSortTriple(SAFEARRAY** strArray, SAFEARRAY** strArray1, SAFEARRAY** strArray2,
                                              LONG* lngLeft, LONG* lngRight) override;
};

}  // namespace lark::text
