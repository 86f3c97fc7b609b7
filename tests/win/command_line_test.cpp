// CCommandLine through _CCommandLine: the sticky Malformed flag, Parameter's Empty answers, and
// odd strings. The quoting rules are covered on the host by the native command_line_test, late
// binding by the command_line script.
#include "com_support.hpp"

#include <climits>

namespace lark::test {
namespace {

class CommandLine : public testing::Test {
protected:
    ComPtr<_CCommandLine> cl = createByProgId<_CCommandLine>(L"LARKLIB8.CCommandLine");

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

TEST_F(CommandLine, ParametersEmptyIndicesAndTheStickyFlag) {
    ASSERT_TRUE(cl);
    EXPECT_EQ(0, count());
    EXPECT_FALSE(malformed());
    EXPECT_EQ(L"<empty>", parameter(1));
    assign(L"  x a\"b \"c d\"e  ");
    ASSERT_EQ(4, count());
    EXPECT_FALSE(malformed());
    for (auto [index, text] : {std::pair{1, L"x"}, {2, L"a\"b"}, {3, L"c d"}, {4, L"e"}})
        EXPECT_EQ(text, parameter(index));
    for (LONG index : {0L, -1L, 5L, 100L, 101L, LONG_MIN, LONG_MAX}) EXPECT_EQ(L"<empty>", parameter(index)) << index;

    // Each assignment replaces the parameters; Malformed stays set for the instance's life.
    assign(L"x \"abc");
    EXPECT_EQ(1, count());
    EXPECT_TRUE(malformed());
    assign(L"\"\"");
    ASSERT_EQ(1, count());
    EXPECT_EQ(L"", parameter(1));
    EXPECT_EQ(L"<empty>", parameter(2));
    EXPECT_TRUE(malformed());
    ComPtr<_CCommandLine> other = createByProgId<_CCommandLine>(L"LARKLIB8.CCommandLine");
    ASSERT_TRUE(other);
    VARIANT_BOOL b = VARIANT_TRUE;
    EXPECT_EQ(S_OK, other->put_CommandLine(bstr(L"a b").get()));
    EXPECT_EQ(S_OK, other->get_Malformed(&b));
    EXPECT_EQ(VARIANT_FALSE, b);
}

TEST_F(CommandLine, LongLinesNullAndOddStrings) {
    ASSERT_TRUE(cl);
    assign((L"a " + std::wstring(40000, L'b')).c_str());
    EXPECT_EQ(40000u, parameter(2).size());
    EXPECT_EQ(S_OK, cl->put_CommandLine(nullptr));
    EXPECT_EQ(0, count());
    EXPECT_EQ(L"<empty>", parameter(1));
    // A BSTR carries its length: an embedded NUL is an ordinary character.
    unique_bstr withNul(SysAllocStringLen(L"a\0b c", 5));
    EXPECT_EQ(S_OK, cl->put_CommandLine(withNul.get()));
    ASSERT_EQ(2, count());
    EXPECT_EQ(std::wstring(L"a\0b", 3), parameter(1));
    EXPECT_EQ(E_POINTER, cl->get_ParameterCount(nullptr));
    EXPECT_EQ(E_POINTER, cl->get_Malformed(nullptr));
    EXPECT_EQ(E_POINTER, cl->get_Parameter(1, nullptr));
}

}  // namespace
}  // namespace lark::test
