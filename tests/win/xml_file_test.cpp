// CXMLFile and CXMLElement as COM clients see them: files written and compared byte for byte,
// read back at several depths, ByRef write-back, edits written back, elements that outlive the
// file object, and errors of the writers. The text rules themselves are covered on the host by
// xml_text_test.
#include "com_support.hpp"


namespace lark::test {
namespace {

const char kExample[] =
    "<?xml version=\"1.0\"?>\r\n"
    "<SETTINGS>\r\n"
    "   <LEFT>10</LEFT>\r\n"
    "   <RECENT>\r\n"
    "      <FILE>a.txt</FILE>\r\n"
    "   </RECENT>\r\n"
    "</SETTINGS>\r\n";

std::wstring contentsOf(IDispatch* element) {
    Call call = invoke(element, L"Contents", {});
    EXPECT_EQ(S_OK, call.hr);
    return call.result.vt == VT_BSTR ? str(call.result.bstrVal) : L"<not a string>";
}

class XmlFile : public testing::Test {
protected:
    ~XmlFile() override {
        xml = nullptr;
    }

    ComPtr<_CXMLFile> xml = createByProgId<_CXMLFile>(L"LARKLIB8.CXMLFile");

    VARIANT_BOOL open(_CXMLFile* file, const std::wstring& path) {
        Text p(path);
        VARIANT_BOOL ok = VARIANT_FALSE;
        EXPECT_EQ(S_OK, file->OpenXMLFileForReading(p.ref(), &ok));
        return ok;
    }
    bool enter(_CXMLFile* file, const wchar_t* tag) {
        Text t(tag);
        VARIANT_BOOL ok = VARIANT_FALSE;
        EXPECT_EQ(S_OK, file->ReadWithinTags(t.ref(), &ok));
        return ok == VARIANT_TRUE;
    }
    std::wstring property(_CXMLFile* file, const wchar_t* name) {
        Text n(name), value(L"<unset>");
        VARIANT_BOOL found = VARIANT_FALSE;
        EXPECT_EQ(S_OK, file->ReadProperty(n.ref(), value.ref(), nullptr, &found));
        return found ? value.text() : L"<not found>";
    }
    ComPtr<_Collection> tags(_CXMLFile* file, const wchar_t* tag) {
        Text t(tag);
        ComPtr<_Collection> c;
        EXPECT_EQ(S_OK, file->get_Tags(t.ref(), c.put()));
        return c;
    }
    // Writes the example file through the writers, as a client does.
    void writeExample(const std::wstring& path) {
        Text p(path), settings(L"Settings"), left(L"Left"), ten(L"10"), recent(L"Recent"), file(L"File"),
            name(L"a.txt");
        VARIANT_BOOL ok = VARIANT_FALSE;
        ASSERT_EQ(VARIANT_TRUE, got(xml->OpenXMLFileForWriting(p.ref(), &ok), ok));
        EXPECT_EQ(S_OK, xml->WriteAnnouncementTag());
        EXPECT_EQ(S_OK, xml->WriteOpenTag(settings.ref()));
        EXPECT_EQ(S_OK, xml->WriteProperty(left.ref(), ten.ref()));
        EXPECT_EQ(S_OK, xml->WriteOpenTag(recent.ref()));
        EXPECT_EQ(S_OK, xml->WriteProperty(file.ref(), name.ref()));
        EXPECT_EQ(S_OK, xml->WriteCloseTag(recent.ref()));
        EXPECT_EQ(S_OK, xml->WriteCloseTag(settings.ref()));
        EXPECT_EQ(L"Settings", settings.text()) << "the writers leave the caller's names alone";
        EXPECT_EQ(VARIANT_TRUE, got(xml->CloseXMLFile(forwriting, &ok), ok));
    }
};

TEST_F(XmlFile, WritesTheExampleByteForByte) {
    ASSERT_TRUE(xml);
    const std::wstring path = tempFile(L"lark_xml_example.xml");
    writeExample(path);
    EXPECT_EQ(std::string(kExample), bytesOf(path));

    // The path and name belong to the open file; closing clears them, whatever the mode.
    Text p(path);
    VARIANT_BOOL ok = VARIANT_FALSE;
    ASSERT_EQ(VARIANT_TRUE, got(xml->OpenXMLFileForWriting(p.ref(), &ok), ok));
    BSTR name = nullptr, full = nullptr;
    EXPECT_EQ(S_OK, xml->get_Filename(&name));
    EXPECT_EQ(S_OK, xml->get_FilePath(&full));
    EXPECT_EQ(L"lark_xml_example.xml", str(name));
    EXPECT_EQ(path, str(full));
    SysFreeString(name);
    SysFreeString(full);
    LONG indent = -1, increment = 0;
    EXPECT_EQ(0, got(xml->get_Indent(&indent), indent));
    EXPECT_EQ(3, got(xml->get_IndentIncrement(&increment), increment));
    EXPECT_EQ(S_OK, xml->put_Indent(2));
    Text a(L"a"), v(L"x<y>\r\nz");
    EXPECT_EQ(S_OK, xml->WriteProperty(a.ref(), v.ref()));
    EXPECT_EQ(VARIANT_FALSE, got(xml->CloseXMLFile(ForAppending, &ok), ok));
    full = nullptr;
    EXPECT_EQ(S_OK, xml->get_FilePath(&full));
    EXPECT_EQ(L"", str(full));
    SysFreeString(full);
    EXPECT_EQ(VARIANT_TRUE, got(xml->CloseXMLFile(forwriting, &ok), ok));
    EXPECT_EQ(std::string("  <A>x<y>\r\nz</A>\r\n"), bytesOf(path)) << "values are written unchanged";
}

TEST_F(XmlFile, WritersRaiseWithoutAFileOrWithANegativeIndent) {
    Text tag(L"t"), value(L"v");
    EXPECT_EQ(vbError(52), xml->WriteAnnouncementTag());
    EXPECT_EQ(vbError(52), xml->WriteOpenTag(tag.ref()));
    EXPECT_EQ(vbError(52), xml->WriteProperty(tag.ref(), value.ref()));
    LONG indent = -1;
    EXPECT_EQ(0, got(xml->get_Indent(&indent), indent)) << "an open tag not written does not indent";

    Text p(tempFile(L"lark_xml_errors.xml"));
    VARIANT_BOOL ok = VARIANT_FALSE;
    ASSERT_EQ(VARIANT_TRUE, got(xml->OpenXMLFileForWriting(p.ref(), &ok), ok));
    EXPECT_EQ(vbError(5), xml->WriteCloseTag(tag.ref())) << "more closing than opening tags";
    EXPECT_EQ(-3, got(xml->get_Indent(&indent), indent));
    EXPECT_EQ(S_OK, xml->put_Indent(-1));
    EXPECT_EQ(vbError(5), xml->WriteProperty(tag.ref(), value.ref()));
    EXPECT_EQ(S_OK, xml->put_Indent(0));
    EXPECT_EQ(S_OK, xml->WriteProperty(tag.ref(), value.ref()));

    // Late-bound callers see the same numbers.
    ComPtr<IDispatch> late = xml.query<IDispatch>();
    unique_variant name = vStr(L"x");
    unique_variant writing = vLong(forwriting);
    EXPECT_EQ(S_OK, invoke(late.get(), L"CloseXMLFile", {&writing}).hr);
    Call call = invoke(late.get(), L"WriteOpenTag", {&name});
    EXPECT_EQ(DISP_E_EXCEPTION, call.hr);
    EXPECT_EQ(52, call.exception.wCode ? call.exception.wCode : HRESULT_CODE(call.exception.scode));
}

TEST_F(XmlFile, ReadsBackAtSeveralDepths) {
    const std::wstring path = tempFile(L"lark_xml_read.xml");
    writeExample(path);
    ComPtr<_CXMLFile> reader = createByProgId<_CXMLFile>(L"LARKLIB8.CXMLFile");
    ASSERT_EQ(VARIANT_TRUE, open(reader.get(), path));

    // ReadWithinTags upper-cases the caller's variable.
    Text settings(L"settings");
    VARIANT_BOOL ok = VARIANT_FALSE;
    EXPECT_EQ(VARIANT_TRUE, got(reader->ReadWithinTags(settings.ref(), &ok), ok));
    EXPECT_EQ(L"SETTINGS", settings.text());
    EXPECT_EQ(L"10", property(reader.get(), L"left"));
    Text leftName(L"LEFT");
    LONG number = 0;
    EXPECT_EQ(10, got(reader->ReadPropertyLong(leftName.ref(), nullptr, &number), number));
    Text missing(L"MISSING");
    LONG fallback = 7;
    EXPECT_EQ(7, got(reader->ReadPropertyLong(missing.ref(), &fallback, &number), number));

    // ReadProperty: the default is taken first, and a miss keeps it.
    Text value(L"old");
    Text defaultText(L"dflt");
    EXPECT_EQ(VARIANT_FALSE, got(reader->ReadProperty(missing.ref(), value.ref(), defaultText.ref(), &ok), ok));
    EXPECT_EQ(L"dflt", value.text());
    Text value2(L"old");
    EXPECT_EQ(VARIANT_FALSE, got(reader->ReadProperty(missing.ref(), value2.ref(), nullptr, &ok), ok));
    EXPECT_EQ(L"old", value2.text());

    EXPECT_TRUE(enter(reader.get(), L"Recent"));
    EXPECT_EQ(L"a.txt", property(reader.get(), L"File"));
    EXPECT_EQ(L"<not found>", property(reader.get(), L"LEFT")) << "outside the current level";
    EXPECT_EQ(VARIANT_TRUE, got(reader->ReadUpOneLevel(&ok), ok));
    EXPECT_EQ(VARIANT_TRUE, got(reader->ReadUpOneLevel(&ok), ok));
    EXPECT_EQ(VARIANT_FALSE, got(reader->ReadUpOneLevel(&ok), ok));

    BSTR name = nullptr;
    EXPECT_EQ(S_OK, reader->get_Filename(&name));
    EXPECT_EQ(L"lark_xml_read.xml", str(name));
    SysFreeString(name);

    // Late-bound: the missing Long default, and ByRef write-back of the value and the Boolean.
    ComPtr<IDispatch> late = reader.query<IDispatch>();
    unique_variant nothing = vStr(L"NOTHING");
    Call call = invoke(late.get(), L"ReadPropertyLong", {&nothing});
    ASSERT_EQ(S_OK, call.hr);
    EXPECT_EQ(VT_I4, call.result.vt);
    EXPECT_EQ(INT32_MIN, call.result.lVal);
    unique_variant variable = vStr(L""), left = vStr(L"LEFT");
    unique_variant byRef = vRef(&variable);
    call = invoke(late.get(), L"ReadProperty", {&left, &byRef});
    ASSERT_EQ(S_OK, call.hr);
    EXPECT_EQ(L"'10'", describe(variable));
    unique_variant flag = vBool(false);
    unique_variant flagRef = vRef(&flag);
    call = invoke(late.get(), L"ReadPropertyBoolean", {&left, &flagRef});
    ASSERT_EQ(S_OK, call.hr);
    EXPECT_EQ(VT_BOOL, flag.vt);
    EXPECT_EQ(VARIANT_TRUE, flag.boolVal) << "10 is True";
}

TEST_F(XmlFile, ListsCountsAndHandsOutElements) {
    const std::wstring path = tempFile(L"lark_xml_list.xml");
    writeBytes(path,
               "<ROOT>\r\n   <N>1</N>\r\n   <LIST>\r\n      <FILE>a</FILE>\r\n      <FILE>b</FILE>\r\n"
               "      <FILE>c</FILE>\r\n   </LIST>\r\n   <ITEM><NAME>x</NAME><SIZE>5</SIZE></ITEM>\r\n</ROOT>\r\n");
    ASSERT_EQ(VARIANT_TRUE, open(xml.get(), path));
    ASSERT_TRUE(enter(xml.get(), L"ROOT"));

    // ReadAllProperties: arrays 1 to 10 shrink to 1 to N; undimensioned arrays fail.
    Array names(SafeArrayCreateVector(VT_BSTR, 1, 10)), values(SafeArrayCreateVector(VT_BSTR, 1, 10));
    LONG count = 0;
    EXPECT_EQ(3, got(xml->ReadAllProperties(names.ref(), values.ref(), &count), count));
    EXPECT_EQ((Strings{L"N", L"LIST", L"ITEM"}), elementsOf(names.array));
    EXPECT_EQ(1, lowerBound(names.array));
    EXPECT_EQ(L"1", elementsOf(values.array)[0]);
    EXPECT_EQ(L"<NAME>x</NAME><SIZE>5</SIZE>", elementsOf(values.array)[2]);
    Array none1, none2;
    EXPECT_EQ(-1, got(xml->ReadAllProperties(none1.ref(), none2.ref(), &count), count));
    Array small1(SafeArrayCreateVector(VT_BSTR, 1, 2)), small2(SafeArrayCreateVector(VT_BSTR, 1, 2));
    EXPECT_EQ(-1, got(xml->ReadAllProperties(small1.ref(), small2.ref(), &count), count));
    EXPECT_EQ((Strings{L"N", L"LIST"}), elementsOf(small1.array)) << "pairs stored stay, unresized";

    ASSERT_TRUE(enter(xml.get(), L"list"));
    Text file(L"FILE");
    EXPECT_EQ(3, got(xml->CountTags(file.ref(), &count), count));
    LONG second = 2, fourth = 4;
    VARIANT_BOOL ok = VARIANT_FALSE;
    EXPECT_EQ(VARIANT_FALSE, got(xml->ReadWithinTagsOccurence(file.ref(), &fourth, &ok), ok));
    EXPECT_EQ(VARIANT_TRUE, got(xml->ReadWithinTagsOccurence(file.ref(), &second, &ok), ok));
    EXPECT_EQ(VARIANT_TRUE, got(xml->ReadUpOneLevel(&ok), ok));

    // Tags: keyed EL1..EL3 in order; the elements keep their text after the file object goes.
    ComPtr<_Collection> files = tags(xml.get(), L"file");
    ASSERT_TRUE(files);
    EXPECT_EQ(3, got(files->Count(&count), count));
    unique_variant key = vStr(L"el3"), item;
    ASSERT_EQ(S_OK, files->Item(&key, &item));
    ASSERT_EQ(VT_DISPATCH, item.vt);
    EXPECT_EQ(L"c", contentsOf(item.pdispVal));
    Call value = invoke(item.pdispVal, L"Value", {});
    EXPECT_EQ(L"''", describe(value.result)) << "an element of a file level has no tags of its own";

    EXPECT_TRUE(xml->ReadUpOneLevel(&ok) == S_OK && ok);
    ComPtr<_Collection> items = tags(xml.get(), L"ITEM");
    unique_variant first = vLong(1), element;
    ASSERT_EQ(S_OK, items->Item(&first, &element));
    xml = nullptr;  // the elements hold their own text
    ComPtr<_CXMLElement> typed = ComPtr<IDispatch>(element.pdispVal).query<_CXMLElement>();
    ASSERT_TRUE(typed);
    for (auto [path, expected] : {std::pair{L"name", L"x"}, {L"SIZE", L"5"}, {L"COLOR", L""}, {L"", L""}}) {
        Text p(path);
        BSTR out = nullptr;
        EXPECT_EQ(S_OK, typed->GetProperty(p.ref(), &out));
        EXPECT_EQ(std::wstring(expected), str(out)) << path;
        SysFreeString(out);
    }
    Text size(L"size");
    ComPtr<_Collection> children;
    ASSERT_EQ(S_OK, typed->get_Tags(size.ref(), children.put()));
    EXPECT_EQ(1, got(children->Count(&count), count));
    unique_variant child;
    ASSERT_EQ(S_OK, children->Item(&first, &child));
    EXPECT_EQ(L"<SIZE>5</SIZE>", contentsOf(child.pdispVal));
    EXPECT_EQ(L"'5'", describe(invoke(child.pdispVal, L"Value", {}).result));

    // For Each over the collection, as a script does it.
    ComPtr<IUnknown> unknown;
    ASSERT_EQ(S_OK, files->_NewEnum(unknown.put()));
    ComPtr<IEnumVARIANT> each = unknown.query<IEnumVARIANT>();
    ASSERT_TRUE(each);
    Strings seen;
    for (unique_variant next; each->Next(1, &next, nullptr) == S_OK; next.clear()) seen.push_back(contentsOf(next.pdispVal));
    EXPECT_EQ((Strings{L"a", L"b", L"c"}), seen);
}

TEST_F(XmlFile, EditsAreWrittenBackAndReadAgain) {
    const std::wstring path = tempFile(L"lark_xml_edit.xml");
    writeExample(path);
    ASSERT_EQ(VARIANT_TRUE, open(xml.get(), path));
    ASSERT_TRUE(enter(xml.get(), L"SETTINGS"));
    ASSERT_TRUE(enter(xml.get(), L"RECENT"));
    Text more(L"      <FILE>b.txt</FILE>\r\n");
    VARIANT_BOOL ok = VARIANT_FALSE;
    EXPECT_EQ(VARIANT_TRUE, got(xml->AppendTextWithinTag(more.ref(), &ok), ok));
    EXPECT_EQ(VARIANT_TRUE, got(xml->ReWrite(&ok), ok));
    std::string expected(kExample);
    expected.insert(expected.find("   </RECENT>"), "      <FILE>b.txt</FILE>\r\n");
    EXPECT_EQ(expected + "\r\n", bytesOf(path)) << "ReWrite adds one line break";

    ComPtr<_CXMLFile> again = createByProgId<_CXMLFile>(L"LARKLIB8.CXMLFile");
    ASSERT_EQ(VARIANT_TRUE, open(again.get(), path));
    ASSERT_TRUE(enter(again.get(), L"RECENT"));
    Text file(L"FILE");
    LONG count = 0;
    EXPECT_EQ(2, got(again->CountTags(file.ref(), &count), count));
    EXPECT_EQ(VARIANT_TRUE, got(again->DeleteCurrentSection(&ok), ok));
    EXPECT_EQ(VARIANT_TRUE, got(again->ReWrite(&ok), ok));
    EXPECT_EQ(std::string("<?xml version=\"1.0\"?>\r\n<SETTINGS>\r\n   <LEFT>10</LEFT>\r\n</SETTINGS>\r\n\r\n\r\n"),
              bytesOf(path));

    // With the path cleared, there is nowhere to write back.
    EXPECT_EQ(VARIANT_TRUE, got(again->CloseXMLFile(forreading, &ok), ok));
    EXPECT_EQ(VARIANT_FALSE, got(again->ReWrite(&ok), ok));
}

TEST_F(XmlFile, LargeFileReadsBackWhole) {
    // Over a megabyte: read and converted piece by piece, indexed as it arrives. Western letters
    // convert through the code page in every piece, and the last value sits at the very end.
    std::string bytes = "<ROOT>\r\n";
    int entries = 0;
    while (bytes.size() < (1u << 20) + 12345) {
        bytes += "   <E>\r\n      <K>Caf\xe9 \x80" + std::to_string(++entries) + "</K>\r\n   </E>\r\n";
    }
    bytes += "   <LAST>fin \xe9</LAST>\r\n</ROOT>";
    const std::wstring path = tempFile(L"lark_xml_large.xml");
    writeBytes(path, bytes);
    ASSERT_EQ(VARIANT_TRUE, open(xml.get(), path));
    ASSERT_TRUE(enter(xml.get(), L"ROOT"));
    EXPECT_EQ(L"fin \u00e9", property(xml.get(), L"LAST"));
    Text e(L"E");
    VARIANT_BOOL ok = VARIANT_FALSE;
    for (LONG n : {1, entries / 2, entries}) {
        ASSERT_EQ(VARIANT_TRUE, got(xml->ReadWithinTagsOccurence(e.ref(), &n, &ok), ok)) << n;
        EXPECT_EQ(L"Caf\u00e9 \u20ac" + std::to_wstring(n), property(xml.get(), L"K"));
        EXPECT_EQ(VARIANT_TRUE, got(xml->ReadUpOneLevel(&ok), ok));
    }
    LONG count = 0;
    EXPECT_EQ(LONG{entries}, got(xml->CountTags(e.ref(), &count), count));

    // A file that cannot be opened leaves the one read before in place.
    EXPECT_EQ(VARIANT_FALSE, open(xml.get(), tempFile(L"lark_xml_no_such_file.xml")));
    EXPECT_EQ(L"fin \u00e9", property(xml.get(), L"LAST"));
}

TEST_F(XmlFile, BadFilesAndMissingTextNeverCrash) {
    // Nothing read yet: every reader answers its failure value.
    Text t(L"T"), v(L"keep");
    VARIANT_BOOL ok = VARIANT_TRUE;
    LONG count = -1;
    EXPECT_EQ(VARIANT_FALSE, got(xml->ReadWithinTags(t.ref(), &ok), ok));
    EXPECT_EQ(0, got(xml->CountTags(t.ref(), &count), count));
    EXPECT_EQ(VARIANT_FALSE, got(xml->ReadProperty(t.ref(), v.ref(), nullptr, &ok), ok));
    EXPECT_EQ(VARIANT_FALSE, got(xml->DeleteCurrentSection(&ok), ok));
    EXPECT_EQ(VARIANT_FALSE, got(xml->AppendTextWithinTag(t.ref(), &ok), ok));
    EXPECT_EQ(VARIANT_FALSE, got(xml->ReWrite(&ok), ok));
    EXPECT_EQ(VARIANT_FALSE, open(xml.get(), tempFile(L"lark_xml_no_such_file.xml")));
    EXPECT_EQ(VARIANT_FALSE, open(xml.get(), L""));
    Text badPath(L"C:\\no\\such\\folder\\x.xml");
    EXPECT_EQ(VARIANT_FALSE, got(xml->OpenXMLFileForWriting(badPath.ref(), &ok), ok));

    // Unbalanced, truncated and binary files read without harm.
    const std::wstring path = tempFile(L"lark_xml_bad.xml");
    for (const std::string& bytes : {std::string("<A>\r\n<B>1</B"), std::string("</A><A>"), std::string("<<<>>></"),
                                     std::string("\0\xff\x01<A>\0</A>", 11), std::string()}) {
        writeBytes(path, bytes);
        ASSERT_EQ(VARIANT_TRUE, open(xml.get(), path));
        EXPECT_FALSE(enter(xml.get(), L"B"));
        Array n(SafeArrayCreateVector(VT_BSTR, 1, 4)), w(SafeArrayCreateVector(VT_BSTR, 1, 4));
        EXPECT_EQ(S_OK, xml->ReadAllProperties(n.ref(), w.ref(), &count));
        EXPECT_EQ(S_OK, xml->DeleteCurrentSection(&ok));
        EXPECT_TRUE(tags(xml.get(), L"A"));
    }
    // A pair with its closing tag missing is not entered.
    writeBytes(path, "<A>\r\n<B>1\r\n</A>");
    ASSERT_EQ(VARIANT_TRUE, open(xml.get(), path));
    EXPECT_FALSE(enter(xml.get(), L"B"));
    EXPECT_TRUE(enter(xml.get(), L"A"));
}

}  // namespace
}  // namespace lark::test
