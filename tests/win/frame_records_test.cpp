// The frame's dispatch passing records by reference, on a probe object of the test's own:
// the member must see the caller's record at the caller's address.
#include "com_support.hpp"
#include "frame/dispatch.hpp"
#include "frame/errors.hpp"
#include "record_probe.h"

#include <string>

namespace lark::test {
namespace {

ComPtr<ITypeInfo> probeTypeInfo() {
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    ComPtr<ITypeLib> library;
    ComPtr<ITypeInfo> info;
    if (SUCCEEDED(LoadTypeLibEx(exe, REGKIND_NONE, library.put())))
        library->GetTypeInfoOfGuid(IID_IRecordProbe, info.put());
    return info;
}

// Lives on the test's stack; its reference count does not matter.
class Probe final : public IRecordProbe {
public:
    Probe() : info_(probeTypeInfo()) {}
    bool ready() const { return bool(info_); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (iid != IID_IUnknown && iid != IID_IDispatch && iid != IID_IRecordProbe) return E_NOINTERFACE;
        *out = static_cast<IRecordProbe*>(this);
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** out) override {
        *out = ComPtr<ITypeInfo>(info_).detach();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        return com::dispatchGetIDsOfNames(info_.get(), names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO* exception, UINT* argError) override {
        return com::dispatchInvoke(info_.get(), static_cast<IRecordProbe*>(this), id, flags, params, result,
                                   exception, argError);
    }

    HRESULT STDMETHODCALLTYPE Touch(ProbeRecord* data, LONG value, LONG extra, LONG_PTR* address) override {
        data->value = value + extra;
        data->address = reinterpret_cast<LONG_PTR>(data);
        *address = reinterpret_cast<LONG_PTR>(data);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Fail(ProbeRecord*) override {
        return com::report(Error{errPathAccess, u"Probe.Fail", u"the probe failed"});
    }
    HRESULT STDMETHODCALLTYPE Describe(BSTR* text, ProbeRecord* data, BSTR* result) override {
        std::wstring seen = std::to_wstring(data->value) + L":" + str(*text);
        *result = SysAllocString(seen.c_str());
        SysFreeString(*text);
        *text = SysAllocString(L"seen");
        return S_OK;
    }

private:
    ComPtr<ITypeInfo> info_;
};

unique_variant recordRef(ProbeRecord* record) {
    unique_variant v;
    v.vt = VT_RECORD | VT_BYREF;
    v.pvRecord = record;
    v.pRecInfo = nullptr;
    return v;
}

class FrameRecords : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(probe_.ready()) << "the probe's type library is missing"; }
    Probe probe_;
};

TEST_F(FrameRecords, RecordReachesTheMemberAtTheCallersAddress) {
    ProbeRecord record{0, 0};
    unique_variant data = recordRef(&record), value = vLong(5);
    Call call = invoke(&probe_, L"Touch", {&data, &value});
    ASSERT_EQ(S_OK, call.hr);
    ASSERT_EQ(VT_I8, call.result.vt) << "LONG_PTR is 64 bits wide in the x64 library";
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(&record), call.result.llVal);
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(&record), record.address);
    EXPECT_EQ(12, record.value) << "the omitted optional takes its default of 7";

    unique_variant three = vLong(3), one = vLong(1);
    call = invoke(&probe_, L"touch", {}, {{L"EXTRA", &one}, {L"data", &data}, {L"Value", &three}});
    ASSERT_EQ(S_OK, call.hr);
    EXPECT_EQ(4, record.value);
}

TEST_F(FrameRecords, ScriptVariablesHoldingRecordsAreChangedInPlace) {
    ProbeRecord record{0, 0};
    unique_variant held;
    held.vt = VT_RECORD;
    held.pvRecord = &record;
    held.pRecInfo = nullptr;
    unique_variant data = vRef(&held), value = vLong(40), text;
    text.vt = VT_I4;
    text.lVal = 17;
    unique_variant textRef = vRef(&text);
    ASSERT_EQ(S_OK, invoke(&probe_, L"Touch", {&data, &value}).hr);
    EXPECT_EQ(47, record.value);

    Call call = invoke(&probe_, L"Describe", {&textRef, &data});
    ASSERT_EQ(S_OK, call.hr);
    EXPECT_EQ(L"47:17", str(call.result.bstrVal)) << "the number arrives as text";
    ASSERT_EQ(VT_BSTR, text.vt) << "and the member's new text is written back";
    EXPECT_EQ(L"seen", str(text.bstrVal));
    held.vt = VT_EMPTY;  // the record lives on this stack
}

TEST_F(FrameRecords, ErrorsAndBadArguments) {
    ProbeRecord record{0, 0};
    unique_variant data = recordRef(&record), notRecord = vLong(1), value = vLong(1);
    Call failed = invoke(&probe_, L"Fail", {&data});
    EXPECT_EQ(DISP_E_EXCEPTION, failed.hr);
    EXPECT_EQ(HRESULT(0x800A004B), failed.exception.scode);
    EXPECT_EQ(L"Probe.Fail", failed.source());
    EXPECT_EQ(L"the probe failed", failed.description());

    EXPECT_EQ(DISP_E_TYPEMISMATCH, invoke(&probe_, L"Touch", {&notRecord, &value}).hr);
    EXPECT_EQ(DISP_E_PARAMNOTOPTIONAL, invoke(&probe_, L"Fail", {}).hr);
    EXPECT_EQ(0, record.value) << "nothing reached the member";
}

}  // namespace
}  // namespace lark::test
