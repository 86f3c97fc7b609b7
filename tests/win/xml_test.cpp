// CXMLFile and CXMLElement as their clients call them: files in the ANSI code page written, read,
// edited and written back, ByRef write-back, elements, error policies. Text rules: tests/native.
#include "support.hpp"

namespace lark::test {
namespace {

TEST(XmlFile, WrittenReadAndEditedInPlace) {
    Sandbox box;
    Cases c;
    c.let("P", box.path(L"ex.xml"));
    c.run(R"(
CXMLFile.WriteOpenTag 't'                          => error 52 LARKLIB8
CXMLFile.Indent                                    => Long 0
CXMLFile.OpenXMLFileForWriting 'C:\no\such\x.xml'  => Boolean False
CXMLFile.OpenXMLFileForWriting P                   => Boolean True
CXMLFile.Filename                                  => 'ex.xml'
CXMLFile.IndentIncrement                           => Long 3
CXMLFile.WriteAnnouncementTag                      => Empty
CXMLFile.WriteOpenTag @'Settings'                  => Empty; 'Settings'
early CXMLFile.WriteProperty @!'Left', @!'10'      => Empty; 'Left'; '10'
CXMLFile.WriteOpenTag 'Recent'                     => Empty
CXMLFile.WriteProperty 'File', 'a.txt'             => Empty
CXMLFile.WriteCloseTag 'Recent'                    => Empty
CXMLFile.WriteCloseTag 'Settings'                  => Empty
CXMLFile.WriteCloseTag 'x'                         => error 5 LARKLIB8
CXMLFile.Indent                                    => Long -3
CXMLFile.Indent = 2                                => Empty
CXMLFile.WriteProperty 'a', 'x<y>' & vbCrLf & ChrW(233) & ChrW(8364) => Empty
)");
    EXPECT_EQ(L"'" + box.path(L"ex.xml") + L"'", c.outcome("CXMLFile.FilePath"));
    c.run(R"(
CXMLFile.CloseXMLFile 8                            => Boolean False
CXMLFile.FilePath                                  => ''
CXMLFile.Filename                                  => ''
CXMLFile.WriteProperty 'b', ''                     => Empty
CXMLFile.CloseXMLFile 2                            => Boolean True
CXMLFile.OpenXMLFileForWriting P & '2'             => Boolean True
CXMLFile.Indent                                    => Long 0
CXMLFile.OpenXMLFileForReading P                   => Boolean True
CXMLFile.ReadWithinTags 'RECENT'                   => Boolean True
CXMLFile.AppendTextWithinTag '<FILE>b.txt</FILE>'  => Boolean True
CXMLFile.ReWrite                                   => Boolean True
CXMLFile.OpenXMLFileForReading P                   => Boolean True
CXMLFile.ReadWithinTags 'RECENT'                   => Boolean True
CXMLFile.CountTags 'FILE'                          => Long 2
CXMLFile.DeleteCurrentSection                      => Boolean True
CXMLFile.ReWrite                                   => Boolean True
CXMLFile.CloseXMLFile 1                            => Boolean True
CXMLFile.ReWrite                                   => Boolean False
)");
    // The section goes with its line; each ReWrite adds a line break.
    EXPECT_EQ(
        "<?xml version=\"1.0\"?>\r\n<SETTINGS>\r\n   <LEFT>10</LEFT>\r\n</SETTINGS>\r\n  <A>x<y>\r\n\xe9\x80</A>\r\n"
        "  <B></B>\r\n\r\n\r\n",
        box.read(L"ex.xml"));
}

TEST(XmlFile, ReadsLevelsPropertiesAndElements) {
    Sandbox box;
    box.file(L"r.xml",
             "<N>0</N>\r\n<L> <F>a</F><F>b</F><F>c</F> </L>\r\n<ITEM><NAME>x</NAME><SIZE>5</SIZE></ITEM>\r\n");
    Cases c;
    c.let("P", box.path(L"r.xml"));
    c.run(R"(
both CXMLFile.ReadWithinTags @'item'               => Boolean False; 'ITEM'
CXMLFile.OpenXMLFileForReading P                   => Boolean True
CXMLFile.Filename                                  => 'r.xml'
CXMLFile.OpenXMLFileForReading P & '.missing'      => Boolean False
CXMLFile.ReadProperty 'n', @''                     => Boolean True; '0'
both CXMLFile.ReadProperty 'none', @'old', 'dflt'  => Boolean False; 'dflt'
CXMLFile.ReadProperty 'none', @'old'               => Boolean False; 'old'
CXMLFile.ReadPropertyLong 'N'                      => Long 0
CXMLFile.ReadPropertyLong 'none'                   => Long -2147483648
both CXMLFile.ReadPropertyLong 'none', @7          => Long 7; Long 7
both CXMLFile.ReadPropertyBoolean 'n', @True       => Boolean True; Boolean False
both CXMLFile.ReadPropertyBoolean 'L', @False      => Boolean True; Boolean False
both CXMLFile.ReadAllProperties @String(1 To 4)[''|''|''|''], @String(1 To 4)[''|''|''|''] => Long 3; String(1 To 3)['N'|'L'|'ITEM']; String(1 To 3)['0'|' <F>a</F><F>b</F><F>c</F> '|'<NAME>x</NAME><SIZE>5</SIZE>']
CXMLFile.ReadAllProperties @String(1 To 2)[''|''], @String(1 To 2)[''|'']  => Long -1; String(1 To 2)['N'|'L']; String(1 To 2)['0'|' <F>a</F><F>b</F><F>c</F> ']
CXMLFile.ReadAllProperties @Array('', '', '', ''), @Array('', '', '', '') => Long -1; Variant(0 To 3)[''|'N'|'L'|'ITEM']; Variant(0 To 3)[''|'0'|' <F>a</F><F>b</F><F>c</F> '|'<NAME>x</NAME><SIZE>5</SIZE>']
CXMLFile.ReadAllProperties @String(), @String(1 To 1)['x'] => Long -1; String(); String(1 To 1)['x']
files = CXMLFile.Tags 'f'                          => Object _Collection[Object _CXMLElement|Object _CXMLElement|Object _CXMLElement]
third = files.Item 'el3'                           => Object _CXMLElement
third.Contents                                     => 'c'
items = CXMLFile.Tags 'ITEM'                       => Object _Collection[Object _CXMLElement]
item = items.Item 'EL1'                            => Object _CXMLElement
item.GetProperty 'name'                            => 'x'
item.Value                                         => ''
sizes = item.Tags 'size'                           => Object _Collection[Object _CXMLElement]
size = sizes.Item 1                                => Object _CXMLElement
size.Value                                         => '5'
)");
    BSTR name = SysAllocString(L"none"), value = SysAllocString(L"old");  // a C++ client's null optional
    VARIANT_BOOL found = VARIANT_TRUE;
    EXPECT_EQ(S_OK, c.object("CXMLFile").query<_CXMLFile>()->ReadProperty(&name, &value, nullptr, &found));
    EXPECT_EQ(L"False old", std::wstring(found ? L"True " : L"False ") + value);
}

TEST(XmlFile, LargeFileReadsBackWhole) {
    // Over a megabyte, converted block by block: western letters in each, a NUL that ends nothing.
    std::string bytes = "<ROOT>\r\n";
    for (int n = 1; n <= 40000; ++n)
        bytes += "<E>\r\n<K>Caf\xe9 \x80" + std::to_string(n) + "</K></E>\r\n";
    Sandbox box;
    box.file(L"big.xml", bytes + std::string("\0", 1) + "<LAST>fin \xe9</LAST>\r\n</ROOT>");
    Cases c;
    c.let("P", box.path(L"big.xml"));
    c.run(R"(
CXMLFile.OpenXMLFileForReading P                   => Boolean True
CXMLFile.ReadProperty 'LAST', @''                  => Boolean True; 'fin ' & ChrW(233)
CXMLFile.CountTags 'E'                             => Long 40000
CXMLFile.ReadProperty 'K', @''                     => Boolean True; 'Caf' & ChrW(233) & ' ' & ChrW(8364) & '1'
CXMLFile.ReadWithinTagsOccurence 'E', 20000        => Boolean True
CXMLFile.ReadProperty 'K', @''                     => Boolean True; 'Caf' & ChrW(233) & ' ' & ChrW(8364) & '20000'
)");
}

}  // namespace
}  // namespace lark::test
