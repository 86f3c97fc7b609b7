// CXMLFile: writes indented tag files line by line and reads them back through the level stack
// of the portable Document; this class adds the files, the ANSI conversion and the arguments.
#pragma once

#include "LARKLIB8.h"
#include "frame/object.hpp"
#include "frame/raii.hpp"
#include "xml/xml_text.hpp"

#include <string>

namespace lark::xml {

class CXMLFile final : public com::Object<_CXMLFile> {
public:
    HRESULT STDMETHODCALLTYPE OpenXMLFileForReading(BSTR* InputFilePath, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE OpenXMLFileForWriting(BSTR* FilePath, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE CloseXMLFile(LONG OpenType, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE WriteAnnouncementTag() override;
    HRESULT STDMETHODCALLTYPE WriteOpenTag(BSTR* TagName) override;
    HRESULT STDMETHODCALLTYPE WriteCloseTag(BSTR* TagName) override;
    HRESULT STDMETHODCALLTYPE WriteProperty(BSTR* PropertyName, BSTR* PropertyValue) override;
    HRESULT STDMETHODCALLTYPE ReadWithinTags(BSTR* TagName, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE ReadWithinTagsOccurence(BSTR* TagName, LONG* OccurenceNumber,
                                                      VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE ReadUpOneLevel(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE ReadProperty(BSTR* PropertyName, BSTR* PropertyValue, BSTR* DefaultValue,
                                           VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE ReadPropertyLong(BSTR* PropertyName, LONG* DefaultValue, LONG* result) override;
    HRESULT STDMETHODCALLTYPE ReadPropertyBoolean(BSTR* PropertyName, VARIANT_BOOL* PropertyReference,
                                                  VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE ReadAllProperties(SAFEARRAY** PropertyNames, SAFEARRAY** PropertyValues,
                                                LONG* result) override;
    HRESULT STDMETHODCALLTYPE CountTags(BSTR* TagName, LONG* result) override;
    HRESULT STDMETHODCALLTYPE AppendTextWithinTag(BSTR* TextToInject, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE DeleteCurrentSection(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE ReWrite(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE get_FilePath(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_Filename(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_IndentIncrement(LONG* result) override;
    HRESULT STDMETHODCALLTYPE get_Indent(LONG* result) override;
    HRESULT STDMETHODCALLTYPE put_Indent(LONG NewIndentationLevel) override;
    HRESULT STDMETHODCALLTYPE get_Tags(BSTR* TagName, _Collection** result) override;

private:
    // Sends one written line to the output file: error 52 when none is open.
    void put(std::u16string_view line);

    com::unique_hfile output_;  // closed when the object goes
    Writer writer_;
    Document document_;
    std::u16string path_;
    std::u16string name_;
};

}  // namespace lark::xml
