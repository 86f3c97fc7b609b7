// CDeploy2: what a deployment-aware client asks about the machine. Deploy is the
// implementation that the library's own classes share per thread (sharedDeploy()).
#pragma once

#include "LARKLIB8.h"
#include "frame/object.hpp"
#include "sysinfo/version_rules.hpp"

#include <windows.h>

namespace lark::sysinfo {

class Deploy {
public:
    bool IsWindowsXP();
    bool IsWindows200x();
    bool IsWindows9x();
    bool IsWindows98();
    bool IsWindowsNT4();
    bool IsUnicodeSystem();
    bool IsAdministrator();
    bool Is64bit();

private:
    const VersionRecord& version();

    VersionOnce version_;
    bool unicode_ = false;
    bool unicodeKnown_ = false;
};

// The instance that the library's classes share on this thread.
Deploy& sharedDeploy();

// The platform's version record, read now (GetVersionExA); empty when the platform refuses.
std::optional<VersionRecord> readPlatformVersion();

class CDeploy2 final : public com::Object<_CDeploy2> {
public:
    HRESULT STDMETHODCALLTYPE IsWindowsXP(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE IsWindows200x(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE IsWindows9x(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE IsWindows98(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE IsWindowsNT4(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE get_IsUnicodeSystem(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE get_IsAdministrator(VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE get_Is64bit(VARIANT_BOOL* result) override;

private:
    Deploy deploy_;
};

}  // namespace lark::sysinfo
