// The Collection that members hand out: keys, positions, errors and enumeration, called
// late-bound as scripts do and through its interface as compiled clients do.
#include "com_support.hpp"

namespace lark::test {
namespace {

class CollectionTest : public testing::Test {
protected:
    void SetUp() override {
        ds_ = createByProgId<_CDataStructures3>(L"LARKLIB8.CDataStructures3");
        ASSERT_TRUE(ds_);
        ASSERT_EQ(S_OK, ds_->lrkJoinCollections(nullptr, nullptr, collection_.put()));
        ASSERT_TRUE(collection_);
        dispatch_ = collection_.query<IDispatch>();
        ASSERT_TRUE(dispatch_);
    }

    void add(const wchar_t* item, const wchar_t* key = nullptr) {
        unique_variant v = vStr(item), k = key ? vStr(key) : unique_variant();
        Call call = key ? invoke(dispatch_.get(), L"Add", {&v, &k}) : invoke(dispatch_.get(), L"Add", {&v});
        ASSERT_EQ(S_OK, call.hr) << call.description();
    }

    // The items in order, read with For Each's enumerator.
    std::vector<std::wstring> items() {
        DISPPARAMS none{};
        unique_variant result;
        EXPECT_EQ(S_OK, dispatch_->Invoke(DISPID_NEWENUM, IID_NULL, 0, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                                          &none, &result, nullptr, nullptr));
        std::vector<std::wstring> out;
        if (result.vt != VT_UNKNOWN && result.vt != VT_DISPATCH) return out;
        ComPtr<IEnumVARIANT> e = ComPtr<IUnknown>(result.punkVal).query<IEnumVARIANT>();
        EXPECT_TRUE(e);
        unique_variant item;
        ULONG fetched = 0;
        while (e && e->Next(1, &item, &fetched) == S_OK && fetched == 1) {
            out.push_back(item.vt == VT_BSTR ? str(item.bstrVal) : L"?");
            item.clear();
        }
        return out;
    }

    ComPtr<_CDataStructures3> ds_;
    ComPtr<_Collection> collection_;
    ComPtr<IDispatch> dispatch_;
};

using Items = std::vector<std::wstring>;

TEST_F(CollectionTest, AddItemRemoveByPositionAndKey) {
    add(L"b", L"kb");
    add(L"d", L"kd");
    unique_variant a = vStr(L"a"), c = vStr(L"c"), e = vStr(L"e"), one = vLong(1), keyB = vStr(L"KB");
    unique_variant keyE = vStr(L"ke"), four = vLong(4), two = vLong(2), keyD = vStr(L"kD");
    EXPECT_EQ(S_OK, invoke(dispatch_.get(), L"add", {&a}, {{L"before", &one}}).hr);
    EXPECT_EQ(S_OK, invoke(dispatch_.get(), L"Add", {&c}, {{L"After", &keyB}}).hr);
    EXPECT_EQ(S_OK, invoke(dispatch_.get(), L"Add", {&e}, {{L"Key", &keyE}, {L"After", &four}}).hr);
    EXPECT_EQ((Items{L"a", L"b", L"c", L"d", L"e"}), items());

    // Item by position is the default member; keys ignore case.
    DISPPARAMS byPosition{&two, nullptr, 1, 0};
    unique_variant result;
    ASSERT_EQ(S_OK, dispatch_->Invoke(DISPID_VALUE, IID_NULL, 0, DISPATCH_PROPERTYGET, &byPosition, &result,
                                      nullptr, nullptr));
    EXPECT_EQ(L"b", str(result.bstrVal));
    result.clear();
    ASSERT_EQ(S_OK, collection_->Item(&keyD, &result));
    EXPECT_EQ(L"d", str(result.bstrVal));

    EXPECT_EQ(S_OK, invoke(dispatch_.get(), L"Remove", {&keyB}).hr);
    EXPECT_EQ(S_OK, collection_->Remove(&one));
    EXPECT_EQ((Items{L"c", L"d", L"e"}), items());
    unique_variant keyA = vStr(L"KB");
    EXPECT_EQ(S_OK, collection_->Add(&a, &keyA, nullptr, nullptr)) << "a removed key can be used again";
    LONG count = 0;
    EXPECT_EQ(S_OK, collection_->Count(&count));
    EXPECT_EQ(4, count);
}

TEST_F(CollectionTest, ErrorsFollowTheCollectionConventions) {
    add(L"x", L"key");
    unique_variant y = vStr(L"y"), sameKey = vStr(L"KEY"), zero = vLong(0), two = vLong(2), missing = vStr(L"nope"),
                   one = vLong(1);
    Call duplicate = invoke(dispatch_.get(), L"Add", {&y, &sameKey});
    EXPECT_EQ(DISP_E_EXCEPTION, duplicate.hr);
    EXPECT_EQ(vbError(457), duplicate.exception.scode);
    unique_variant result;
    EXPECT_EQ(vbError(9), collection_->Item(&zero, &result));
    EXPECT_EQ(vbError(9), collection_->Item(&two, &result));
    EXPECT_EQ(vbError(5), collection_->Item(&missing, &result));
    EXPECT_EQ(vbError(5), collection_->Add(&y, nullptr, &one, &one)) << "Before and After together";
    EXPECT_EQ(vbError(9), collection_->Remove(&two));
    LONG count = 0;
    collection_->Count(&count);
    EXPECT_EQ(1, count) << "failed calls leave the collection alone";
}

TEST_F(CollectionTest, EnumeratorSkipsResetsAndClones) {
    for (const wchar_t* s : {L"a", L"b", L"c"}) add(s);
    ComPtr<IUnknown> unknown;
    ASSERT_EQ(S_OK, collection_->_NewEnum(unknown.put()));
    ComPtr<IEnumVARIANT> e = unknown.query<IEnumVARIANT>();
    ASSERT_TRUE(e);
    EXPECT_EQ(S_OK, e->Skip(1));
    ComPtr<IEnumVARIANT> clone;
    ASSERT_EQ(S_OK, e->Clone(clone.put()));
    VARIANT batch[3];
    ULONG fetched = 0;
    EXPECT_EQ(S_FALSE, clone->Next(3, batch, &fetched));
    ASSERT_EQ(2u, fetched);
    EXPECT_EQ(L"b", str(batch[0].bstrVal));
    EXPECT_EQ(L"c", str(batch[1].bstrVal));
    VariantClear(&batch[0]);
    VariantClear(&batch[1]);
    EXPECT_EQ(S_OK, e->Reset());
    EXPECT_EQ(S_OK, e->Next(1, batch, &fetched));
    EXPECT_EQ(L"a", str(batch[0].bstrVal));
    VariantClear(&batch[0]);

    add(L"d");
    EXPECT_EQ((Items{L"a", L"b", L"c", L"d"}), items()) << "a new enumerator sees the new item";
}

TEST_F(CollectionTest, HoldsObjectsByReference) {
    unique_variant object;
    object.vt = VT_DISPATCH;
    object.pdispVal = ds_.query<IDispatch>().detach();
    ASSERT_EQ(S_OK, collection_->Add(&object, nullptr, nullptr, nullptr));
    unique_variant one = vLong(1), result;
    ASSERT_EQ(S_OK, collection_->Item(&one, &result));
    ASSERT_EQ(VT_DISPATCH, result.vt);
    EXPECT_EQ(object.pdispVal, result.pdispVal);
}

}  // namespace
}  // namespace lark::test
