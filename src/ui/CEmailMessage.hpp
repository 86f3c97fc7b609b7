// CEmailMessage: hands a message with one recipient and at most one attachment to the system's
// mail client through Simple MAPI (MAPISendMail in MAPI32.DLL). It holds no state: each message
// is built, sent and freed within one call.
#pragma once

#include "LARKLIB8.h"
#include "frame/object.hpp"

namespace lark::ui {

class CEmailMessage final : public com::Object<_CEmailMessage> {
public:
    HRESULT STDMETHODCALLTYPE MAPItest() override;
    HRESULT STDMETHODCALLTYPE Send(BSTR EmailAddress, BSTR Subject, BSTR Body, BSTR AttachmentFilePath,
                                   VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE GetLongAddr(LONG* var, VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE MAPIAvailable(VARIANT_BOOL* result) override;
};

}  // namespace lark::ui
