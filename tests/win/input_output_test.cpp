// CServicesInputOutput as COM clients see it: every sort with its key and companion types,
// ByRef bounds written back, the variant order, references moved rather than copied, trapped
// and raised failures, late binding, and one large sort. The procedure itself is covered on the
// host by quick_sort_test.
#include "com_support.hpp"

#include <algorithm>
#include <functional>
#include <map>

namespace lark::test {
namespace {

// Keys with companions derived from them, so that a companion left behind shows.
Strings names(std::initializer_list<int> numbers, const wchar_t* prefix) {
    Strings out;
    for (int n : numbers) out.push_back(prefix + std::to_wstring(n));
    return out;
}

ULONG referencesOf(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

class InputOutput : public testing::Test {
protected:
    ComPtr<_CServicesInputOutput> io = createByProgId<_CServicesInputOutput>(L"LARKLIB8.CServicesInputOutput");
    ComPtr<IDispatch> late = io.query<IDispatch>();
};

TEST_F(InputOutput, StringSortIgnoresCaseMovesReferencesAndWritesBounds) {
    ASSERT_TRUE(io);
    Array a(stringVector({L"b", L"A", L"c", L"a", L"B"}, 1));
    std::map<BSTR, std::wstring> before;
    for (size_t i = 0; i < 5; ++i) before[a.data<BSTR>()[i]] = str(a.data<BSTR>()[i]);
    LONG left = -1, right = -1;
    ASSERT_EQ(S_OK, io->QuickSortString(a.ref(), &left, &right));
    EXPECT_EQ(1, left);
    EXPECT_EQ(5, right);
    EXPECT_EQ(1, lowerBound(a.array)) << "arrays keep their own indices";
    Strings sorted = elementsOf(a.array);
    for (auto& s : sorted) s[0] = towlower(s[0]);
    EXPECT_EQ((Strings{L"a", L"a", L"b", L"b", L"c"}), sorted) << "upper and lower case are equal keys";
    for (size_t i = 0; i < 5; ++i) {
        BSTR s = a.data<BSTR>()[i];
        ASSERT_TRUE(before.count(s)) << "element " << i << " is a new string, not the caller's";
        EXPECT_EQ(before[s], str(s));
    }
    // Only -1 is replaced; given bounds stay as they were. Missing bound variables are -1.
    Array b(stringVector({L"e", L"d", L"c", L"b", L"a"}, 1));
    left = 2;
    right = -1;
    ASSERT_EQ(S_OK, io->QuickSortString(b.ref(), &left, &right));
    EXPECT_EQ(2, left);
    EXPECT_EQ(5, right);
    EXPECT_EQ((Strings{L"e", L"a", L"b", L"c", L"d"}), elementsOf(b.array));
    ASSERT_EQ(S_OK, io->QuickSortString(b.ref(), nullptr, nullptr));
    EXPECT_EQ((Strings{L"a", L"b", L"c", L"d", L"e"}), elementsOf(b.array));
}

TEST_F(InputOutput, CompanionArraysMoveWithTheirKeys) {
    ASSERT_TRUE(io);
    const auto order = {7, 3, 9, 1, 5, 3, 8}, sorted = {1, 3, 3, 5, 7, 8, 9};
    // Each member with its companions: 'v' and 'w' String arrays, 'l' Long arrays.
    using Sort = std::function<HRESULT(SAFEARRAY**, SAFEARRAY**, SAFEARRAY**, SAFEARRAY**)>;
    _CServicesInputOutput* s = io.get();
    LONG left = -1, right = -1;
    const std::pair<const wchar_t*, Sort> members[] = {
        {L"v", [&](auto k, auto a, auto, auto) { return s->QuickSortStringDouble(k, a, &left, &right); }},
        {L"l", [s](auto k, auto a, auto, auto) { return s->QuickSortStringLong(k, a, -1, -1); }},
        {L"ll", [s](auto k, auto a, auto b, auto) { return s->QuickSortStringLongLong(k, a, b, -1, -1); }},
        {L"vll", [s](auto k, auto a, auto b, auto c) { return s->QuickSortStringStringLongLong(k, a, b, c, -1, -1); }},
        {L"vw", [&](auto k, auto a, auto b, auto) { return s->QuickSortTriple(k, a, b, &left, &right); }}};
    for (const auto& [kinds, sort] : members) {
        SCOPED_TRACE(testing::Message() << "companions " << kinds);
        Array key(stringVector(names(order, L"k"), 3)), companions[3];
        const std::wstring kindText = kinds;
        for (size_t i = 0; i < kindText.size(); ++i) {
            std::vector<LONG> numbers;
            for (int n : order) numbers.push_back(LONG(i + 1) * n);
            companions[i].array = kindText[i] == L'l' ? longVector(numbers, 3)
                                                      : stringVector(names(order, kindText.substr(i, 1).c_str()), 3);
        }
        left = right = -1;
        ASSERT_EQ(S_OK, sort(key.ref(), companions[0].ref(), companions[1].ref(), companions[2].ref()));
        if (kindText == L"v" || kindText == L"vw") {
            EXPECT_EQ(3, left);
            EXPECT_EQ(9, right);
        }
        EXPECT_EQ(names(sorted, L"k"), elementsOf(key.array));
        for (size_t i = 0; i < kindText.size(); ++i) {
            Strings expected;
            for (int n : sorted) expected.push_back(std::to_wstring((i + 1) * n));
            EXPECT_EQ(kindText[i] == L'l' ? expected : names(sorted, kindText.substr(i, 1).c_str()),
                      elementsOf(companions[i].array));
        }
    }
    // Long keys in signed order.
    Array key(longVector({-5, 3, -1})), values(longVector({50, 30, 10}));
    ASSERT_EQ(S_OK, io->QuickSortLongDouble(key.ref(), values.ref(), -1, -1));
    EXPECT_EQ((Strings{L"-5", L"-1", L"3"}), elementsOf(key.array));
    EXPECT_EQ((Strings{L"50", L"10", L"30"}), elementsOf(values.array));
}

TEST_F(InputOutput, RangesLimitTheSort) {
    ASSERT_TRUE(io);
    Array key(longVector({4, 3, 2, 1}, 1)), values(longVector({40, 30, 20, 10}, 1));
    ASSERT_EQ(S_OK, io->QuickSortLongDouble(key.ref(), values.ref(), 2, 3));
    EXPECT_EQ((Strings{L"4", L"2", L"3", L"1"}), elementsOf(key.array));
    EXPECT_EQ((Strings{L"40", L"20", L"30", L"10"}), elementsOf(values.array));
    ASSERT_EQ(S_OK, io->QuickSortLongDouble(key.ref(), values.ref(), 4, 1)) << "left above right";
    EXPECT_EQ((Strings{L"4", L"2", L"3", L"1"}), elementsOf(key.array));

    // A companion need only cover the range; with one element the companions are not looked at.
    Array keys(stringVector({L"d", L"c", L"b", L"a"}, 1)), sizes(longVector({3, 2}, 2));
    ASSERT_EQ(S_OK, io->QuickSortStringLong(keys.ref(), sizes.ref(), 2, 3));
    EXPECT_EQ((Strings{L"d", L"b", L"c", L"a"}), elementsOf(keys.array));
    EXPECT_EQ((Strings{L"2", L"3"}), elementsOf(sizes.array));
    Array single(stringVector({L"x"}, 1)), none;
    LONG left = -1, right = -1;
    EXPECT_EQ(S_OK, io->QuickSortTriple(single.ref(), none.ref(), none.ref(), &left, &right));
    EXPECT_EQ(1, left);
    EXPECT_EQ(1, right);
}

TEST_F(InputOutput, VariantKeysPutNumbersBeforeStrings) {
    ASSERT_TRUE(io);
    unique_variant ten = vLong(10), half = vDouble(2.5), b = vStr(L"b"), upperA = vStr(L"A"), minus = vLong(-3),
                   tenText = vStr(L"10"), empty, lowerA = vStr(L"a");
    minus.vt = VT_I2;
    minus.iVal = -3;
    Array values(variantVector({&ten, &b, &half, &upperA, &minus, &tenText, &empty}, 2));
    unique_variant holder = vArrayRef(values.ref(), VT_VARIANT);
    LONG left = -1, right = -1;
    ASSERT_EQ(S_OK, io->QuickSort(&holder, &left, &right));
    EXPECT_EQ(2, left);
    EXPECT_EQ(8, right);
    EXPECT_EQ((Strings{L"-3", L"Empty", L"2.5", L"10", L"'10'", L"'A'", L"'b'"}), elementsOf(values.array))
        << "Empty is 0 among numbers and \"\" among strings";

    // A held key array with a typed companion; then a typed key array by reference.
    Array keys(variantVector({&b, &lowerA, &ten, &upperA})), tags(longVector({1, 2, 3, 4}));
    unique_variant keyHolder = vArray(keys.array), tagHolder = vArray(tags.array, VT_I4);
    EXPECT_EQ(S_OK, io->QuickSortDouble(&keyHolder, &tagHolder, -1, -1));
    keyHolder.vt = tagHolder.vt = VT_EMPTY;  // the arrays stay with their owners
    const Strings sortedKeys = elementsOf(keys.array), sortedTags = elementsOf(tags.array);
    EXPECT_EQ(L"10", sortedKeys[0]);
    EXPECT_EQ(L"3", sortedTags[0]);
    EXPECT_EQ(L"'b'", sortedKeys[3]);
    EXPECT_EQ(L"1", sortedTags[3]);
    for (size_t i = 1; i < 3; ++i) EXPECT_EQ(sortedKeys[i] == L"'a'" ? L"2" : L"4", sortedTags[i]);
    Array typed(longVector({3, -1, 2}));
    unique_variant typedHolder = vArrayRef(typed.ref(), VT_I4);
    ASSERT_EQ(S_OK, io->QuickSort(&typedHolder, nullptr, nullptr));
    EXPECT_EQ((Strings{L"-1", L"2", L"3"}), elementsOf(typed.array));
}

TEST_F(InputOutput, ObjectsMoveAsReferences) {
    ASSERT_TRUE(io);
    std::vector<ComPtr<IDispatch>> objects;
    Array keys(longVector({30, 10, 20})), companion(SafeArrayCreateVector(VT_VARIANT, 0, 3));
    for (size_t i = 0; i < 3; ++i) {
        objects.push_back(createByProgId<IDispatch>(L"LARKLIB8.CDataStructures3"));
        VARIANT& slot = companion.data<VARIANT>()[i];
        slot.vt = VT_DISPATCH;
        slot.pdispVal = objects[i].get();
        slot.pdispVal->AddRef();
    }
    const ULONG references = referencesOf(objects[0].get());
    unique_variant keyHolder = vArrayRef(keys.ref(), VT_I4), companionHolder = vArrayRef(companion.ref(), VT_VARIANT);
    ASSERT_EQ(S_OK, io->QuickSortDouble(&keyHolder, &companionHolder, -1, -1));
    EXPECT_EQ((Strings{L"10", L"20", L"30"}), elementsOf(keys.array));
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(VT_DISPATCH, companion.data<VARIANT>()[i].vt);
        EXPECT_EQ(objects[(i + 1) % 3].get(), companion.data<VARIANT>()[i].pdispVal) << i;
    }
    EXPECT_EQ(references, referencesOf(objects[0].get())) << "no reference taken or dropped";

    // An object or Null as a key cannot be compared: the sort ends without an error, nothing lost.
    unique_variant one = vLong(1), two = vLong(2), object, null;
    null.vt = VT_NULL;
    object.vt = VT_DISPATCH;
    object.pdispVal = objects[0].get();
    object.pdispVal->AddRef();
    Array mixed(variantVector({&two, &object, &one})), withNull(variantVector({&two, &null, &one}));
    for (Array* array : {&mixed, &withNull}) {
        unique_variant holder = vArrayRef(array->ref(), VT_VARIANT);
        EXPECT_EQ(S_OK, io->QuickSort(&holder, nullptr, nullptr));
        Strings seen = elementsOf(array->array);
        std::sort(seen.begin(), seen.end());
        EXPECT_EQ((Strings{L"1", L"2", array == &mixed ? L"<vt 9>" : L"<vt 1>"}), seen);
    }
    EXPECT_EQ(references + 2, referencesOf(objects[0].get())) << "the array's reference and object's";
}

TEST_F(InputOutput, BadArraysAreTrappedButTripleRaisesSubscriptOutOfRange) {
    ASSERT_TRUE(io);
    Array none, strings(stringVector({L"b", L"a", L"c"}, 1)), longs(longVector({2, 1, 3}, 1));
    SAFEARRAYBOUND square[2] = {{2, 0}, {2, 0}};
    Array matrix(SafeArrayCreate(VT_BSTR, 2, square));
    LONG left = -1, right = -1;
    EXPECT_EQ(S_OK, io->QuickSortString(none.ref(), &left, &right));
    EXPECT_EQ(-1, left) << "no bounds to write back";
    unique_variant text = vStr(L"not an array"), empty;
    const HRESULT trapped[] = {
        io->QuickSortString(nullptr, &left, &right),
        io->QuickSortString(matrix.ref(), nullptr, nullptr),
        io->QuickSortStringDouble(strings.ref(), none.ref(), nullptr, nullptr),
        io->QuickSortLongDouble(none.ref(), longs.ref(), -1, -1),
        io->QuickSortStringLong(longs.ref(), longs.ref(), -1, -1),  // a Long array as the key
        io->QuickSortStringLongLong(strings.ref(), longs.ref(), none.ref(), -1, -1),
        io->QuickSortStringStringLongLong(strings.ref(), none.ref(), longs.ref(), longs.ref(), -1, -1),
        io->QuickSortLongDouble(longs.ref(), longs.ref(), 0, 9),  // a range beyond the array
        io->QuickSort(&text, nullptr, nullptr),
        io->QuickSort(nullptr, nullptr, nullptr),
        io->QuickSortDouble(&empty, &empty, -1, -1)};
    for (size_t i = 0; i < std::size(trapped); ++i) EXPECT_EQ(S_OK, trapped[i]) << "call " << i;

    // A short companion stops the sort at the first exchange it cannot take part in, here the
    // last one (4 and 5); every exchange before it moved both arrays.
    Array key(stringVector(names({2, 5, 3, 1, 4}, L"k"), 1)), companion(stringVector(names({2, 5, 3, 1}, L"v"), 1));
    EXPECT_EQ(S_OK, io->QuickSortStringDouble(key.ref(), companion.ref(), nullptr, nullptr));
    EXPECT_EQ(names({1, 2, 3, 5, 4}, L"k"), elementsOf(key.array));
    EXPECT_EQ(names({1, 2, 3, 5}, L"v"), elementsOf(companion.array));

    Array five(stringVector(names({5, 4, 3, 2, 1}, L"k"), 1)), one(stringVector(names({5, 4, 3, 2, 1}, L"v"), 1)),
        shortOne(stringVector(names({5, 4, 3}, L"w"), 1));
    left = right = -1;
    EXPECT_EQ(vbError(9), io->QuickSortTriple(five.ref(), one.ref(), shortOne.ref(), &left, &right));
    EXPECT_EQ(L"LARKLIB8: Subscript out of range", lastError());
    EXPECT_EQ(5, right) << "the bounds were written before the error";
    EXPECT_EQ(vbError(9), io->QuickSortTriple(none.ref(), one.ref(), one.ref(), nullptr, nullptr));
    EXPECT_EQ(vbError(9), io->QuickSortTriple(five.ref(), none.ref(), one.ref(), nullptr, nullptr));
    unique_variant keyRef = vArrayRef(five.ref(), VT_BSTR), oneRef = vArrayRef(one.ref(), VT_BSTR),
                   shortRef = vArrayRef(shortOne.ref(), VT_BSTR);
    Call call = invoke(late.get(), L"QuickSortTriple", {&keyRef, &oneRef, &shortRef});
    EXPECT_EQ(DISP_E_EXCEPTION, call.hr);
    EXPECT_EQ(vbError(9), call.exception.scode);
    EXPECT_EQ(L"Subscript out of range", call.description());
}

TEST_F(InputOutput, LateBoundByRefVariablesAndDefaults) {
    ASSERT_TRUE(late);
    // As a script calls it: Variant variables by reference, bounds written back to them.
    unique_variant b = vStr(L"b"), c = vStr(L"c"), a = vStr(L"a"), two = vLong(2), one = vLong(1);
    unique_variant arr = vArray(variantVector({&c, &a, &b})), left = vLong(-1), right;
    right.vt = VT_I2;
    right.iVal = -1;
    unique_variant arrRef = vRef(&arr), leftRef = vRef(&left), rightRef = vRef(&right);
    ASSERT_EQ(S_OK, invoke(late.get(), L"QuickSort", {&arrRef, &leftRef, &rightRef}).hr);
    EXPECT_EQ((Strings{L"'a'", L"'b'", L"'c'"}), elementsOf(arr.parray));
    EXPECT_EQ(L"0", describe(left));
    EXPECT_EQ(L"2", describe(right));

    // A Variant array to a String array parameter: converted, sorted, written back; omitted and
    // named bounds behave as -1 and as given.
    unique_variant names = vArray(variantVector({&c, &b, &a}, 1)), sizes = vArray(variantVector({&two, &one, &two}, 1));
    unique_variant namesRef = vRef(&names), sizesRef = vRef(&sizes), rightTwo = vLong(2);
    ASSERT_EQ(S_OK, invoke(late.get(), L"QuickSortStringLong", {&namesRef, &sizesRef}, {{L"LNGRIGHT", &rightTwo}}).hr);
    EXPECT_EQ(1, lowerBound(names.parray));
    EXPECT_EQ((Strings{L"'b'", L"'c'", L"'a'"}), elementsOf(names.parray));
    EXPECT_EQ((Strings{L"1", L"2", L"2"}), elementsOf(sizes.parray));
    ASSERT_EQ(S_OK, invoke(late.get(), L"QuickSortStringLong", {&namesRef, &sizesRef}).hr);
    EXPECT_EQ((Strings{L"'a'", L"'b'", L"'c'"}), elementsOf(names.parray));
    EXPECT_EQ((Strings{L"2", L"1", L"2"}), elementsOf(sizes.parray));

    Array keys(longVector({3, 1, 2})), values(longVector({30, 10, 20}));
    unique_variant keysRef = vArrayRef(keys.ref(), VT_I4), valuesRef = vArrayRef(values.ref(), VT_I4);
    ASSERT_EQ(S_OK, invoke(late.get(), L"quicksortlongdouble", {&keysRef, &valuesRef}).hr);
    EXPECT_EQ((Strings{L"10", L"20", L"30"}), elementsOf(values.array));
    unique_variant nothing;
    unique_variant nothingRef = vRef(&nothing);
    EXPECT_EQ(S_OK, invoke(late.get(), L"QuickSort", {&nothingRef}).hr) << "trapped as through the dual interface";
}

TEST_F(InputOutput, MillionLongsSortThroughCom) {
    ASSERT_TRUE(io);
    const LONG n = 1'000'000;
    Array key(SafeArrayCreateVector(VT_I4, 1, n)), values(SafeArrayCreateVector(VT_I4, 1, n));
    for (LONG step : {1, -1}) {
        for (LONG i = 0; i < n; ++i) {
            key.data<LONG>()[i] = step > 0 ? i : n - i;
            values.data<LONG>()[i] = -key.data<LONG>()[i];
        }
        ASSERT_EQ(S_OK, io->QuickSortLongDouble(key.ref(), values.ref(), -1, -1)) << step;
        EXPECT_TRUE(std::is_sorted(key.data<LONG>(), key.data<LONG>() + n)) << step;
        for (LONG i = 0; i < n; i += 997) ASSERT_EQ(-key.data<LONG>()[i], values.data<LONG>()[i]) << step;
    }
}

}  // namespace
}  // namespace lark::test
