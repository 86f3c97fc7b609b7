// CCommandLine as COM clients see it: early-bound through _CCommandLine and late-bound through
// IDispatch, the sticky Malformed flag, and Parameter's Empty answers. The quoting rules
// themselves are covered on the host by the native command_line_test.
#include "com_support.hpp"

#include <climits>

namespace lark::test {
namespace {

// A property assignment as a script makes it: the value is the named DISPID_PROPERTYPUT argument.
HRESULT putProperty(IDispatch* object, const wchar_t* name, VARIANT* value) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = 0;
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{value, &putId, 1, 1};
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr,
                          nullptr);
}

class CommandLine : public testing::Test {
protected:
    ComPtr<_CCommandLine> cl = createByProgId<_CCommandLine>(L"LARKLIB8.CCommandLine");
    ComPtr<IDispatch> late = cl.query<IDispatch>();

    void assign(const wchar_t* line) { EXPECT_EQ(S_OK, cl->put_CommandLine(bstr(line).get())); }
    LONG count() {
        LONG n = -1;
        EXPECT_EQ(S_OK, cl->get_ParameterCount(&n));
        return n;
    }
    bool malformed() {
        VARIANT_BOOL b = 1;  // neither True nor False, so a missing write shows
        EXPECT_EQ(S_OK, cl->get_Malformed(&b));
        EXPECT_TRUE(b == VARIANT_TRUE || b == VARIANT_FALSE) << b;
        return b == VARIANT_TRUE;
    }
    // Parameter(index) as text, or "<empty>" / "<vt N>" when it is not a String.
    std::wstring parameter(LONG index) {
        unique_variant v;
        v.vt = VT_I4;  // stale content the member must overwrite
        EXPECT_EQ(S_OK, cl->get_Parameter(index, &v)) << index;
        if (v.vt == VT_EMPTY) return L"<empty>";
        return v.vt == VT_BSTR ? str(v.bstrVal) : L"<vt " + std::to_wstring(v.vt) + L">";
    }
};

TEST_F(CommandLine, NewObjectHasNothing) {
    ASSERT_TRUE(cl);
    EXPECT_EQ(0, count());
    EXPECT_FALSE(malformed());
    EXPECT_EQ(L"<empty>", parameter(1));
}

TEST_F(CommandLine, EarlyBoundParametersAndEmptyIndices) {
    ASSERT_TRUE(cl);
    assign(L"  x a\"b \"c d\"e  ");
    ASSERT_EQ(4, count());
    EXPECT_FALSE(malformed());
    EXPECT_EQ(L"x", parameter(1));
    EXPECT_EQ(L"a\"b", parameter(2));
    EXPECT_EQ(L"c d", parameter(3));
    EXPECT_EQ(L"e", parameter(4));
    for (LONG index : {0L, -1L, 5L, 100L, 101L, LONG_MIN, LONG_MAX}) EXPECT_EQ(L"<empty>", parameter(index)) << index;

    // Each assignment replaces the parameters completely.
    assign(L"\"\"");
    ASSERT_EQ(1, count());
    EXPECT_EQ(L"", parameter(1));
    EXPECT_EQ(L"<empty>", parameter(2));
}

TEST_F(CommandLine, MalformedStaysSetForTheObjectsLife) {
    ASSERT_TRUE(cl);
    assign(L"x \"abc");
    EXPECT_EQ(1, count());
    EXPECT_EQ(L"x", parameter(1));
    EXPECT_TRUE(malformed());
    assign(L"a b");
    EXPECT_EQ(2, count());
    EXPECT_EQ(L"b", parameter(2));
    EXPECT_TRUE(malformed());
    assign(L"   ");
    EXPECT_EQ(0, count());
    EXPECT_TRUE(malformed());

    // The flag belongs to the instance.
    ComPtr<_CCommandLine> other = createByProgId<_CCommandLine>(L"LARKLIB8.CCommandLine");
    ASSERT_TRUE(other);
    VARIANT_BOOL b = VARIANT_TRUE;
    EXPECT_EQ(S_OK, other->put_CommandLine(bstr(L"a b").get()));
    EXPECT_EQ(S_OK, other->get_Malformed(&b));
    EXPECT_EQ(VARIANT_FALSE, b);
}

TEST_F(CommandLine, AHundredAndFirstParameterIsCountedNotStored) {
    ASSERT_TRUE(cl);
    std::wstring line;
    for (int i = 1; i <= 101; ++i) line += L"w" + std::to_wstring(i) + L" ";
    assign(line.c_str());
    EXPECT_EQ(101, count());
    EXPECT_TRUE(malformed());
    EXPECT_EQ(L"w100", parameter(100));
    EXPECT_EQ(L"<empty>", parameter(101));
}

TEST_F(CommandLine, PositionsStopAt32767) {
    ASSERT_TRUE(cl);
    assign(std::wstring(32766, L'x').c_str());
    EXPECT_FALSE(malformed());
    assign((L"a " + std::wstring(40000, L'b')).c_str());
    EXPECT_FALSE(malformed());
    EXPECT_EQ(40000u, parameter(2).size());
    assign(std::wstring(32767, L'x').c_str());
    EXPECT_EQ(1, count());
    EXPECT_EQ(32767u, parameter(1).size());
    EXPECT_TRUE(malformed());
}

TEST_F(CommandLine, NullAndOddStrings) {
    ASSERT_TRUE(cl);
    assign(L"a b");
    EXPECT_EQ(S_OK, cl->put_CommandLine(nullptr));
    EXPECT_EQ(0, count());
    EXPECT_EQ(L"<empty>", parameter(1));
    EXPECT_FALSE(malformed());

    // A BSTR carries its length: an embedded NUL is an ordinary character.
    unique_bstr withNul(SysAllocStringLen(L"a\0b c", 5));
    EXPECT_EQ(S_OK, cl->put_CommandLine(withNul.get()));
    ASSERT_EQ(2, count());
    EXPECT_EQ(std::wstring(L"a\0b", 3), parameter(1));

    EXPECT_EQ(E_POINTER, cl->get_ParameterCount(nullptr));
    EXPECT_EQ(E_POINTER, cl->get_Malformed(nullptr));
    EXPECT_EQ(E_POINTER, cl->get_Parameter(1, nullptr));
}

TEST_F(CommandLine, LateBoundAsScriptsUseIt) {
    ASSERT_TRUE(late);
    unique_variant line = vStr(L"one \"two three\"");
    ASSERT_EQ(S_OK, putProperty(late.get(), L"COMMANDLINE", &line));
    Call n = invoke(late.get(), L"parametercount", {}, {}, DISPATCH_PROPERTYGET);
    ASSERT_EQ(S_OK, n.hr);
    EXPECT_EQ(VT_I4, n.result.vt);
    EXPECT_EQ(2, n.result.lVal);

    unique_variant two = vLong(2), zero = vLong(0), textIndex = vStr(L"1");
    Call second = invoke(late.get(), L"Parameter", {&two}, {}, DISPATCH_PROPERTYGET);
    ASSERT_EQ(S_OK, second.hr);
    ASSERT_EQ(VT_BSTR, second.result.vt);
    EXPECT_EQ(L"two three", str(second.result.bstrVal));
    Call first = invoke(late.get(), L"PARAMETER", {&textIndex});
    ASSERT_EQ(S_OK, first.hr);
    ASSERT_EQ(VT_BSTR, first.result.vt);
    EXPECT_EQ(L"one", str(first.result.bstrVal));
    Call none = invoke(late.get(), L"parameter", {&zero}, {}, DISPATCH_PROPERTYGET);
    EXPECT_EQ(S_OK, none.hr);
    EXPECT_EQ(VT_EMPTY, none.result.vt);

    // A number assigned by a script arrives as its text.
    unique_variant number = vLong(42), unterminated = vStr(L"\"open");
    ASSERT_EQ(S_OK, putProperty(late.get(), L"CommandLine", &number));
    EXPECT_EQ(L"42", parameter(1));
    Call clean = invoke(late.get(), L"Malformed", {}, {}, DISPATCH_PROPERTYGET);
    ASSERT_EQ(S_OK, clean.hr);
    EXPECT_EQ(VT_BOOL, clean.result.vt);
    EXPECT_EQ(VARIANT_FALSE, clean.result.boolVal);
    ASSERT_EQ(S_OK, putProperty(late.get(), L"commandline", &unterminated));
    EXPECT_EQ(VARIANT_TRUE, invoke(late.get(), L"malformed", {}).result.boolVal);

    // The line cannot be read back.
    EXPECT_TRUE(FAILED(invoke(late.get(), L"CommandLine", {}, {}, DISPATCH_PROPERTYGET).hr));
}

}  // namespace
}  // namespace lark::test
