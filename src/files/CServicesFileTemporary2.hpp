// CServicesFileTemporary2: a marker that remembers one file or folder and deletes it when the
// last reference to the marker goes.
#pragma once

#include "LARKLIB8.h"
#include "frame/object.hpp"

#include <string>

namespace lark::files {

class CServicesFileTemporary2 final : public com::Object<_CServicesFileTemporary2> {
public:
    ~CServicesFileTemporary2() override;

    HRESULT STDMETHODCALLTYPE Initialize(BSTR FilePath, VARIANT_BOOL IsDirectory, VARIANT_BOOL DeleteDirectoryContents,
                                         VARIANT_BOOL RecurseDirectory, VARIANT* result) override;
    HRESULT STDMETHODCALLTYPE get_Self(_CServicesFileTemporary2** result) override;

private:
    std::u16string path_;  // without a trailing '\'
    bool isFolder_ = false;
    bool deleteContents_ = false;
    bool recurse_ = false;
};

}  // namespace lark::files
