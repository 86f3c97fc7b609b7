// CCommandLine: splits a command line into numbered parameters.
#pragma once

#include "LARKLIB8.h"
#include "frame/object.hpp"
#include "text/command_line.hpp"

namespace lark::text {

class CCommandLine final : public com::Object<_CCommandLine> {
public:
    HRESULT STDMETHODCALLTYPE put_CommandLine(BSTR RHS) override;
    HRESULT STDMETHODCALLTYPE get_Malformed(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE get_ParameterCount(LONG* result) override;
    HRESULT STDMETHODCALLTYPE get_Parameter(LONG index, VARIANT* result) override;

private:
    ParsedCommandLine parsed_;
    bool malformed_ = false;  // once set, stays set for the life of the instance
};

}  // namespace lark::text
