// CDataStructures3, CCommandLine and CServicesInputOutput as clients call them: members wired to
// their rules (tested on the host), bounds, error policies, ByRef write-back, hostile input.
#include "support.hpp"

namespace lark::test {
namespace {

TEST(DataStructures, SearchCompareAndEdit) {
    Cases().run(R"(
both CDataStructures3.lrkInstr 1, 'aXc', 'x', 1                 => Long 2
CDataStructures3.lrkInstr -3, 'aXc', 'x', 1                     => Long -1
CDataStructures3.lrkInstr 0, 'abc', 'b', 0                      => error 5 MDataStructures.lrkInstr
CDataStructures3.lrkInstrRev 'abcabc', 'bc', -1, 1              => Long 5
CDataStructures3.lrkInstrRev 'abcABC', 'ABC'                    => Long 4
CDataStructures3.lrkInstrRev 'abcABC', 'abc', Compare:=0        => Long 1
CDataStructures3.lrkInstrRev 'abcABC', 'abc', compare:=1, StartPos:=3 => Long 1
CDataStructures3.lrkInstrRev 'abc', 'b', -2, 0                  => error 5 MDataStructures.lrkInstrRev
CDataStructures3.lrkInChar 3, 'a,b,c', 44, 0                    => Long 4
CDataStructures3.lrkInChar 0, 'abc', 98, 0                      => Long -1
CDataStructures3.lrkInCharRev 'a,b,c', 44, 0, 3                 => Long 2
CDataStructures3.QuickMid 'a,b,c', 3, 1                         => Integer 66
CDataStructures3.lrkMidAscW 'a' & ChrW(65535), 2                => Integer -1
CDataStructures3.IsEqualString 'abc', 'ABC', 1                  => Boolean True
CDataStructures3.CompareStrings 'abc', 'ABD'                    => Long -1
CDataStructures3.CompareStrings 'ABC', 'abc'                    => Long 0
both CDataStructures3.lrkReplaceChar 1, @'Aa-a', 97, 120, 1     => Empty; 'xx-x'
both CDataStructures3.StripQuotes @'"abc"'                      => Empty; 'abc'
CDataStructures3.StripQuotes @CLng(-42)                         => Empty; '-42'
CDataStructures3.StripQuotes @!'"typed"'                        => Empty; 'typed'
both CDataStructures3.StripQuotes @'"'                          => error 5 LARKLIB8; '"'
CDataStructures3.lrkInstr 1, String(4194301, 'a') & 'xyz', 'XYZ', 1 => Long 4194302
CDataStructures3.lrkReplaceChar 1, @String(16383, 'a'), 97, 98, 0 => Empty; String(16383, 'b')
CDataStructures3.lrkReplaceChar 1, @String(16384, 'a'), 97, 98, 0 => Empty; String(16384, 'a')
a = CDataStructures3.lrkJoinCollections Nothing, Nothing        => Object _Collection[]
a.Add 1                                                         => Empty
a.Add 'two'                                                     => Empty
b = CDataStructures3.lrkJoinCollections a, a                    => Object _Collection[Long 1|'two'|Long 1|'two']
CDataStructures3.lrkJoinCollections a, Nothing                  => Object _Collection[Long 1|'two']
CDataStructures3.lrkJoinCollections Nothing, b                  => Object _Collection[]
CDataStructures3.lrkJoinCollections a, CDataStructures3         => Object _Collection[Long 1|'two']
)");
}

TEST(DataStructures, ArraysAndMissingStrings) {
    Cases().run(R"(
both CDataStructures3.FastTokenize ',,a,b,,', 44, 1, 0          => String(0 To 1)['a'|'b']
CDataStructures3.FastTokenize ',,,', 44, -1, 0                  => String()
CDataStructures3.FastSplit2 '"x,y",z', 44, -1, 0, True          => String(0 To 1)['x,y'|'z']
CDataStructures3.FastSplit2 '"x,y",z', 44                       => String(0 To 2)['"x'|'y"'|'z']
CDataStructures3.FastSplit2 '"', 44, -1, 0, True                => String()
both CDataStructures3.TrimStringVector @String(5 To 8)[' a '|''|'  '|'b'] => Boolean True; String(5 To 6)['a'|'b']
both CDataStructures3.TrimStringVector @String(3 To 4)['  '|'']  => Boolean True; String(3 To 2)[]
CDataStructures3.TrimStringVector @Array(' a ', '  ', 'b ')     => Boolean True; Variant(0 To 1)['a'|'b']
# Named arguments take the frame's general path, not its member tables.
CDataStructures3.TrimStringVector strArray:=@Array(' a ', 'b ') => Boolean True; Variant(0 To 1)['a'|'b']
get CDataStructures3.lrkInstrRev StringCheck:='abc', StringMatch:='b' => Long 2
CDataStructures3.TrimStringVector @String()                     => Boolean False; String()
CDataStructures3.TrimStringVector @String(0 To 1, 1 To 3)['a'|'b'|'c'|'d'|'e'|'f'] => Boolean False; String(0 To 1, 1 To 3)['a'|'b'|'c'|'d'|'e'|'f']
CDataStructures3.ValidateStringVector @String(5 To 6)['a'|'b'], 2 => Boolean True; String(5 To 6)['a'|'b']
both CDataStructures3.ValidateStringVector @String(5 To 6)['a'|'b'], @4 => Boolean False; String(5 To 6)['a'|'b']; Long 4
CDataStructures3.ArrayDims Long(0 To 1, 1 To 3)[1|2|3|4|5|6]    => Integer 2
CDataStructures3.ArrayDims @String(0 To 0)['a']                 => Integer 1; String(0 To 0)['a']
CDataStructures3.ArrayDims @!String(0 To 0)['a']                => Integer 1; String(0 To 0)['a']
CDataStructures3.ArrayDims @!String()                           => Integer 0; String()
CDataStructures3.ArrayDims 7                                    => Integer 0
both CDataStructures3.lrkInstrRev 'abc', vbNullString, -1, 0    => Long 3
both CDataStructures3.FastTokenize vbNullString, 44, -1, 0      => String()
both CDataStructures3.CompareStrings vbNullString, ''           => Long 0
both CDataStructures3.StripQuotes @vbNullString                 => Empty; ''
)");
}

// What only a compiled client passes or sees: the identity of its string, null pointers.
TEST(Text, CompiledClients) {
    auto ds = createByProgId<_CDataStructures3>(L"LARKLIB8.CDataStructures3");
    auto cl = createByProgId<_CCommandLine>(L"LARKLIB8.CCommandLine");
    auto io = createByProgId<_CServicesInputOutput>(L"LARKLIB8.CServicesInputOutput");
    BSTR abc = SysAllocString(L"abc"), before = abc;
    EXPECT_EQ(S_OK, ds->lrkReplaceChar(1, &abc, 97, 98, vbBinaryCompare));
    EXPECT_EQ(before, abc);
    SAFEARRAY *none = nullptr, *two = SafeArrayCreateVector(VT_BSTR, 0, 2);
    short dims = 0;
    VARIANT_BOOL ok = 0;
    EXPECT_EQ(E_POINTER, ds->lrkInstr(1, &abc, &abc, vbBinaryCompare, nullptr));
    EXPECT_EQ(E_POINTER, ds->FastTokenize(&abc, 44, -1, vbBinaryCompare, nullptr));
    EXPECT_EQ(E_POINTER, ds->TrimStringVector(&none, nullptr));
    EXPECT_EQ(E_POINTER, ds->CompareStrings(&abc, &abc, nullptr));
    EXPECT_EQ(E_POINTER, cl->get_ParameterCount(nullptr));
    EXPECT_EQ(E_POINTER, cl->get_Malformed(nullptr));
    EXPECT_EQ(E_POINTER, cl->get_Parameter(1, nullptr));
    EXPECT_EQ(S_OK, ds->lrkReplaceChar(1, nullptr, 97, 98, vbBinaryCompare));
    EXPECT_EQ(S_OK, ds->ArrayDims(nullptr, &dims));
    EXPECT_EQ(S_OK, ds->ValidateStringVector(nullptr, nullptr, &ok));
    EXPECT_EQ(S_OK, io->QuickSortString(&two, nullptr, nullptr));
    EXPECT_EQ(S_OK, io->QuickSortString(nullptr, nullptr, nullptr));
    EXPECT_EQ(S_OK, io->QuickSort(nullptr, nullptr, nullptr));
    EXPECT_EQ(HRESULT(0x800A0005), ds->StripQuotes(nullptr));
    EXPECT_EQ(HRESULT(0x800A0005), ds->NameFromIID(nullptr, VARIANT_FALSE, &abc));
    SAFEARRAY* longs = SafeArrayCreateVector(VT_I4, 0, 2);  // not the strings declared: left alone
    static_cast<LONG*>(longs->pvData)[0] = 2, ok = VARIANT_TRUE;
    EXPECT_EQ(S_OK, ds->TrimStringVector(&longs, &ok));
    EXPECT_EQ(S_OK, io->QuickSortStringLong(&longs, &longs));
    EXPECT_EQ(std::pair(VARIANT_BOOL(VARIANT_FALSE), 2L), std::pair(ok, static_cast<LONG*>(longs->pvData)[0]));
    // Token counts go past 16 bits.
    Cases c;
    c.outcome("t = CDataStructures3.FastTokenize String(2097152, 'a '), 32");
    EXPECT_EQ(2097152u, c.value("t").parray ? c.value("t").parray->rgsabound[0].cElements : 0);
}

// A read-only table of 8,192 entries, bytes before memory that cannot be read, a task allocator buffer.
TEST(DataHelpers, WordsMemoryAndNames) {
    const size_t k64 = 65536;
    auto* region = static_cast<char*>(VirtualAlloc(nullptr, 3 * k64, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    std::fill_n(reinterpret_cast<LONG_PTR*>(region), 8192, 77);
    region[2 * k64 - 4] = '\x80';
    DWORD previous = 0;
    VirtualProtect(region, 2 * k64, PAGE_READONLY, &previous);
    VirtualProtect(region + 2 * k64, k64, PAGE_NOACCESS, &previous);
    const std::string big(32000, 'x');
    auto* owned = wcscpy(static_cast<wchar_t*>(CoTaskMemAlloc(16)), L"owned");
    const void *table = region, *unreadable = region + 2 * k64;
    Cases c;
    c.letAddress("tail", region + 2 * k64 - 4);
    c.letAddress("big", big.data());
    c.letAddress("owned", owned);
    c.letAddress("table", &table);
    c.letAddress("bad", &unreadable);
    c.run(R"(
CDataStructures3.HiWord -65536                          => Integer -1
CDataStructures3.LoWord 65535                           => Integer -1
CDataStructures3.LOBYTE 511                             => Byte 255
CDataStructures3.PackWords -1, 1                        => Long 131071
both CDataStructures3.GetAddress CLngLng('1311768467463790320') => LongLong 1311768467463790320
both CDataStructures3.RetainedStrFromPtrA big, 3        => 'xxx'
CDataStructures3.RetainedStrFromPtrA big                => String(32000, 'x')
CDataStructures3.FixedLenStrFromPtrA tail, 4            => ChrW(8364) & vbNullChar & vbNullChar & vbNullChar
CDataStructures3.FixedLenStrFromPtrA tail, 1            => ChrW(8364)
CDataStructures3.FixedLenStrFromPtrA tail, 5            => error 5 LARKLIB8
CDataStructures3.FixedLenStrFromPtrA big, 31999         => String(31999, 'x')
CDataStructures3.FixedLenStrFromPtrA big, 32000         => ''
CDataStructures3.RetainedStrFromPtrW tail               => ChrW(128)
CDataStructures3.FixedLenStrFromPtrW tail, 2            => ChrW(128) & vbNullChar
CDataStructures3.FixedLenStrFromPtrW tail, 3            => error 5 LARKLIB8
CDataStructures3.StrFromPtrW owned                      => 'owned'
CDataStructures3.StrFromPtrW 0                          => ''
CDataStructures3.StrFromPtrW tail                       => error 5 LARKLIB8
CDataStructures3.SwapVtableEntry table, 8192, 78        => LongLong 77
CDataStructures3.SwapVtableEntry table, 8192, 0         => LongLong 78
CDataStructures3.SwapVtableEntry table, 8193, 0         => error 6 LARKLIB8
CDataStructures3.SwapVtableEntry table, 0, 0            => error 5 LARKLIB8
CDataStructures3.SwapVtableEntry 0, 1, 0                => error 5 LARKLIB8
CDataStructures3.SwapVtableEntry bad, 1, 0              => error 5 LARKLIB8
)");
    VirtualFree(region, 0, MEM_RELEASE);
    ComPtr<IMalloc> allocator;
    ASSERT_EQ(S_OK, CoGetMalloc(1, allocator.put()));
    EXPECT_EQ(0, allocator->DidAlloc(owned)) << "the buffer went back to the allocator";
    wchar_t message[256] = {};
    ASSERT_NE(0u, FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, 2, 0, message,
                                 256, nullptr));
    c.let("message", message);
    EXPECT_EQ(show(c.value("message")), c.outcome("CDataStructures3.WinAPIError 2"));

    auto ds = createByProgId<_CDataStructures3>(L"LARKLIB8.CDataStructures3");
    BSTR name[3] = {};
    EXPECT_EQ(S_OK, ds->NameFromIID(const_cast<GUID*>(&CLSID_CXMLFile), VARIANT_FALSE, &name[0]));
    EXPECT_EQ(S_OK, ds->NameFromIID(const_cast<GUID*>(&IID_IProvideClassInfo), VARIANT_FALSE, &name[1]));
    EXPECT_EQ(S_OK, ds->NameFromIID(const_cast<GUID*>(&IID_IProvideClassInfo), VARIANT_TRUE, &name[2]));
    EXPECT_EQ(L"  CLSID=LARKLIB8.CXMLFile  ProgID=LARKLIB8.CXMLFile", str(name[0]).substr(38));  // after the GUID
    EXPECT_EQ(L"IProvideClassInfo", str(name[1]));
    EXPECT_EQ(L"", str(name[2]));
}

// Parameters and the sticky flag; each sort with its companions (one left behind shows as a wrong
// pairing); what a sort cannot sort is trapped and left as it was, but QuickSortTriple raises.
TEST(Text, CommandLineAndSorts) {
    Cases().run(R"(
CCommandLine.CommandLine = 'a "b c"'                    => Empty
CCommandLine.ParameterCount                             => Long 2
CCommandLine.Parameter 2                                => 'b c'
CCommandLine.Parameter 3                                => Empty
CCommandLine.Parameter 0                                => Empty
CCommandLine.Malformed                                  => Boolean False
CCommandLine.CommandLine = 'x "abc'                     => Empty
CCommandLine.Malformed                                  => Boolean True
CCommandLine.CommandLine = 'a'                          => Empty
CCommandLine.Malformed                                  => Boolean True
both CServicesInputOutput.QuickSortString @String(1 To 3)['b'|'C'|'a'], @-1, @-1 => Empty; String(1 To 3)['a'|'b'|'C']; Long 1; Long 3
both CServicesInputOutput.QuickSortStringDouble @String(3 To 4)['b'|'a'], @String(3 To 4)['B'|'A'], @-1, @-1 => Empty; String(3 To 4)['a'|'b']; String(3 To 4)['A'|'B']; Long 3; Long 4
both CServicesInputOutput.QuickSortStringLong @String(0 To 1)['b'|'a'], @Long(0 To 1)[2|1] => Empty; String(0 To 1)['a'|'b']; Long(0 To 1)[Long 1|Long 2]
CServicesInputOutput.QuickSortStringLongLong @String(0 To 1)['b'|'a'], @Long(0 To 1)[2|1], @Long(0 To 1)[20|10] => Empty; String(0 To 1)['a'|'b']; Long(0 To 1)[Long 1|Long 2]; Long(0 To 1)[Long 10|Long 20]
CServicesInputOutput.QuickSortStringStringLongLong @String(0 To 1)['b'|'a'], @String(0 To 1)['B'|'A'], @Long(0 To 1)[2|1], @Long(0 To 1)[20|10] => Empty; String(0 To 1)['a'|'b']; String(0 To 1)['A'|'B']; Long(0 To 1)[Long 1|Long 2]; Long(0 To 1)[Long 10|Long 20]
both CServicesInputOutput.QuickSortTriple @String(0 To 1)['b'|'a'], @String(0 To 1)['B'|'A'], @String(0 To 1)['2'|'1'], @-1, @-1 => Empty; String(0 To 1)['a'|'b']; String(0 To 1)['A'|'B']; String(0 To 1)['1'|'2']; Long 0; Long 1
both CServicesInputOutput.QuickSortLongDouble @Long(0 To 1)[3|-5], @Long(0 To 1)[30|50] => Empty; Long(0 To 1)[Long -5|Long 3]; Long(0 To 1)[Long 50|Long 30]
CServicesInputOutput.QuickSortLongDouble @Long(1 To 4)[4|3|2|1], @Long(1 To 4)[40|30|20|10], 2, 3 => Empty; Long(1 To 4)[Long 4|Long 2|Long 3|Long 1]; Long(1 To 4)[Long 40|Long 20|Long 30|Long 10]
CServicesInputOutput.QuickSortTriple @String(1 To 1)['x'], @String(), @String(), @-1, @-1 => Empty; String(1 To 1)['x']; String(); String(); Long 1; Long 1
CServicesInputOutput.QuickSort @Variant(2 To 8)[10|2.5|'b'|'A'|CInt(-3)|'10'|Empty], @-1, @-1 => Empty; Variant(2 To 8)[Integer -3|Empty|Double 2.5|Long 10|'10'|'A'|'b']; Long 2; Long 8
CServicesInputOutput.QuickSort @!Long(0 To 2)[3|-1|2]   => Empty; Long(0 To 2)[Long -1|Long 2|Long 3]
both CDataStructures3.RefCount Nothing                  => Long 0
CServicesInputOutput.QuickSortDouble @Long(0 To 1)[20|10], @Array(CDataStructures3, CServicesInputOutput) => Empty; Long(0 To 1)[Long 10|Long 20]; Variant(0 To 1)[Object _CServicesInputOutput|Object _CDataStructures3]
CServicesInputOutput.QuickSort @Array(2, CDataStructures3, 1) => Empty; Variant(0 To 2)[Long 2|Object _CDataStructures3|Long 1]
CDataStructures3.RefCount @CServicesInputOutput         => Long 1; Object _CServicesInputOutput

CServicesInputOutput.QuickSortString @String(), @-1, @-1 => Empty; String(); Long -1; Long -1
CServicesInputOutput.QuickSortLongDouble @Long(), @Long(0 To 1)[2|1] => Empty; Long(); Long(0 To 1)[Long 2|Long 1]
CServicesInputOutput.QuickSortStringLongLong @String(0 To 1)['b'|'a'], @Long(0 To 1)[2|1], @Long() => Empty; String(0 To 1)['b'|'a']; Long(0 To 1)[Long 2|Long 1]; Long()
CServicesInputOutput.QuickSortStringStringLongLong @String(0 To 1)['b'|'a'], @String(), @Long(0 To 1)[2|1], @Long(0 To 1)[2|1] => Empty; String(0 To 1)['b'|'a']; String(); Long(0 To 1)[Long 2|Long 1]; Long(0 To 1)[Long 2|Long 1]
CServicesInputOutput.QuickSort @'not an array'          => Empty; 'not an array'
CServicesInputOutput.QuickSortDouble Empty, Empty       => Empty
CServicesInputOutput.QuickSortStringDouble @String(1 To 5)['b'|'e'|'c'|'a'|'d'], @String(1 To 4)['B'|'E'|'C'|'A'] => Empty; String(1 To 5)['a'|'b'|'c'|'e'|'d']; String(1 To 4)['A'|'B'|'C'|'E']
both CServicesInputOutput.QuickSortTriple @String(1 To 3)['c'|'b'|'a'], @String(1 To 3)['C'|'B'|'A'], @String(1 To 2)['3'|'2'], @-1, @-1 => error 9 LARKLIB8; String(1 To 3)['c'|'b'|'a']; String(1 To 3)['C'|'B'|'A']; String(1 To 2)['3'|'2']; Long 1; Long 3
)");
}

}  // namespace
}  // namespace lark::test
