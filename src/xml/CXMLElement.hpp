// CXMLElement: one piece of an XML text, copied when it is handed out, so it never depends on
// the file object it came from. Made only by the library (CXMLFile.Tags and its own Tags).
#pragma once

#include "LARKLIB8.h"
#include "frame/collection.hpp"
#include "frame/object.hpp"
#include "xml/xml_text.hpp"

#include <vector>

namespace lark::xml {

class CXMLElement final : public com::Object<_CXMLElement> {
public:
    explicit CXMLElement(Element element) : element_(std::move(element)) {}

    HRESULT STDMETHODCALLTYPE GetProperty(BSTR* PropertyName, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_Tags(BSTR* TagName, _Collection** result) override;
    HRESULT STDMETHODCALLTYPE get_Contents(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_Value(BSTR* result) override;

private:
    const Element element_;
};

// Fills collection with one element per span, keyed EL1, EL2, ... in order. Elements already
// added stay when a later one fails.
void addElements(com::Collection& collection, const std::vector<Element>& elements);

}  // namespace lark::xml
