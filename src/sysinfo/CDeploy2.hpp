// CDeploy2: what a deployment-aware client asks about the machine. Deploy is the
// implementation that the library's own classes share per thread (sharedDeploy()).
#pragma once

#include "LARKLIB8.h"
#include "frame/object.hpp"
#include "sysinfo/version_rules.hpp"

#include <windows.h>

#include <array>
#include <string>
#include <string_view>

namespace lark::sysinfo {

class Deploy {
public:
    Deploy() = default;
    // A system that describes itself with this version record: the other family's branches, run
    // where the platform would never take them.
    explicit Deploy(VersionRecord fixed);

    bool IsWindowsXP();
    bool IsWindows200x();
    bool IsWindows9x();
    bool IsWindows98();
    bool IsWindowsNT4();
    bool IsUnicodeSystem();
    bool IsAdministrator();
    bool Is64bit();

    // Office applications and file associations (DeployOffice.cpp), under HKEY_CLASSES_ROOT.
    struct Association {
        std::u16string progId, description, application, commandLine, iconPath;
    };
    int32_t GetOfficeAppVersion(int32_t officeApp);
    std::u16string GetOfficeAppExePath(int32_t officeApp);
    std::u16string GetOfficeProductVersion2(int32_t officeApp);
    // Fills out as far as it gets.
    void GetAssociation(std::u16string_view extension, Association& out);
    // False, with nothing written, when the extension or the ProgID comes out empty.
    bool SetAssociation(std::u16string_view extension, std::u16string_view newCommandLine, std::u16string_view iconPath,
                        std::u16string_view fileDescription, std::u16string_view recommendedProgId, int32_t officeApp,
                        bool force);

    // Browser, display and window queries (DeployQueries.cpp).
    double IEVersion();
    int32_t AnchorColor();
    std::u16string AnchorColorString();
    std::u16string AnchorColorRTFString();
    std::u16string GetWindowClassName(HWND window);
    std::u16string GetWindowText(HWND window);
    std::u16string WMGETTEXT(HWND window, int32_t timeout);
    int32_t DisplayBPP();
    std::u16string GetDLLVersions();

private:
    const VersionRecord& version();

    VersionOnce version_;
    bool unicode_ = false;
    bool unicodeKnown_ = false;
    // Caches: 0 and "" stand for not yet known, and are looked up again.
    std::array<int32_t, 5> officeVersions_{};
    std::array<std::u16string, 5> productVersions_;
    double ieVersion_ = 0;
    int32_t anchorColour_ = 0;
    std::u16string anchorText_, anchorRtf_;
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
    HRESULT STDMETHODCALLTYPE GetOfficeAppVersion(OFFICEAPPS OfficeApp, LONG* result) override;
    HRESULT STDMETHODCALLTYPE GetOfficeAppExePath(OFFICEAPPS OfficeApp, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE GetAssociation(BSTR Extension, BSTR* ExtensionProgID, BSTR* FileDescription,
                                             BSTR* AssociatedApplication, BSTR* RawCommandLine, BSTR* IconPath,
                                             VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE SetAssociation(BSTR Extension, BSTR* NewCommandLine, BSTR* IconPath,
                                             BSTR* FileDescription, BSTR* RecommendedProgID, OFFICEAPPS OfficeApp,
                                             VARIANT_BOOL Force, VARIANT_BOOL* result) override;
    HRESULT STDMETHODCALLTYPE GetOfficeProductVersion2(OFFICEAPPS OfficeApp, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_IEVersion(double* result) override;
    HRESULT STDMETHODCALLTYPE get_AnchorColor(OLE_COLOR* result) override;
    HRESULT STDMETHODCALLTYPE get_AnchorColorString(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_AnchorColorRTFString(BSTR* result) override;
    HRESULT STDMETHODCALLTYPE GetWindowClassName(LONG hWnd, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE GetWindowText(LONG hWnd, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE WMGETTEXT(LONG hWnd, LONG TimeOut, BSTR* result) override;
    HRESULT STDMETHODCALLTYPE get_DisplayBPP(LONG* result) override;
    HRESULT STDMETHODCALLTYPE GetDLLVersions(BSTR* result) override;

private:
    Deploy deploy_;
};

}  // namespace lark::sysinfo
