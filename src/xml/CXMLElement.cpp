#include "xml/CXMLElement.hpp"

#include "frame/errors.hpp"
#include "frame/raii.hpp"

#include <string>

namespace lark::xml {

using com::traps;

void addElements(com::Collection& collection, const std::vector<Element>& elements) {
    size_t count = 0;
    for (const Element& element : elements) {
        com::ComPtr<CXMLElement> object(new CXMLElement(element));
        com::unique_variant item;
        item.vt = VT_DISPATCH;
        item.pdispVal = object.query<IDispatch>().detach();
        const std::string number = std::to_string(++count);
        com::unique_variant keyVariant;
        keyVariant.vt = VT_BSTR;
        keyVariant.bstrVal = com::allocBstr(u"EL" + std::u16string(number.begin(), number.end()));
        com::check(collection.Add(&item, &keyVariant, nullptr, nullptr));
    }
}

HRESULT CXMLElement::GetProperty(BSTR* PropertyName, BSTR* result) {
    return traps(result, [&] {
        *result = nullptr;
        *result = com::allocBstr(element_.GetProperty(com::view(PropertyName)));
    });
}

HRESULT CXMLElement::get_Tags(BSTR* TagName, _Collection** result) {
    return traps(result, [&] {
        *result = nullptr;
        com::ComPtr<com::Collection> tags = com::makeObject<com::Collection>();
        *result = tags.query<_Collection>().detach();
        std::vector<Element> children;
        for (const Span& span : element_.Tags(com::view(TagName))) children.push_back(element_.Child(span));
        addElements(*tags.get(), children);
    });
}

HRESULT CXMLElement::get_Contents(BSTR* result) {
    return com::raises(result, [&] {
        *result = nullptr;
        *result = com::allocBstr(element_.Contents());
    });
}

HRESULT CXMLElement::get_Value(BSTR* result) {
    return traps(result, [&] {
        *result = nullptr;
        *result = com::allocBstr(element_.Value());
    });
}

}  // namespace lark::xml
