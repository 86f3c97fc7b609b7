// CDataStructures3's string family as COM clients see it: early-bound through the dual
// interface, late-bound through IDispatch with ByRef write-back, errors, and hostile input.
// The algorithms themselves are covered on the host by text_strings_test.
#include "com_support.hpp"

#include <algorithm>

namespace lark::test {
namespace {

constexpr HRESULT kError5 = static_cast<HRESULT>(0x800A0005);

// What a call through the dual interface left in its out parameter, once it has succeeded.
template <class T>
T got(HRESULT hr, const T& out) {
    EXPECT_EQ(S_OK, hr);
    return out;
}

// The elements of a one-dimensional String or Variant array, in order; a Variant element that
// is not a string shows as "<vt N>".
std::vector<std::wstring> elementsOf(SAFEARRAY* array) {
    std::vector<std::wstring> out;
    if (!array) return out;
    EXPECT_EQ(1u, SafeArrayGetDim(array));
    VARTYPE vt = VT_EMPTY;
    SafeArrayGetVartype(array, &vt);
    void* data = nullptr;
    EXPECT_EQ(S_OK, SafeArrayAccessData(array, &data));
    for (ULONG i = 0; i < array->rgsabound[0].cElements; ++i) {
        if (vt == VT_BSTR) {
            out.push_back(str(static_cast<BSTR*>(data)[i]));
            continue;
        }
        const VARIANT& v = static_cast<VARIANT*>(data)[i];
        out.push_back(v.vt == VT_BSTR ? str(v.bstrVal) : L"<vt " + std::to_wstring(v.vt) + L">");
    }
    SafeArrayUnaccessData(array);
    return out;
}

LONG lowerBound(SAFEARRAY* array) {
    LONG lower = -99;
    EXPECT_EQ(S_OK, SafeArrayGetLBound(array, 1, &lower));
    return lower;
}

// New one-dimensional String and Variant (as a script builds them) arrays from lower; the
// caller owns them.
SAFEARRAY* stringVector(std::initializer_list<const wchar_t*> items, LONG lower = 0) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_BSTR, lower, static_cast<ULONG>(items.size()));
    BSTR* slot = nullptr;
    EXPECT_EQ(S_OK, SafeArrayAccessData(array, reinterpret_cast<void**>(&slot)));
    for (const wchar_t* item : items) *slot++ = SysAllocString(item);
    SafeArrayUnaccessData(array);
    return array;
}
SAFEARRAY* variantVector(std::initializer_list<VARIANT*> items, LONG lower) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, lower, static_cast<ULONG>(items.size()));
    VARIANT* slot = nullptr;
    EXPECT_EQ(S_OK, SafeArrayAccessData(array, reinterpret_cast<void**>(&slot)));
    for (VARIANT* item : items) EXPECT_EQ(S_OK, VariantCopy(slot++, item));
    SafeArrayUnaccessData(array);
    return array;
}

SAFEARRAY* twoDimensional(VARTYPE vt) {
    SAFEARRAYBOUND bounds[2] = {{2, 0}, {3, 1}};
    return SafeArrayCreate(vt, 2, bounds);
}

// "source: description" of the error a call through the dual interface left behind.
std::wstring lastError() {
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.put()) != S_OK || !info) return L"<no error information>";
    BSTR source = nullptr, description = nullptr;
    info->GetSource(&source);
    info->GetDescription(&description);
    std::wstring out = str(source) + L": " + str(description);
    SysFreeString(source);
    SysFreeString(description);
    return out;
}

ComPtr<_Collection> collectionOf(_CDataStructures3* ds, std::initializer_list<VARIANT*> items) {
    ComPtr<_Collection> c;
    EXPECT_EQ(S_OK, ds->lrkJoinCollections(nullptr, nullptr, c.put()));
    if (!c) return c;
    for (VARIANT* item : items) EXPECT_EQ(S_OK, invoke(c.get(), L"Add", {item}).hr);
    return c;
}

std::vector<std::wstring> itemsOf(_Collection* c) {
    std::vector<std::wstring> out;
    LONG count = -1;
    EXPECT_EQ(S_OK, c->Count(&count));
    for (LONG i = 1; i <= count; ++i) {
        unique_variant index = vLong(i), item;
        EXPECT_EQ(S_OK, c->Item(&index, &item));
        EXPECT_EQ(S_OK, VariantChangeType(&item, &item, 0, VT_BSTR));
        out.push_back(str(item.bstrVal));
    }
    return out;
}

using Strings = std::vector<std::wstring>;

// A caller's String variable for the dual interface's BSTR* parameters.
struct Text {
    BSTR value;
    explicit Text(const wchar_t* text) : value(SysAllocString(text)) {}
    Text(size_t count, wchar_t unit) : value(SysAllocStringLen(nullptr, static_cast<UINT>(count))) {
        std::fill(value, value + count, unit);
    }
    Text(const Text&) = delete;
    Text& operator=(const Text&) = delete;
    ~Text() { SysFreeString(value); }
    BSTR* ref() { return &value; }
    std::wstring text() const { return str(value); }
};

class DataStructures : public testing::Test {
protected:
    ComPtr<_CDataStructures3> ds = createByProgId<_CDataStructures3>(L"LARKLIB8.CDataStructures3");
    ComPtr<IDispatch> late = ds.query<IDispatch>();
};

TEST_F(DataStructures, SearchesAndCharacterAccessEarlyBound) {
    ASSERT_TRUE(ds);
    Text axc(L"aXc"), x(L"x"), abcabc(L"abcabc"), bc(L"bc"), list(L"a,b,c");
    LONG pos = 0;
    EXPECT_EQ(2, got(ds->lrkInstr(1, axc.ref(), x.ref(), vbTextCompare, &pos), pos));
    EXPECT_EQ(-1, got(ds->lrkInstr(-3, axc.ref(), x.ref(), vbTextCompare, &pos), pos)) << "not an error";
    EXPECT_EQ(5, got(ds->lrkInstrRev(abcabc.ref(), bc.ref(), -1, vbTextCompare, &pos), pos));
    EXPECT_EQ(-1, got(ds->lrkInChar(1, list.ref(), 120, vbBinaryCompare, &pos), pos));
    EXPECT_EQ(4, got(ds->lrkInChar(3, list.ref(), 44, vbBinaryCompare, &pos), pos));
    EXPECT_EQ(4, got(ds->lrkInCharRev(list.ref(), 44, vbBinaryCompare, -1, &pos), pos));

    short unit = 0;
    EXPECT_EQ(66, got(ds->QuickMid(list.ref(), 3, vbTextCompare, &unit), unit));
    Text high(L"a\xFFFF");
    EXPECT_EQ(-1, got(ds->lrkMidAscW(high.ref(), 2, &unit), unit)) << "a signed 16-bit value";

    Text lower(L"abc"), upper(L"ABC"), longer(L"abcd"), abd(L"ABD"), b(L"b");
    VARIANT_BOOL equal = VARIANT_FALSE;
    EXPECT_EQ(VARIANT_TRUE, got(ds->IsEqualString(lower.ref(), upper.ref(), vbTextCompare, &equal), equal));
    EXPECT_EQ(VARIANT_FALSE, got(ds->IsEqualString(lower.ref(), longer.ref(), vbTextCompare, &equal), equal));

    // CompareStrings uses the text comparison: case never decides the order.
    EXPECT_EQ(-1, got(ds->CompareStrings(lower.ref(), abd.ref(), &pos), pos));
    EXPECT_EQ(0, got(ds->CompareStrings(upper.ref(), lower.ref(), &pos), pos));
    EXPECT_EQ(1, got(ds->CompareStrings(b.ref(), upper.ref(), &pos), pos));
}

TEST_F(DataStructures, ReplaceCharAndStripQuotesRewriteTheCallersString) {
    ASSERT_TRUE(ds);
    Text text(L"Aa-a");
    BSTR before = text.value;
    EXPECT_EQ(S_OK, ds->lrkReplaceChar(1, text.ref(), 97, 120, vbTextCompare));
    EXPECT_EQ(before, text.value) << "the same string is edited in place";
    EXPECT_EQ(L"xx-x", text.text());
    EXPECT_EQ(S_OK, ds->lrkReplaceChar(4, text.ref(), L'x', L'y', vbBinaryCompare));
    EXPECT_EQ(L"xx-y", text.text());

    for (const wchar_t* quoted : {L"\"abc\"", L"\"abc", L"abc\"", L"abc"}) {
        Text s(quoted);
        EXPECT_EQ(S_OK, ds->StripQuotes(s.ref()));
        EXPECT_EQ(L"abc", s.text()) << quoted;
    }
    Text empty(L"");
    EXPECT_EQ(S_OK, ds->StripQuotes(empty.ref()));
    EXPECT_EQ(L"", empty.text());
}

TEST_F(DataStructures, TokenizersReturnZeroBasedStringArrays) {
    ASSERT_TRUE(ds);
    Text text(L",,a,b,,"), none(L",,,"), quoted(L"\"x,y\",z");
    SAFEARRAY* result = nullptr;
    ASSERT_EQ(S_OK, ds->FastTokenize(text.ref(), 44, 1, vbBinaryCompare, &result));
    ASSERT_TRUE(result);
    VARTYPE vt = VT_EMPTY;
    SafeArrayGetVartype(result, &vt);
    EXPECT_EQ(VT_BSTR, vt);
    EXPECT_EQ(0, lowerBound(result));
    EXPECT_EQ((Strings{L"a", L"b"}), elementsOf(result)) << "Limit 1 still gives every token";
    SafeArrayDestroy(result);

    result = reinterpret_cast<SAFEARRAY*>(1);
    EXPECT_EQ(nullptr, got(ds->FastTokenize(none.ref(), 44, -1, vbBinaryCompare, &result), result))
        << "no tokens: an array with no bounds";

    ASSERT_EQ(S_OK, ds->FastSplit2(quoted.ref(), 44, -1, vbBinaryCompare, VARIANT_TRUE, &result));
    EXPECT_EQ(0, lowerBound(result));
    EXPECT_EQ((Strings{L"x,y", L"z"}), elementsOf(result));
    SafeArrayDestroy(result);
    ASSERT_EQ(S_OK, ds->FastSplit2(quoted.ref(), 44, -1, vbBinaryCompare, VARIANT_FALSE, &result));
    EXPECT_EQ((Strings{L"\"x", L"y\"", L"z"}), elementsOf(result));
    SafeArrayDestroy(result);
}

TEST_F(DataStructures, StringVectorsKeepTheirLowerBound) {
    ASSERT_TRUE(ds);
    SAFEARRAY* array = stringVector({L" a ", L"", L"  ", L"b"}, 5);
    VARIANT_BOOL ok = VARIANT_FALSE;
    EXPECT_EQ(VARIANT_TRUE, got(ds->TrimStringVector(&array, &ok), ok));
    EXPECT_EQ(5, lowerBound(array));
    EXPECT_EQ((Strings{L"a", L"b"}), elementsOf(array));

    LONG size = 2;
    EXPECT_EQ(VARIANT_TRUE, got(ds->ValidateStringVector(&array, &size, &ok), ok));
    size = 4;
    EXPECT_EQ(VARIANT_FALSE, got(ds->ValidateStringVector(&array, &size, &ok), ok));
    EXPECT_EQ(4, size) << "Size is only read";
    SafeArrayDestroy(array);

    // Every element blank: the array shrinks to no elements, still from its lower bound.
    array = stringVector({L"  ", L"", L" "}, 3);
    ok = VARIANT_FALSE;
    EXPECT_EQ(VARIANT_TRUE, got(ds->TrimStringVector(&array, &ok), ok));
    ASSERT_TRUE(array);
    EXPECT_EQ(1u, SafeArrayGetDim(array));
    EXPECT_EQ(0u, array->rgsabound[0].cElements);
    EXPECT_EQ(3, array->rgsabound[0].lLbound);
    SafeArrayDestroy(array);
}

TEST_F(DataStructures, ArrayDimsFollowsReferences) {
    ASSERT_TRUE(ds);
    short dims = -1;
    unique_variant matrix;
    matrix.vt = VT_ARRAY | VT_I4;
    matrix.parray = twoDimensional(VT_I4);
    EXPECT_EQ(2, got(ds->ArrayDims(&matrix, &dims), dims));

    SAFEARRAY* vector = stringVector({L"a"});
    unique_variant byRef;
    byRef.vt = VT_BYREF | VT_ARRAY | VT_BSTR;
    byRef.pparray = &vector;
    EXPECT_EQ(1, got(ds->ArrayDims(&byRef, &dims), dims));
    unique_variant outer = vRef(&matrix);
    EXPECT_EQ(2, got(ds->ArrayDims(&outer, &dims), dims));
    SafeArrayDestroy(vector);
    vector = nullptr;
    EXPECT_EQ(0, got(ds->ArrayDims(&byRef, &dims), dims)) << "no array descriptor";

    unique_variant number = vLong(7), empty;
    EXPECT_EQ(0, got(ds->ArrayDims(&number, &dims), dims));
    EXPECT_EQ(0, got(ds->ArrayDims(&empty, &dims), dims));
}

TEST_F(DataStructures, JoinCollectionsAppendsInOrder) {
    ASSERT_TRUE(ds);
    unique_variant one = vLong(1), two = vStr(L"two"), three = vStr(L"three");
    ComPtr<_Collection> first = collectionOf(ds.get(), {&one, &two});
    ComPtr<_Collection> second = collectionOf(ds.get(), {&three});
    ASSERT_TRUE(first && second);

    ComPtr<_Collection> joined;
    ASSERT_EQ(S_OK, ds->lrkJoinCollections(first.get(), second.get(), joined.put()));
    ASSERT_TRUE(joined);
    EXPECT_EQ((Strings{L"1", L"two", L"three"}), itemsOf(joined.get()));
    EXPECT_EQ((Strings{L"1", L"two"}), itemsOf(first.get())) << "the arguments are not changed";

    // A missing collection stops the join quietly: what was added before it stands.
    ASSERT_EQ(S_OK, ds->lrkJoinCollections(first.get(), nullptr, joined.put()));
    EXPECT_EQ((Strings{L"1", L"two"}), itemsOf(joined.get()));
    ASSERT_EQ(S_OK, ds->lrkJoinCollections(nullptr, second.get(), joined.put()));
    ASSERT_TRUE(joined);
    EXPECT_EQ(Strings{}, itemsOf(joined.get()));
}

TEST_F(DataStructures, ArgumentErrorsRaiseWithSourceAndDescription) {
    ASSERT_TRUE(ds);
    Text check(L"abc"), match(L"b"), quote(L"\"");
    LONG pos = 0;
    EXPECT_EQ(kError5, ds->lrkInstr(0, check.ref(), match.ref(), vbBinaryCompare, &pos));
    EXPECT_EQ(L"MDataStructures.lrkInstr: Invalid procedure call or argument", lastError());
    for (LONG start : {0, -2}) {
        EXPECT_EQ(kError5, ds->lrkInstrRev(check.ref(), match.ref(), start, vbBinaryCompare, &pos)) << start;
        EXPECT_EQ(L"MDataStructures.lrkInstrRev: Invalid procedure call or argument", lastError()) << start;
    }

    EXPECT_EQ(kError5, ds->StripQuotes(quote.ref()));
    EXPECT_EQ(L"LARKLIB8: Invalid procedure call or argument", lastError());
    EXPECT_EQ(L"\"", quote.text()) << "a failed StripQuotes leaves the string alone";

    // A trapping member turns the same kind of fault into its fallback result.
    SAFEARRAY* result = reinterpret_cast<SAFEARRAY*>(1);
    EXPECT_EQ(nullptr, got(ds->FastSplit2(quote.ref(), 44, -1, vbBinaryCompare, VARIANT_TRUE, &result), result));
}

TEST_F(DataStructures, LateBoundNamesDefaultsAndNamedArguments) {
    ASSERT_TRUE(late);
    unique_variant one = vLong(1), axc = vStr(L"aXc"), x = vStr(L"x");
    Call found = invoke(late.get(), L"LRKINSTR", {&one, &axc, &x, &one});
    ASSERT_EQ(S_OK, found.hr);
    EXPECT_EQ(VT_I4, found.result.vt);
    EXPECT_EQ(2, found.result.lVal);

    // Compare defaults to text; StartPos to the end.
    unique_variant mixed = vStr(L"abcABC"), abc = vStr(L"abc"), binary = vLong(0), three = vLong(3);
    EXPECT_EQ(4, invoke(late.get(), L"lrkInstrRev", {&mixed, &abc}).result.lVal);
    EXPECT_EQ(1, invoke(late.get(), L"lrkinstrrev", {&mixed, &abc}, {{L"COMPARE", &binary}}).result.lVal);
    Call named = invoke(late.get(), L"lrkInstrRev", {&mixed, &abc}, {{L"compare", &one}, {L"StartPos", &three}});
    ASSERT_EQ(S_OK, named.hr);
    EXPECT_EQ(1, named.result.lVal);
    Call allNamed = invoke(late.get(), L"lrkInstrRev", {}, {{L"StringMatch", &abc}, {L"StringCheck", &mixed}});
    EXPECT_EQ(4, allNamed.result.lVal) << "every argument named, in another order";
    EXPECT_EQ(DISP_E_UNKNOWNNAME, invoke(late.get(), L"lrkInstrRev", {&mixed, &abc}, {{L"Start", &one}}).hr);

    unique_variant list = vStr(L"a,b,c"), comma = vLong(44);
    EXPECT_EQ(4, invoke(late.get(), L"lrkInCharRev", {&list, &comma, &binary}).result.lVal);

    unique_variant quoted = vStr(L"\"x,y\",z"), yes = vBool(true);
    Call split = invoke(late.get(), L"FastSplit2", {&quoted, &comma}, {{L"handlequoted", &yes}});
    ASSERT_EQ(S_OK, split.hr);
    ASSERT_EQ(VT_ARRAY | VT_BSTR, split.result.vt);
    EXPECT_EQ((Strings{L"x,y", L"z"}), elementsOf(split.result.parray));
    Call unquoted = invoke(late.get(), L"FastSplit2", {&quoted, &comma});
    ASSERT_EQ(VT_ARRAY | VT_BSTR, unquoted.result.vt);
    EXPECT_EQ((Strings{L"\"x", L"y\"", L"z"}), elementsOf(unquoted.result.parray))
        << "HandleQuoted defaults to False";

    unique_variant zero = vLong(0);
    Call error = invoke(late.get(), L"lrkInstr", {&zero, &axc, &x, &binary});
    EXPECT_EQ(DISP_E_EXCEPTION, error.hr);
    EXPECT_EQ(kError5, error.exception.scode);
    EXPECT_EQ(L"MDataStructures.lrkInstr", error.source());
    EXPECT_EQ(L"Invalid procedure call or argument", error.description());
}

TEST_F(DataStructures, LateBoundByRefArgumentsAreWrittenBack) {
    ASSERT_TRUE(late);
    unique_variant variable = vStr(L"\"q\"");
    unique_variant ref = vRef(&variable);
    ASSERT_EQ(S_OK, invoke(late.get(), L"StripQuotes", {&ref}).hr);
    ASSERT_EQ(VT_BSTR, variable.vt);
    EXPECT_EQ(L"q", str(variable.bstrVal));

    variable = vStr(L"Aa");
    ref = vRef(&variable);
    unique_variant one = vLong(1), a = vLong(97), x = vLong(120);
    ASSERT_EQ(S_OK, invoke(late.get(), L"lrkReplaceChar", {&one, &ref, &a, &x, &one}).hr);
    EXPECT_EQ(L"xx", str(variable.bstrVal));

    // A number given for a String parameter comes back as a string.
    variable = vLong(-42);
    ref = vRef(&variable);
    ASSERT_EQ(S_OK, invoke(late.get(), L"StripQuotes", {&ref}).hr);
    ASSERT_EQ(VT_BSTR, variable.vt);
    EXPECT_EQ(L"-42", str(variable.bstrVal));

    // A script's Variant array: converted for the call, trimmed, and handed back as Variants.
    unique_variant padded = vStr(L" a "), blank = vStr(L"  "), b = vStr(L"b ");
    variable.clear();
    variable.vt = VT_ARRAY | VT_VARIANT;
    variable.parray = variantVector({&padded, &blank, &b}, 1);
    ref = vRef(&variable);
    Call trimmed = invoke(late.get(), L"TrimStringVector", {&ref});
    ASSERT_EQ(S_OK, trimmed.hr);
    EXPECT_EQ(VARIANT_TRUE, trimmed.result.boolVal);
    ASSERT_EQ(VT_ARRAY | VT_VARIANT, variable.vt);
    EXPECT_EQ(1, lowerBound(variable.parray));
    EXPECT_EQ((Strings{L"a", L"b"}), elementsOf(variable.parray));

    unique_variant two = vLong(2), three = vLong(3);
    EXPECT_EQ(VARIANT_TRUE, invoke(late.get(), L"ValidateStringVector", {&ref, &two}).result.boolVal);
    EXPECT_EQ(VARIANT_FALSE, invoke(late.get(), L"ValidateStringVector", {&ref, &three}).result.boolVal);

    // What cannot become a String array is refused before the call; the variable stays as it was.
    unique_variant object;
    object.vt = VT_DISPATCH;
    object.pdispVal = late.get();
    late->AddRef();
    SAFEARRAY* withObject = variantVector({&padded, &object}, 0);
    variable.clear();
    variable.vt = VT_ARRAY | VT_VARIANT;
    variable.parray = withObject;
    ref = vRef(&variable);
    EXPECT_EQ(DISP_E_TYPEMISMATCH, invoke(late.get(), L"TrimStringVector", {&ref}).hr);
    EXPECT_EQ(VT_ARRAY | VT_VARIANT, variable.vt);
    EXPECT_EQ(withObject, variable.parray);
    EXPECT_EQ((Strings{L" a ", L"<vt 9>"}), elementsOf(variable.parray));
    variable = vStr(L"not an array");
    ref = vRef(&variable);
    EXPECT_EQ(DISP_E_TYPEMISMATCH, invoke(late.get(), L"ValidateStringVector", {&ref, &two}).hr);
    EXPECT_EQ(L"not an array", str(variable.bstrVal));

    // An object where a Long is wanted is an error, not a crash.
    unique_variant abc = vStr(L"abc");
    EXPECT_TRUE(FAILED(invoke(late.get(), L"lrkInstr", {&object, &abc, &abc, &one}).hr));
    EXPECT_TRUE(FAILED(invoke(late.get(), L"lrkInChar", {&abc, &abc, &a, &one}).hr));
}

TEST_F(DataStructures, MissingAndMalformedInputIsHandled) {
    ASSERT_TRUE(ds);
    BSTR null = nullptr;
    Text text(L"abc"), blank(L"");
    BSTR* abc = text.ref();
    LONG pos = 99;
    short unit = 99;
    VARIANT_BOOL ok = VARIANT_TRUE;
    SAFEARRAY* result = reinterpret_cast<SAFEARRAY*>(1);
    for (BSTR* s : {&null, static_cast<BSTR*>(nullptr)}) {
        SCOPED_TRACE(s ? "null BSTR" : "null BSTR*");
        EXPECT_EQ(0, got(ds->lrkInstr(1, s, abc, vbBinaryCompare, &pos), pos));
        EXPECT_EQ(0, got(ds->lrkInstr(1, abc, s, vbBinaryCompare, &pos), pos));
        EXPECT_EQ(3, got(ds->lrkInstrRev(abc, s, -1, vbBinaryCompare, &pos), pos)) << "empty match: the end";
        EXPECT_EQ(0, got(ds->lrkInstrRev(s, abc, -1, vbBinaryCompare, &pos), pos));
        EXPECT_EQ(-1, got(ds->lrkInChar(1, s, 97, vbBinaryCompare, &pos), pos));
        EXPECT_EQ(-1, got(ds->lrkInCharRev(s, 97, vbBinaryCompare, -1, &pos), pos));
        EXPECT_EQ(0, got(ds->lrkMidAscW(s, 1, &unit), unit));
        EXPECT_EQ(0, got(ds->QuickMid(s, 1, vbBinaryCompare, &unit), unit));
        EXPECT_EQ(S_OK, ds->lrkReplaceChar(1, s, 97, 98, vbBinaryCompare));
        EXPECT_EQ(nullptr, got(ds->FastTokenize(s, 44, -1, vbBinaryCompare, &result), result));
        EXPECT_EQ(nullptr, got(ds->FastSplit2(s, 44, -1, vbBinaryCompare, VARIANT_TRUE, &result), result));
        EXPECT_EQ(VARIANT_FALSE, got(ds->IsEqualString(s, s, vbBinaryCompare, &ok), ok));
        EXPECT_EQ(-1, got(ds->CompareStrings(s, abc, &pos), pos)) << "a missing string is the empty string";
        EXPECT_EQ(0, got(ds->CompareStrings(s, blank.ref(), &pos), pos));
    }
    EXPECT_EQ(S_OK, ds->StripQuotes(&null));
    EXPECT_EQ(L"", str(null));
    SysFreeString(null);
    EXPECT_EQ(kError5, ds->StripQuotes(nullptr));

    // Arrays: missing, empty, two-dimensional, or of another element type.
    LONG size = 0;
    SAFEARRAY* none = nullptr;
    EXPECT_EQ(VARIANT_FALSE, got(ds->TrimStringVector(&none, &ok), ok));
    EXPECT_EQ(VARIANT_FALSE, got(ds->TrimStringVector(nullptr, &ok), ok));
    EXPECT_EQ(VARIANT_FALSE, got(ds->ValidateStringVector(&none, &size, &ok), ok));
    EXPECT_EQ(VARIANT_FALSE, got(ds->ValidateStringVector(nullptr, nullptr, &ok), ok));
    short dims = -1;
    EXPECT_EQ(0, got(ds->ArrayDims(nullptr, &dims), dims));

    SAFEARRAY* empty = SafeArrayCreateVector(VT_BSTR, 0, 0);
    EXPECT_EQ(VARIANT_TRUE, got(ds->ValidateStringVector(&empty, &size, &ok), ok));
    EXPECT_EQ(VARIANT_TRUE, got(ds->TrimStringVector(&empty, &ok), ok));
    SafeArrayDestroy(empty);

    SAFEARRAY* matrix = twoDimensional(VT_BSTR);
    size = 6;
    EXPECT_EQ(VARIANT_FALSE, got(ds->ValidateStringVector(&matrix, &size, &ok), ok));
    ok = VARIANT_TRUE;
    EXPECT_EQ(VARIANT_FALSE, got(ds->TrimStringVector(&matrix, &ok), ok));
    SafeArrayDestroy(matrix);

    SAFEARRAY* numbers = SafeArrayCreateVector(VT_I4, 0, 2);
    ok = VARIANT_TRUE;
    EXPECT_EQ(VARIANT_FALSE, got(ds->TrimStringVector(&numbers, &ok), ok));
    SafeArrayDestroy(numbers);

    // A compiled client that passes no place for the result is refused, not trusted.
    EXPECT_EQ(E_POINTER, ds->lrkInstr(1, abc, abc, vbBinaryCompare, nullptr));
    EXPECT_EQ(E_POINTER, ds->FastTokenize(abc, 44, -1, vbBinaryCompare, nullptr));
    EXPECT_EQ(E_POINTER, ds->TrimStringVector(&none, nullptr));
    EXPECT_EQ(E_POINTER, ds->CompareStrings(abc, abc, nullptr));
}

TEST_F(DataStructures, VeryLongStrings) {
    ASSERT_TRUE(ds);
    const size_t length = size_t(4) << 20;
    Text haystack(length, L'a'), needle(L"XYZ");
    std::copy_n(L"xyz", 3, haystack.value + length - 3);
    LONG pos = 0;
    EXPECT_EQ(LONG(length - 2), got(ds->lrkInstr(1, haystack.ref(), needle.ref(), vbTextCompare, &pos), pos));
    EXPECT_EQ(S_OK, ds->lrkReplaceChar(1, haystack.ref(), L'a', L'b', vbBinaryCompare));
    EXPECT_EQ(std::wstring::npos, haystack.text().find(L'b')) << "too long to edit";
    for (size_t n : {size_t(16383), size_t(16384)}) {
        Text s(n, L'a');
        EXPECT_EQ(S_OK, ds->lrkReplaceChar(1, s.ref(), L'a', L'b', vbBinaryCompare));
        EXPECT_EQ(std::wstring(n, n <= 16383 ? L'b' : L'a'), s.text()) << n;
    }

    for (size_t i = 1; i < length; i += 2) haystack.value[i] = L' ';  // one-letter words
    SAFEARRAY* tokens = nullptr;
    ASSERT_EQ(S_OK, ds->FastTokenize(haystack.ref(), 32, -1, vbBinaryCompare, &tokens));
    ASSERT_TRUE(tokens);
    LONG upper = 0;
    SafeArrayGetUBound(tokens, 1, &upper);
    EXPECT_EQ(LONG(length / 2 - 1), upper);
    SafeArrayDestroy(tokens);
}

}  // namespace
}  // namespace lark::test
