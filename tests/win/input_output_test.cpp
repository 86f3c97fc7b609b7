// CServicesInputOutput as COM clients see it: every sort with its key and companion types,
// early-bound and through IDispatch, ByRef bounds written back, the variant order, references
// moved rather than copied, trapped and raised failures, and one large sort. The procedure
// itself is covered on the host by quick_sort_test.
#include "com_support.hpp"

#include <algorithm>
#include <cwchar>
#include <map>

namespace lark::test {
namespace {

constexpr HRESULT kError9 = static_cast<HRESULT>(0x800A0009);

using Strings = std::vector<std::wstring>;
using Longs = std::vector<LONG>;

// A caller's array variable: owns the array, hands out its address for the ByRef parameters.
struct Array {
    SAFEARRAY* array = nullptr;
    Array() = default;
    explicit Array(SAFEARRAY* a) : array(a) {}
    Array(const Array&) = delete;
    Array& operator=(const Array&) = delete;
    ~Array() { SafeArrayDestroy(array); }
    SAFEARRAY** ref() { return &array; }
    template <class T>
    T* data() const {
        return static_cast<T*>(array->pvData);
    }
    size_t size() const { return array->rgsabound[0].cElements; }
};

SAFEARRAY* stringVector(const Strings& items, LONG lower = 0) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_BSTR, lower, static_cast<ULONG>(items.size()));
    for (size_t i = 0; i < items.size(); ++i) static_cast<BSTR*>(array->pvData)[i] = SysAllocString(items[i].c_str());
    return array;
}

SAFEARRAY* longVector(const Longs& items, LONG lower = 0) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_I4, lower, static_cast<ULONG>(items.size()));
    std::copy(items.begin(), items.end(), static_cast<LONG*>(array->pvData));
    return array;
}

// A Variant array as a script builds it; the values are copied in.
SAFEARRAY* variantVector(std::initializer_list<VARIANT*> items, LONG lower = 0) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, lower, static_cast<ULONG>(items.size()));
    VARIANT* slot = static_cast<VARIANT*>(array->pvData);
    for (VARIANT* item : items) EXPECT_EQ(S_OK, VariantCopy(slot++, item));
    return array;
}

Strings stringsOf(const Array& a) {
    Strings out;
    for (size_t i = 0; i < a.size(); ++i) out.push_back(str(a.data<BSTR>()[i]));
    return out;
}

Longs longsOf(const Array& a) { return Longs(a.data<LONG>(), a.data<LONG>() + a.size()); }

// A Variant element as text: strings quoted, numbers as numbers, anything else by its type.
std::wstring describe(const VARIANT& v) {
    if (v.vt == VT_EMPTY) return L"Empty";
    if (v.vt == VT_BSTR) return L"'" + str(v.bstrVal) + L"'";
    unique_variant number;
    if (FAILED(VariantChangeType(&number, const_cast<VARIANT*>(&v), 0, VT_R8))) return L"<vt " + std::to_wstring(v.vt) + L">";
    wchar_t text[32];
    swprintf(text, 32, L"%g", number.dblVal);
    return text;
}

Strings describeAll(SAFEARRAY* array) {
    Strings out;
    for (ULONG i = 0; i < array->rgsabound[0].cElements; ++i) out.push_back(describe(static_cast<VARIANT*>(array->pvData)[i]));
    return out;
}

LONG lowerBound(SAFEARRAY* array) {
    LONG lower = -99;
    EXPECT_EQ(S_OK, SafeArrayGetLBound(array, 1, &lower));
    return lower;
}

unique_variant vDouble(double d) {
    unique_variant r;
    r.vt = VT_R8;
    r.dblVal = d;
    return r;
}

unique_variant vShort(short s) {
    unique_variant r;
    r.vt = VT_I2;
    r.iVal = s;
    return r;
}

unique_variant vArray(SAFEARRAY* array) {
    unique_variant r;
    r.vt = VT_ARRAY | VT_VARIANT;
    r.parray = array;
    return r;
}

// The reference count of an object, left as it was.
ULONG referencesOf(IUnknown* object) {
    object->AddRef();
    return object->Release();
}

// "source: description" of the error a call through the dual interface left behind.
std::wstring lastError() {
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.put()) != S_OK || !info) return L"<no error information>";
    BSTR description = nullptr;
    info->GetDescription(&description);
    std::wstring out = str(description);
    SysFreeString(description);
    return out;
}

// Keys with companions derived from them, so that a companion left behind shows.
Strings names(std::initializer_list<int> numbers, const wchar_t* prefix) {
    Strings out;
    for (int n : numbers) out.push_back(prefix + std::to_wstring(n));
    return out;
}

class InputOutput : public testing::Test {
protected:
    ComPtr<_CServicesInputOutput> io = createByProgId<_CServicesInputOutput>(L"LARKLIB8.CServicesInputOutput");
    ComPtr<IDispatch> late = io.query<IDispatch>();
};

TEST_F(InputOutput, StringSortIgnoresCaseAndMovesReferences) {
    ASSERT_TRUE(io);
    Array a(stringVector({L"b", L"A", L"c", L"a", L"B"}, 1));
    std::map<BSTR, std::wstring> before;
    for (size_t i = 0; i < a.size(); ++i) before[a.data<BSTR>()[i]] = str(a.data<BSTR>()[i]);
    LONG left = -1, right = -1;
    ASSERT_EQ(S_OK, io->QuickSortString(a.ref(), &left, &right));
    EXPECT_EQ(1, left);
    EXPECT_EQ(5, right);
    EXPECT_EQ(1, lowerBound(a.array)) << "arrays keep their own indices";
    Strings sorted = stringsOf(a);
    for (auto& s : sorted) s[0] = towlower(s[0]);
    EXPECT_EQ((Strings{L"a", L"a", L"b", L"b", L"c"}), sorted) << "upper and lower case are equal keys";
    for (size_t i = 0; i < a.size(); ++i) {
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
    EXPECT_EQ((Strings{L"e", L"a", L"b", L"c", L"d"}), stringsOf(b));
    ASSERT_EQ(S_OK, io->QuickSortString(b.ref(), nullptr, nullptr));
    EXPECT_EQ((Strings{L"a", L"b", L"c", L"d", L"e"}), stringsOf(b));
}

TEST_F(InputOutput, CompanionArraysMoveWithTheirKeys) {
    ASSERT_TRUE(io);
    const auto order = {7, 3, 9, 1, 5, 3, 8};
    const Strings sortedKeys = names({1, 3, 3, 5, 7, 8, 9}, L"k");
    const Longs sortedLongs{1, 3, 3, 5, 7, 8, 9};
    auto negated = [](Longs v) {
        for (LONG& x : v) x = -x;
        return v;
    };
    {
        Array key(stringVector(names(order, L"k"), 3)), values(stringVector(names(order, L"v"), 3));
        LONG left = -1, right = -1;
        ASSERT_EQ(S_OK, io->QuickSortStringDouble(key.ref(), values.ref(), &left, &right));
        EXPECT_EQ(3, left);
        EXPECT_EQ(9, right);
        EXPECT_EQ(sortedKeys, stringsOf(key));
        EXPECT_EQ(names({1, 3, 3, 5, 7, 8, 9}, L"v"), stringsOf(values));
    }
    {
        Array key(stringVector(names(order, L"k"), 3)), sizes(longVector(Longs(order.begin(), order.end()), 3));
        ASSERT_EQ(S_OK, io->QuickSortStringLong(key.ref(), sizes.ref(), -1, -1));
        EXPECT_EQ(sortedKeys, stringsOf(key));
        EXPECT_EQ(sortedLongs, longsOf(sizes));
    }
    {
        Array key(stringVector(names(order, L"k"), 3)), one(longVector(Longs(order.begin(), order.end()), 3)),
            two(longVector(negated(Longs(order.begin(), order.end())), 3));
        ASSERT_EQ(S_OK, io->QuickSortStringLongLong(key.ref(), one.ref(), two.ref(), -1, -1));
        EXPECT_EQ(sortedKeys, stringsOf(key));
        EXPECT_EQ(sortedLongs, longsOf(one));
        EXPECT_EQ(negated(sortedLongs), longsOf(two));
    }
    {
        Array key(stringVector(names(order, L"k"), 3)), values(stringVector(names(order, L"v"), 3)),
            one(longVector(Longs(order.begin(), order.end()), 3)),
            two(longVector(negated(Longs(order.begin(), order.end())), 3));
        ASSERT_EQ(S_OK, io->QuickSortStringStringLongLong(key.ref(), values.ref(), one.ref(), two.ref(), -1, -1));
        EXPECT_EQ(sortedKeys, stringsOf(key));
        EXPECT_EQ(names({1, 3, 3, 5, 7, 8, 9}, L"v"), stringsOf(values));
        EXPECT_EQ(sortedLongs, longsOf(one));
        EXPECT_EQ(negated(sortedLongs), longsOf(two));
    }
    {
        Array key(stringVector(names(order, L"k"), 3)), one(stringVector(names(order, L"v"), 3)),
            two(stringVector(names(order, L"w"), 3));
        LONG left = -1, right = -1;
        ASSERT_EQ(S_OK, io->QuickSortTriple(key.ref(), one.ref(), two.ref(), &left, &right));
        EXPECT_EQ(3, left);
        EXPECT_EQ(9, right);
        EXPECT_EQ(sortedKeys, stringsOf(key));
        EXPECT_EQ(names({1, 3, 3, 5, 7, 8, 9}, L"v"), stringsOf(one));
        EXPECT_EQ(names({1, 3, 3, 5, 7, 8, 9}, L"w"), stringsOf(two));
    }
    // Long keys in signed order.
    Array key(longVector({-5, 3, -1})), values(longVector({50, 30, 10}));
    ASSERT_EQ(S_OK, io->QuickSortLongDouble(key.ref(), values.ref(), -1, -1));
    EXPECT_EQ((Longs{-5, -1, 3}), longsOf(key));
    EXPECT_EQ((Longs{50, 10, 30}), longsOf(values));
}

TEST_F(InputOutput, RangesLimitTheSort) {
    ASSERT_TRUE(io);
    Array key(longVector({4, 3, 2, 1}, 1)), values(longVector({40, 30, 20, 10}, 1));
    ASSERT_EQ(S_OK, io->QuickSortLongDouble(key.ref(), values.ref(), 2, 3));
    EXPECT_EQ((Longs{4, 2, 3, 1}), longsOf(key));
    EXPECT_EQ((Longs{40, 20, 30, 10}), longsOf(values));

    // A companion need only cover the range.
    Array names(stringVector({L"d", L"c", L"b", L"a"}, 1)), sizes(longVector({3, 2}, 2));
    ASSERT_EQ(S_OK, io->QuickSortStringLong(names.ref(), sizes.ref(), 2, 3));
    EXPECT_EQ((Strings{L"d", L"b", L"c", L"a"}), stringsOf(names));
    EXPECT_EQ((Longs{2, 3}), longsOf(sizes));

    // One element, or left above right: nothing moves, and the companions are not looked at.
    Array single(stringVector({L"x"}, 1)), none;
    LONG left = -1, right = -1;
    EXPECT_EQ(S_OK, io->QuickSortTriple(single.ref(), none.ref(), none.ref(), &left, &right));
    EXPECT_EQ(1, left);
    EXPECT_EQ(1, right);
    ASSERT_EQ(S_OK, io->QuickSortLongDouble(key.ref(), values.ref(), 4, 1));
    EXPECT_EQ((Longs{4, 2, 3, 1}), longsOf(key));
}

TEST_F(InputOutput, VariantKeysPutNumbersBeforeStrings) {
    ASSERT_TRUE(io);
    unique_variant ten = vLong(10), half = vDouble(2.5), b = vStr(L"b"), upperA = vStr(L"A"), minus = vShort(-3),
                   tenText = vStr(L"10"), empty, lowerA = vStr(L"a");
    Array values(variantVector({&ten, &b, &half, &upperA, &minus, &tenText, &empty}, 2));
    unique_variant holder;
    holder.vt = VT_BYREF | VT_ARRAY | VT_VARIANT;
    holder.pparray = values.ref();
    LONG left = -1, right = -1;
    ASSERT_EQ(S_OK, io->QuickSort(&holder, &left, &right));
    EXPECT_EQ(2, left);
    EXPECT_EQ(8, right);
    EXPECT_EQ((Strings{L"-3", L"Empty", L"2.5", L"10", L"'10'", L"'A'", L"'b'"}), describeAll(values.array))
        << "Empty is 0 among numbers and \"\" among strings";

    // Key and companion Variant arrays; the companion holds anything, typed arrays sort too.
    Array keys(variantVector({&b, &lowerA, &ten, &upperA})), tags(longVector({1, 2, 3, 4}));
    unique_variant keyHolder = vArray(keys.array), tagHolder;
    tagHolder.vt = VT_ARRAY | VT_I4;
    tagHolder.parray = tags.array;
    EXPECT_EQ(S_OK, io->QuickSortDouble(&keyHolder, &tagHolder, -1, -1));
    keyHolder.vt = tagHolder.vt = VT_EMPTY;  // the arrays stay with their owners
    EXPECT_EQ(L"10", describe(keys.data<VARIANT>()[0]));
    EXPECT_EQ(3, tags.data<LONG>()[0]);
    EXPECT_EQ(L"'b'", describe(keys.data<VARIANT>()[3]));
    EXPECT_EQ(1, tags.data<LONG>()[3]);
    for (size_t i = 1; i < 3; ++i)
        EXPECT_EQ(keys.data<VARIANT>()[i].vt == VT_BSTR && *keys.data<VARIANT>()[i].bstrVal == L'a' ? 2 : 4,
                  tags.data<LONG>()[i]);

    Array typed(longVector({3, -1, 2}));
    unique_variant typedHolder;
    typedHolder.vt = VT_BYREF | VT_ARRAY | VT_I4;
    typedHolder.pparray = typed.ref();
    ASSERT_EQ(S_OK, io->QuickSort(&typedHolder, nullptr, nullptr));
    EXPECT_EQ((Longs{-1, 2, 3}), longsOf(typed));
}

TEST_F(InputOutput, ObjectsMoveAsReferences) {
    ASSERT_TRUE(io);
    std::vector<ComPtr<IDispatch>> objects;
    for (int i = 0; i < 3; ++i) objects.push_back(createByProgId<IDispatch>(L"LARKLIB8.CDataStructures3"));
    Array keys(longVector({30, 10, 20}));
    SAFEARRAY* companion = SafeArrayCreateVector(VT_VARIANT, 0, 3);
    for (LONG i = 0; i < 3; ++i) {
        VARIANT& slot = static_cast<VARIANT*>(companion->pvData)[i];
        slot.vt = VT_DISPATCH;
        slot.pdispVal = objects[size_t(i)].get();
        slot.pdispVal->AddRef();
    }
    Array owned(companion);
    const ULONG references = referencesOf(objects[0].get());
    unique_variant keyHolder, companionHolder;
    keyHolder.vt = VT_BYREF | VT_ARRAY | VT_I4;
    keyHolder.pparray = keys.ref();
    companionHolder.vt = VT_BYREF | VT_ARRAY | VT_VARIANT;
    companionHolder.pparray = owned.ref();
    ASSERT_EQ(S_OK, io->QuickSortDouble(&keyHolder, &companionHolder, -1, -1));
    EXPECT_EQ((Longs{10, 20, 30}), longsOf(keys));
    const VARIANT* moved = owned.data<VARIANT>();
    EXPECT_EQ(objects[1].get(), moved[0].pdispVal);
    EXPECT_EQ(objects[2].get(), moved[1].pdispVal);
    EXPECT_EQ(objects[0].get(), moved[2].pdispVal);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(VT_DISPATCH, moved[i].vt);
    EXPECT_EQ(references, referencesOf(objects[0].get())) << "no reference taken or dropped";

    // An object as a key cannot be compared: the sort ends without an error, nothing lost.
    unique_variant one = vLong(1), two = vLong(2), object;
    object.vt = VT_DISPATCH;
    object.pdispVal = objects[0].get();
    object.pdispVal->AddRef();
    Array mixed(variantVector({&two, &object, &one}));
    unique_variant holder = vArray(mixed.array);
    EXPECT_EQ(S_OK, io->QuickSort(&holder, nullptr, nullptr));
    holder.vt = VT_EMPTY;
    int found = 0;
    for (size_t i = 0; i < 3; ++i) found += mixed.data<VARIANT>()[i].vt == VT_DISPATCH;
    EXPECT_EQ(1, found);
    EXPECT_EQ(references + 2, referencesOf(objects[0].get())) << "the array's reference and object's";
}

TEST_F(InputOutput, BadArraysAreTrappedSilently) {
    ASSERT_TRUE(io);
    Array none, strings(stringVector({L"b", L"a", L"c"}, 1)), longs(longVector({2, 1, 3}, 1));
    LONG left = -1, right = -1;
    EXPECT_EQ(S_OK, io->QuickSortString(none.ref(), &left, &right));
    EXPECT_EQ(-1, left) << "no bounds to write back";
    EXPECT_EQ(S_OK, io->QuickSortString(nullptr, &left, &right));
    EXPECT_EQ(S_OK, io->QuickSortStringDouble(strings.ref(), none.ref(), nullptr, nullptr));
    EXPECT_EQ(S_OK, io->QuickSortLongDouble(none.ref(), longs.ref(), -1, -1));
    EXPECT_EQ(S_OK, io->QuickSortStringLong(longs.ref(), longs.ref(), -1, -1)) << "a Long array as the key";
    EXPECT_EQ(S_OK, io->QuickSortStringLongLong(strings.ref(), longs.ref(), none.ref(), -1, -1));
    EXPECT_EQ(S_OK, io->QuickSortStringStringLongLong(strings.ref(), none.ref(), longs.ref(), longs.ref(), -1, -1));
    EXPECT_EQ(S_OK, io->QuickSortLongDouble(longs.ref(), longs.ref(), 0, 9)) << "a range beyond the array";
    SAFEARRAYBOUND square[2] = {{2, 0}, {2, 0}};
    Array matrix(SafeArrayCreate(VT_BSTR, 2, square));
    EXPECT_EQ(S_OK, io->QuickSortString(matrix.ref(), nullptr, nullptr));
    unique_variant text = vStr(L"not an array"), nullValue, empty;
    nullValue.vt = VT_NULL;
    EXPECT_EQ(S_OK, io->QuickSort(&text, nullptr, nullptr));
    EXPECT_EQ(S_OK, io->QuickSort(nullptr, nullptr, nullptr));
    EXPECT_EQ(S_OK, io->QuickSortDouble(&empty, &empty, -1, -1));

    // Null cannot be compared either.
    unique_variant three = vLong(3), one = vLong(1);
    Array withNull(variantVector({&three, &nullValue, &one}));
    unique_variant holder = vArray(withNull.array);
    EXPECT_EQ(S_OK, io->QuickSort(&holder, nullptr, nullptr));
    holder.vt = VT_EMPTY;

    // A short companion stops the sort at the first exchange it cannot take part in, here the
    // last one (4 and 5); every exchange before it moved both arrays.
    Array key(stringVector(names({2, 5, 3, 1, 4}, L"k"), 1)), companion(stringVector(names({2, 5, 3, 1}, L"v"), 1));
    EXPECT_EQ(S_OK, io->QuickSortStringDouble(key.ref(), companion.ref(), nullptr, nullptr));
    EXPECT_EQ(names({1, 2, 3, 5, 4}, L"k"), stringsOf(key));
    EXPECT_EQ(names({1, 2, 3, 5}, L"v"), stringsOf(companion));
}

TEST_F(InputOutput, TripleRaisesSubscriptOutOfRange) {
    ASSERT_TRUE(io);
    Array key(stringVector(names({5, 4, 3, 2, 1}, L"k"), 1)), one(stringVector(names({5, 4, 3, 2, 1}, L"v"), 1)),
        shortOne(stringVector(names({5, 4, 3}, L"w"), 1)), none;
    LONG left = -1, right = -1;
    EXPECT_EQ(kError9, io->QuickSortTriple(key.ref(), one.ref(), shortOne.ref(), &left, &right));
    EXPECT_EQ(L"Subscript out of range", lastError());
    EXPECT_EQ(5, right) << "the bounds were written before the error";
    EXPECT_EQ(kError9, io->QuickSortTriple(none.ref(), one.ref(), one.ref(), nullptr, nullptr));
    EXPECT_EQ(kError9, io->QuickSortTriple(key.ref(), none.ref(), one.ref(), nullptr, nullptr));

    unique_variant keyRef, oneRef, shortRef;
    keyRef.vt = oneRef.vt = shortRef.vt = VT_BYREF | VT_ARRAY | VT_BSTR;
    keyRef.pparray = key.ref();
    oneRef.pparray = one.ref();
    shortRef.pparray = shortOne.ref();
    Call call = invoke(late.get(), L"QuickSortTriple", {&keyRef, &oneRef, &shortRef});
    EXPECT_EQ(DISP_E_EXCEPTION, call.hr);
    EXPECT_EQ(kError9, call.exception.scode);
    EXPECT_EQ(L"Subscript out of range", call.description());
}

TEST_F(InputOutput, LateBoundByRefVariablesAndDefaults) {
    ASSERT_TRUE(late);
    // As a script calls it: Variant variables by reference, bounds written back to them.
    unique_variant b = vStr(L"b"), c = vStr(L"c"), a = vStr(L"a"), two = vLong(2), one = vLong(1);
    unique_variant arr = vArray(variantVector({&c, &a, &b}, 0)), left = vShort(-1), right = vShort(-1);
    unique_variant arrRef = vRef(&arr), leftRef = vRef(&left), rightRef = vRef(&right);
    ASSERT_EQ(S_OK, invoke(late.get(), L"QuickSort", {&arrRef, &leftRef, &rightRef}).hr);
    EXPECT_EQ((Strings{L"'a'", L"'b'", L"'c'"}), describeAll(arr.parray));
    ASSERT_EQ(S_OK, VariantChangeType(&left, &left, 0, VT_I4));
    ASSERT_EQ(S_OK, VariantChangeType(&right, &right, 0, VT_I4));
    EXPECT_EQ(0, left.lVal);
    EXPECT_EQ(2, right.lVal);

    // A Variant array to a String array parameter: converted, sorted, written back.
    unique_variant names = vArray(variantVector({&c, &b, &a}, 1)), sizes = vArray(variantVector({&two, &one, &two}, 1));
    unique_variant namesRef = vRef(&names), sizesRef = vRef(&sizes), lower = vLong(-1);
    unique_variant lowerRef = vRef(&lower);
    ASSERT_EQ(S_OK, invoke(late.get(), L"QuickSortString", {&namesRef, &lowerRef}).hr) << "lngRight omitted";
    EXPECT_EQ(1, lower.lVal);
    EXPECT_EQ(1, lowerBound(names.parray));
    EXPECT_EQ((Strings{L"'a'", L"'b'", L"'c'"}), describeAll(names.parray));

    // Omitted and named bounds behave as -1 and as given.
    unique_variant reversed = vArray(variantVector({&c, &b, &a}, 1));
    unique_variant reversedRef = vRef(&reversed), rightTwo = vLong(2);
    ASSERT_EQ(S_OK, invoke(late.get(), L"QuickSortStringLong", {&reversedRef, &sizesRef}, {{L"LNGRIGHT", &rightTwo}}).hr);
    EXPECT_EQ((Strings{L"'b'", L"'c'", L"'a'"}), describeAll(reversed.parray));
    EXPECT_EQ((Strings{L"1", L"2", L"2"}), describeAll(sizes.parray));
    ASSERT_EQ(S_OK, invoke(late.get(), L"QuickSortStringLong", {&reversedRef, &sizesRef}).hr);
    EXPECT_EQ((Strings{L"'a'", L"'b'", L"'c'"}), describeAll(reversed.parray));
    EXPECT_EQ((Strings{L"2", L"1", L"2"}), describeAll(sizes.parray));

    Array keys(longVector({3, 1, 2})), values(longVector({30, 10, 20}));
    unique_variant keysRef, valuesRef;
    keysRef.vt = valuesRef.vt = VT_BYREF | VT_ARRAY | VT_I4;
    keysRef.pparray = keys.ref();
    valuesRef.pparray = values.ref();
    ASSERT_EQ(S_OK, invoke(late.get(), L"quicksortlongdouble", {&keysRef, &valuesRef}).hr);
    EXPECT_EQ((Longs{1, 2, 3}), longsOf(keys));
    EXPECT_EQ((Longs{10, 20, 30}), longsOf(values));

    // A missing array is trapped as through the dual interface.
    unique_variant nothing;
    unique_variant nothingRef = vRef(&nothing);
    EXPECT_EQ(S_OK, invoke(late.get(), L"QuickSort", {&nothingRef}).hr);
}

TEST_F(InputOutput, MillionLongsSortThroughCom) {
    ASSERT_TRUE(io);
    const LONG n = 1'000'000;
    Array key(SafeArrayCreateVector(VT_I4, 1, n)), values(SafeArrayCreateVector(VT_I4, 1, n));
    for (auto [label, step] : {std::pair{"sorted", 1}, std::pair{"reversed", -1}}) {
        for (LONG i = 0; i < n; ++i) {
            key.data<LONG>()[i] = step > 0 ? i : n - i;
            values.data<LONG>()[i] = -key.data<LONG>()[i];
        }
        ASSERT_EQ(S_OK, io->QuickSortLongDouble(key.ref(), values.ref(), -1, -1)) << label;
        EXPECT_TRUE(std::is_sorted(key.data<LONG>(), key.data<LONG>() + n)) << label;
        for (LONG i = 0; i < n; i += 997) ASSERT_EQ(-key.data<LONG>()[i], values.data<LONG>()[i]) << label;
    }
}

}  // namespace
}  // namespace lark::test
