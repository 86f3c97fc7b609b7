// CDataStructures3 as COM clients see it: members wired to their rules, arrays and their bounds,
// errors, late binding with ByRef write-back, and hostile input. The rules themselves are
// covered on the host by text_strings_test.
#include "com_support.hpp"

#include <algorithm>

namespace lark::test {
namespace {

ComPtr<_Collection> collectionOf(_CDataStructures3* ds, std::initializer_list<VARIANT*> items) {
    ComPtr<_Collection> c;
    EXPECT_EQ(S_OK, ds->lrkJoinCollections(nullptr, nullptr, c.put()));
    for (VARIANT* item : items) EXPECT_EQ(S_OK, invoke(c.get(), L"Add", {item}).hr);
    return c;
}

Strings itemsOf(_Collection* c) {
    Strings out;
    LONG count = -1;
    EXPECT_EQ(S_OK, c->Count(&count));
    for (LONG i = 1; i <= count; ++i) {
        unique_variant index = vLong(i), item;
        EXPECT_EQ(S_OK, c->Item(&index, &item));
        out.push_back(describe(item));
    }
    return out;
}

class DataStructures : public testing::Test {
protected:
    ComPtr<_CDataStructures3> ds = createByProgId<_CDataStructures3>(L"LARKLIB8.CDataStructures3");
    ComPtr<IDispatch> late = ds.query<IDispatch>();
};

TEST_F(DataStructures, EarlyBoundMembersReachTheirRules) {
    ASSERT_TRUE(ds);
    Text axc(L"aXc"), x(L"x"), abcabc(L"abcabc"), bc(L"bc"), list(L"a,b,c"), high(L"a\xFFFF");
    LONG pos = 0;
    EXPECT_EQ(2, got(ds->lrkInstr(1, axc.ref(), x.ref(), vbTextCompare, &pos), pos));
    EXPECT_EQ(-1, got(ds->lrkInstr(-3, axc.ref(), x.ref(), vbTextCompare, &pos), pos)) << "not an error";
    EXPECT_EQ(5, got(ds->lrkInstrRev(abcabc.ref(), bc.ref(), -1, vbTextCompare, &pos), pos));
    EXPECT_EQ(4, got(ds->lrkInChar(3, list.ref(), 44, vbBinaryCompare, &pos), pos));
    EXPECT_EQ(2, got(ds->lrkInCharRev(list.ref(), 44, vbBinaryCompare, 3, &pos), pos));
    short unit = 0;
    EXPECT_EQ(66, got(ds->QuickMid(list.ref(), 3, vbTextCompare, &unit), unit));
    EXPECT_EQ(-1, got(ds->lrkMidAscW(high.ref(), 2, &unit), unit)) << "a signed 16-bit value";

    // CompareStrings uses the platform's text comparison: case never decides the order.
    Text lower(L"abc"), upper(L"ABC"), abd(L"ABD"), b(L"b");
    VARIANT_BOOL equal = VARIANT_FALSE;
    EXPECT_EQ(VARIANT_TRUE, got(ds->IsEqualString(lower.ref(), upper.ref(), vbTextCompare, &equal), equal));
    EXPECT_EQ(-1, got(ds->CompareStrings(lower.ref(), abd.ref(), &pos), pos));
    EXPECT_EQ(0, got(ds->CompareStrings(upper.ref(), lower.ref(), &pos), pos));
    EXPECT_EQ(1, got(ds->CompareStrings(b.ref(), upper.ref(), &pos), pos));

    // lrkReplaceChar edits the caller's string in place; StripQuotes writes a new one back.
    Text text(L"Aa-a");
    BSTR before = text.value;
    EXPECT_EQ(S_OK, ds->lrkReplaceChar(1, text.ref(), 97, 120, vbTextCompare));
    EXPECT_EQ(before, text.value);
    EXPECT_EQ(L"xx-x", text.text());
    Text quoted(L"\"abc\"");
    EXPECT_EQ(S_OK, ds->StripQuotes(quoted.ref()));
    EXPECT_EQ(L"abc", quoted.text());
}

TEST_F(DataStructures, ArraysAndTheirBounds) {
    ASSERT_TRUE(ds);
    Text text(L",,a,b,,"), none(L",,,"), quoted(L"\"x,y\",z");
    Array tokens, split, unsplit;
    ASSERT_EQ(S_OK, ds->FastTokenize(text.ref(), 44, 1, vbBinaryCompare, tokens.ref()));
    VARTYPE vt = VT_EMPTY;
    SafeArrayGetVartype(tokens.array, &vt);
    EXPECT_EQ(VT_BSTR, vt);
    EXPECT_EQ(0, lowerBound(tokens.array));
    EXPECT_EQ((Strings{L"a", L"b"}), elementsOf(tokens.array)) << "Limit 1 still gives every token";
    SAFEARRAY* result = reinterpret_cast<SAFEARRAY*>(1);
    EXPECT_EQ(nullptr, got(ds->FastTokenize(none.ref(), 44, -1, vbBinaryCompare, &result), result))
        << "no tokens: an array with no bounds";
    ASSERT_EQ(S_OK, ds->FastSplit2(quoted.ref(), 44, -1, vbBinaryCompare, VARIANT_TRUE, split.ref()));
    EXPECT_EQ((Strings{L"x,y", L"z"}), elementsOf(split.array));
    ASSERT_EQ(S_OK, ds->FastSplit2(quoted.ref(), 44, -1, vbBinaryCompare, VARIANT_FALSE, unsplit.ref()));
    EXPECT_EQ((Strings{L"\"x", L"y\"", L"z"}), elementsOf(unsplit.array));

    // Trimming keeps the lower bound, also when every element is blank.
    Array vector(stringVector({L" a ", L"", L"  ", L"b"}, 5)), blank(stringVector({L"  ", L""}, 3));
    VARIANT_BOOL ok = VARIANT_FALSE;
    EXPECT_EQ(VARIANT_TRUE, got(ds->TrimStringVector(vector.ref(), &ok), ok));
    EXPECT_EQ(5, lowerBound(vector.array));
    EXPECT_EQ((Strings{L"a", L"b"}), elementsOf(vector.array));
    EXPECT_EQ(VARIANT_TRUE, got(ds->TrimStringVector(blank.ref(), &ok), ok));
    ASSERT_TRUE(blank.array);
    EXPECT_EQ(0u, blank.array->rgsabound[0].cElements);
    EXPECT_EQ(3, blank.array->rgsabound[0].lLbound);
    LONG size = 2;
    EXPECT_EQ(VARIANT_TRUE, got(ds->ValidateStringVector(vector.ref(), &size, &ok), ok));
    size = 4;
    EXPECT_EQ(VARIANT_FALSE, got(ds->ValidateStringVector(vector.ref(), &size, &ok), ok));
    EXPECT_EQ(4, size) << "Size is only read";

    // ArrayDims follows references to the array descriptor.
    SAFEARRAYBOUND bounds[2] = {{2, 0}, {3, 1}};
    unique_variant matrix = vArray(SafeArrayCreate(VT_I4, 2, bounds), VT_I4);
    unique_variant byRef = vArrayRef(vector.ref(), VT_BSTR), outer = vRef(&matrix), number = vLong(7), empty;
    short dims = -1;
    EXPECT_EQ(2, got(ds->ArrayDims(&matrix, &dims), dims));
    EXPECT_EQ(1, got(ds->ArrayDims(&byRef, &dims), dims));
    EXPECT_EQ(2, got(ds->ArrayDims(&outer, &dims), dims));
    SAFEARRAY* missing = nullptr;
    byRef.pparray = &missing;
    EXPECT_EQ(0, got(ds->ArrayDims(&byRef, &dims), dims)) << "no array descriptor";
    EXPECT_EQ(0, got(ds->ArrayDims(&number, &dims), dims));
    EXPECT_EQ(0, got(ds->ArrayDims(&empty, &dims), dims));
}

TEST_F(DataStructures, JoinCollectionsAppendsInOrder) {
    ASSERT_TRUE(ds);
    unique_variant one = vLong(1), two = vStr(L"two"), three = vStr(L"three");
    ComPtr<_Collection> first = collectionOf(ds.get(), {&one, &two}), second = collectionOf(ds.get(), {&three});
    ASSERT_TRUE(first && second);
    ComPtr<_Collection> joined;
    ASSERT_EQ(S_OK, ds->lrkJoinCollections(first.get(), second.get(), joined.put()));
    EXPECT_EQ((Strings{L"1", L"'two'", L"'three'"}), itemsOf(joined.get()));
    EXPECT_EQ((Strings{L"1", L"'two'"}), itemsOf(first.get())) << "the arguments are not changed";
    // A missing collection stops the join quietly: what was added before it stands.
    ASSERT_EQ(S_OK, ds->lrkJoinCollections(first.get(), nullptr, joined.put()));
    EXPECT_EQ((Strings{L"1", L"'two'"}), itemsOf(joined.get()));
    ASSERT_EQ(S_OK, ds->lrkJoinCollections(nullptr, second.get(), joined.put()));
    ASSERT_TRUE(joined);
    EXPECT_EQ(Strings{}, itemsOf(joined.get()));
}

TEST_F(DataStructures, ArgumentErrorsRaiseWithSourceAndDescription) {
    ASSERT_TRUE(ds);
    Text check(L"abc"), match(L"b"), quote(L"\"");
    LONG pos = 0;
    EXPECT_EQ(vbError(5), ds->lrkInstr(0, check.ref(), match.ref(), vbBinaryCompare, &pos));
    EXPECT_EQ(L"MDataStructures.lrkInstr: Invalid procedure call or argument", lastError());
    EXPECT_EQ(vbError(5), ds->lrkInstrRev(check.ref(), match.ref(), -2, vbBinaryCompare, &pos));
    EXPECT_EQ(L"MDataStructures.lrkInstrRev: Invalid procedure call or argument", lastError());
    EXPECT_EQ(vbError(5), ds->StripQuotes(quote.ref()));
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

    // Compare defaults to text; StartPos to the end; HandleQuoted to False.
    unique_variant mixed = vStr(L"abcABC"), abc = vStr(L"abc"), binary = vLong(0), three = vLong(3);
    EXPECT_EQ(4, invoke(late.get(), L"lrkInstrRev", {&mixed, &abc}).result.lVal);
    EXPECT_EQ(1, invoke(late.get(), L"lrkinstrrev", {&mixed, &abc}, {{L"COMPARE", &binary}}).result.lVal);
    Call named = invoke(late.get(), L"lrkInstrRev", {&mixed, &abc}, {{L"compare", &one}, {L"StartPos", &three}});
    ASSERT_EQ(S_OK, named.hr);
    EXPECT_EQ(1, named.result.lVal);
    EXPECT_EQ(4, invoke(late.get(), L"lrkInstrRev", {}, {{L"StringMatch", &abc}, {L"StringCheck", &mixed}}).result.lVal)
        << "every argument named, in another order";
    EXPECT_EQ(DISP_E_UNKNOWNNAME, invoke(late.get(), L"lrkInstrRev", {&mixed, &abc}, {{L"Start", &one}}).hr);
    unique_variant quoted = vStr(L"\"x,y\",z"), comma = vLong(44), yes = vBool(true);
    Call split = invoke(late.get(), L"FastSplit2", {&quoted, &comma}, {{L"handlequoted", &yes}});
    ASSERT_EQ(VT_ARRAY | VT_BSTR, split.result.vt);
    EXPECT_EQ((Strings{L"x,y", L"z"}), elementsOf(split.result.parray));
    Call unquoted = invoke(late.get(), L"FastSplit2", {&quoted, &comma});
    ASSERT_EQ(VT_ARRAY | VT_BSTR, unquoted.result.vt);
    EXPECT_EQ((Strings{L"\"x", L"y\"", L"z"}), elementsOf(unquoted.result.parray));

    unique_variant zero = vLong(0);
    Call error = invoke(late.get(), L"lrkInstr", {&zero, &axc, &x, &binary});
    EXPECT_EQ(DISP_E_EXCEPTION, error.hr);
    EXPECT_EQ(vbError(5), error.exception.scode);
    EXPECT_EQ(L"MDataStructures.lrkInstr", error.source());
    EXPECT_EQ(L"Invalid procedure call or argument", error.description());
}

TEST_F(DataStructures, LateBoundByRefArgumentsAreWrittenBack) {
    ASSERT_TRUE(late);
    unique_variant one = vLong(1), a = vLong(97), x = vLong(120), two = vLong(2), three = vLong(3);
    unique_variant variable = vStr(L"Aa");
    unique_variant ref = vRef(&variable);
    ASSERT_EQ(S_OK, invoke(late.get(), L"lrkReplaceChar", {&one, &ref, &a, &x, &one}).hr);
    EXPECT_EQ(L"xx", str(variable.bstrVal));
    variable = vLong(-42);  // a number given for a String parameter comes back as a string
    ASSERT_EQ(S_OK, invoke(late.get(), L"StripQuotes", {&ref}).hr);
    ASSERT_EQ(VT_BSTR, variable.vt);
    EXPECT_EQ(L"-42", str(variable.bstrVal));

    // A script's Variant array: converted for the call, trimmed, and handed back as Variants.
    unique_variant padded = vStr(L" a "), blank = vStr(L"  "), b = vStr(L"b ");
    variable = vArray(variantVector({&padded, &blank, &b}, 1));
    Call trimmed = invoke(late.get(), L"TrimStringVector", {&ref});
    ASSERT_EQ(S_OK, trimmed.hr);
    EXPECT_EQ(VARIANT_TRUE, trimmed.result.boolVal);
    ASSERT_EQ(VT_ARRAY | VT_VARIANT, variable.vt);
    EXPECT_EQ(1, lowerBound(variable.parray));
    EXPECT_EQ((Strings{L"'a'", L"'b'"}), elementsOf(variable.parray));
    EXPECT_EQ(VARIANT_TRUE, invoke(late.get(), L"ValidateStringVector", {&ref, &two}).result.boolVal);
    EXPECT_EQ(VARIANT_FALSE, invoke(late.get(), L"ValidateStringVector", {&ref, &three}).result.boolVal);

    // What cannot become a String array is refused before the call; the variable stays as it was.
    unique_variant object;
    object.vt = VT_DISPATCH;
    object.pdispVal = late.get();
    late->AddRef();
    SAFEARRAY* withObject = variantVector({&padded, &object});
    variable = vArray(withObject);
    EXPECT_EQ(DISP_E_TYPEMISMATCH, invoke(late.get(), L"TrimStringVector", {&ref}).hr);
    EXPECT_EQ(withObject, variable.parray);
    EXPECT_EQ((Strings{L"' a '", L"<vt 9>"}), elementsOf(variable.parray));
    variable = vStr(L"not an array");
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
    EXPECT_EQ(vbError(5), ds->StripQuotes(nullptr));

    // Arrays: missing, empty, two-dimensional, or of another element type.
    LONG size = 0;
    SAFEARRAY* none = nullptr;
    EXPECT_EQ(VARIANT_FALSE, got(ds->TrimStringVector(&none, &ok), ok));
    EXPECT_EQ(VARIANT_FALSE, got(ds->TrimStringVector(nullptr, &ok), ok));
    EXPECT_EQ(VARIANT_FALSE, got(ds->ValidateStringVector(&none, &size, &ok), ok));
    EXPECT_EQ(VARIANT_FALSE, got(ds->ValidateStringVector(nullptr, nullptr, &ok), ok));
    short dims = -1;
    EXPECT_EQ(0, got(ds->ArrayDims(nullptr, &dims), dims));
    Array empty(SafeArrayCreateVector(VT_BSTR, 0, 0)), numbers(SafeArrayCreateVector(VT_I4, 0, 2));
    EXPECT_EQ(VARIANT_TRUE, got(ds->ValidateStringVector(empty.ref(), &size, &ok), ok));
    EXPECT_EQ(VARIANT_TRUE, got(ds->TrimStringVector(empty.ref(), &ok), ok));
    SAFEARRAYBOUND bounds[2] = {{2, 0}, {3, 1}};
    Array matrix(SafeArrayCreate(VT_BSTR, 2, bounds));
    size = 6;
    EXPECT_EQ(VARIANT_FALSE, got(ds->ValidateStringVector(matrix.ref(), &size, &ok), ok));
    ok = VARIANT_TRUE;
    EXPECT_EQ(VARIANT_FALSE, got(ds->TrimStringVector(matrix.ref(), &ok), ok));
    ok = VARIANT_TRUE;
    EXPECT_EQ(VARIANT_FALSE, got(ds->TrimStringVector(numbers.ref(), &ok), ok));

    // A compiled client that passes no place for the result is refused, not trusted.
    EXPECT_EQ(E_POINTER, ds->lrkInstr(1, abc, abc, vbBinaryCompare, nullptr));
    EXPECT_EQ(E_POINTER, ds->FastTokenize(abc, 44, -1, vbBinaryCompare, nullptr));
    EXPECT_EQ(E_POINTER, ds->TrimStringVector(&none, nullptr));
    EXPECT_EQ(E_POINTER, ds->CompareStrings(abc, abc, nullptr));
}

TEST_F(DataStructures, VeryLongStrings) {
    ASSERT_TRUE(ds);
    const size_t length = size_t(4) << 20;
    Text haystack(std::wstring(length - 3, L'a') + L"xyz"), needle(L"XYZ");
    LONG pos = 0;
    EXPECT_EQ(LONG(length - 2), got(ds->lrkInstr(1, haystack.ref(), needle.ref(), vbTextCompare, &pos), pos));
    for (size_t n : {size_t(16383), size_t(16384), length}) {
        Text s(std::wstring(n, L'a'));
        EXPECT_EQ(S_OK, ds->lrkReplaceChar(1, s.ref(), L'a', L'b', vbBinaryCompare));
        EXPECT_EQ(std::wstring(n, n <= 16383 ? L'b' : L'a'), s.text()) << n;
    }
    for (size_t i = 1; i < length; i += 2) haystack.value[i] = L' ';  // one-letter words
    Array tokens;
    ASSERT_EQ(S_OK, ds->FastTokenize(haystack.ref(), 32, -1, vbBinaryCompare, tokens.ref()));
    ASSERT_TRUE(tokens.array);
    EXPECT_EQ(length / 2, tokens.array->rgsabound[0].cElements);
}

}  // namespace
}  // namespace lark::test
