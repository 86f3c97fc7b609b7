// CDeploy2's Office applications and file associations: registrations under HKEY_CLASSES_ROOT,
// read and written through the registry toolkit the library shares per thread.
#include "frame/platform_text.hpp"
#include "registry/Registry.hpp"
#include "sysinfo/CDeploy2.hpp"
#include "sysinfo/CVersion.hpp"
#include "sysinfo/deploy_rules.hpp"

namespace lark::sysinfo {

namespace {

using Text = std::u16string;

// A verb that earlier registrations may have left on the documents; it is removed.
constexpr Units kRetiredVerb = u"Emberfox";
constexpr DWORD kShortPathBuffer = 260;

// The default value of a key of the classes root as text; "" when it is missing or empty.
Text classDefault(Units keyName) { return registry::sharedRegistry().GetRegistryText(HKEY_CLASSES_ROOT, keyName, u""); }

void setClassDefault(Units keyName, Units text) {
    registry::sharedRegistry().SetRegistryText(HKEY_CLASSES_ROOT, keyName, u"", text);
}

// Creates the key and sets its default value.
void registerClassDefault(Units keyName, Units text) {
    registry::sharedRegistry().CreateRegistryKey(HKEY_CLASSES_ROOT, keyName);
    setClassDefault(keyName, text);
}

void deleteClassValue(Units keyName, Units valueName) {
    registry::sharedRegistry().DeleteRegistryValue(HKEY_CLASSES_ROOT, keyName, valueName);
}

// The short form of an existing path; the path itself when the platform has none.
Text shortPath(const Text& path) {
    char buffer[kShortPathBuffer] = {};
    const DWORD n = GetShortPathNameA(com::toAnsi(path).c_str(), buffer, kShortPathBuffer);
    return n > 0 && n < kShortPathBuffer ? com::fromAnsi({buffer, n}) : path;
}

Text withSuffix(Units key, Units suffix) { return Text(key) + Text(suffix); }

}  // namespace

int32_t Deploy::GetOfficeAppVersion(int32_t officeApp) {
    const std::optional<OfficeApp> app = officeApplication(officeApp);
    if (!app) return 0;
    int32_t& cached = officeVersions_[officeApp - 1];
    if (cached == 0) cached = progIdVersion(classDefault(withSuffix(app->progId, u"\\CurVer"))).value_or(0);
    return cached;
}

std::u16string Deploy::GetOfficeAppExePath(int32_t officeApp) {
    const std::optional<OfficeApp> app = officeApplication(officeApp);
    if (!app) return {};
    const Text classId = classDefault(withSuffix(app->progId, u"\\CLSID"));
    Text program = serverProgram(classDefault(u"CLSID\\" + classId + u"\\LocalServer32"));
    // Callers put the path into command lines of their own: one without blanks needs no quotes.
    if (program.find(u' ') != Text::npos) program = shortPath(program);
    return program;
}

std::u16string Deploy::GetOfficeProductVersion2(int32_t officeApp) {
    if (!officeApplication(officeApp)) return {};
    Text& cached = productVersions_[officeApp - 1];
    if (cached.empty()) {
        com::ComPtr<CVersion> reader = com::makeObject<CVersion>();
        reader->read(GetOfficeAppExePath(officeApp));
        cached = reader->entry(u"FileVersion");
    }
    return cached;
}

void Deploy::GetAssociation(Units extension, Association& out) {
    out.progId = classDefault(extension);
    out.description = classDefault(out.progId);
    out.iconPath = classDefault(out.progId + u"\\DefaultIcon");
    out.commandLine = classDefault(out.progId + u"\\Shell\\Open\\command");
    out.application = commandProgram(out.commandLine);
}

bool Deploy::SetAssociation(Units extension, Units newCommandLine, Units iconPath, Units fileDescription,
                            Units recommendedProgId, int32_t officeApp, bool force) {
    Text progId = force ? Text() : classDefault(extension);
    if (progId.empty()) progId = recommendedProgId;
    // Without either, the keys would land directly below the classes root.
    if (extension.empty() || progId.empty()) return false;
    registry::Registry& registry = registry::sharedRegistry();
    registry.CreateRegistryKey(HKEY_CLASSES_ROOT, extension);
    registry.CreateRegistryKey(HKEY_CLASSES_ROOT, progId);
    setClassDefault(extension, progId);
    if (!fileDescription.empty()) registerClassDefault(progId, fileDescription);
    if (!iconPath.empty()) registerClassDefault(progId + u"\\DefaultIcon", iconPath);
    const Text open = progId + u"\\Shell\\Open";
    if (!newCommandLine.empty()) {
        registerClassDefault(open + u"\\command", newCommandLine);
        if (officeApp == 0) return true;
        deleteClassValue(open + u"\\command", u"command");  // the shell then takes the default value
    }
    if (officeApp == 0) return true;
    // The Office application opens the file itself, not through dynamic data exchange.
    for (Units key : {u"\\ddeexec", u"\\ddeexec\\application", u"\\ddeexec\\topic"})
        deleteClassValue(open + Text(key), u"");
    const Units application = officeApplication(officeApp).value_or(OfficeApp{}).verbName;
    const Text exe = GetOfficeAppExePath(officeApp);
    const Text retired = progId + u"\\Shell\\Open With " + Text(kRetiredVerb);
    registry.DeleteRegistryKey(HKEY_CLASSES_ROOT, retired + u"\\command");
    registry.DeleteRegistryKey(HKEY_CLASSES_ROOT, retired);
    setClassDefault(progId + u"\\Shell\\Open With " + Text(application) + u"\\command", exe + u" \"%1\"");
    return true;
}

}  // namespace lark::sysinfo
