#include "registry/Registry.hpp"

#include "frame/arrays.hpp"
#include "frame/errors.hpp"
#include "frame/per_thread.hpp"
#include "frame/platform_text.hpp"
#include "registry/read_ahead.hpp"
#include "sysinfo/CDeploy2.hpp"

#include <shlwapi.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>

namespace lark::registry {

using com::unique_hkey;

namespace {

constexpr int32_t errUnsupportedType = 1001;
constexpr DWORD kNameBuffer = 260;
constexpr DWORD kStringBuffer = 1024;
constexpr DWORD kDataBuffer = 4096;
constexpr DWORD kMaxEnumerated = 1000000;
// Threads reading keys ahead of an export's walk: the walk waits on round trips, not on the
// processor, so more helpers than processors still pay. Starting one costs about as much as
// reading five keys, so they start only once that many keys wait to be read.
constexpr size_t kExportHelpers = 4;
constexpr size_t kExportHelpersFrom = 16;

std::string ansi(Units text) { return com::toAnsi(text); }

// Names handed to the registry calls. Inside the platform a name becomes a counted string of at
// most 32,767 UTF-16 units, and a longer ANSI name has its length cut modulo 65,536, so that it
// addresses another key or value (or the key itself); a key tree is at most 512 levels deep.
// A name beyond that addresses nothing: it fails as the platform's refusal would, with error 99.
constexpr size_t kMaxNameBytes = 32767;
constexpr size_t kMaxKeyLevels = 512;

std::string valueNameText(Units name) {
    std::string text = ansi(name);
    if (text.size() > kMaxNameBytes) raise(errRegistry);
    return text;
}

std::string keyPathText(Units path) {
    if (static_cast<size_t>(std::count(path.begin(), path.end(), u'\\')) >= kMaxKeyLevels) raise(errRegistry);
    return valueNameText(path);
}

std::u16string fromBytes(const BYTE* data, size_t count) {
    return com::fromAnsi(std::string_view(reinterpret_cast<const char*>(data), count));
}

// The value type asked for, as the 16-bit integer it is held in; outside that range is an
// overflow.
int16_t typeCode(LONG type) {
    if (type < std::numeric_limits<int16_t>::min() || type > std::numeric_limits<int16_t>::max()) raise(errOverflow);
    return static_cast<int16_t>(type);
}

com::unique_variant converted(const VARIANT& value, VARTYPE type) {
    com::unique_variant plain, out;
    com::check(VariantCopyInd(&plain, const_cast<VARIANT*>(&value)));
    com::check(VariantChangeType(&out, &plain, 0, type));
    return out;
}

com::unique_variant longVariant(LONG value) {
    com::unique_variant v;
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

com::unique_variant textVariant(std::u16string_view text) {
    com::unique_variant v;
    v.bstrVal = com::allocBstr(text);
    v.vt = VT_BSTR;
    return v;
}

// A Byte array with lower bound 0 holding exactly these bytes.
com::unique_variant bytesVariant(const BYTE* data, size_t count) {
    com::unique_safearray array(SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(count)));
    if (!array) raise(errOutOfMemory);
    if (count) std::copy_n(data, count, static_cast<BYTE*>(array.get()->pvData));
    com::unique_variant v;
    v.parray = array.release();
    v.vt = VT_ARRAY | VT_UI1;
    return v;
}

// The bytes of a Byte array held in a Variant, from its lower to its upper bound.
std::vector<BYTE> bytesOf(const VARIANT& value) {
    const VARIANT* v = &value;
    while (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal)
        v = v->pvarVal;
    if ((v->vt & ~VT_BYREF) != (VT_ARRAY | VT_UI1)) raise(errTypeMismatch);
    SAFEARRAY* array = (v->vt & VT_BYREF) ? (v->pparray ? *v->pparray : nullptr) : v->parray;
    if (!array) return {};  // never dimensioned
    com::TypedVectorAccess<BYTE, VT_UI1> bytes(array);
    std::vector<BYTE> out;
    for (int64_t i = bytes.bounds().lower; i <= bytes.bounds().upper; ++i)
        out.push_back(bytes[i]);
    return out;
}

// Enumeration results start with room for 101 entries and grow by about a hundred at a time.
template <class T>
void makeRoomFor(std::vector<T>& items) {
    if (items.size() >= items.capacity()) items.reserve(std::max<size_t>(101, items.size() + 100));
}

// The data of a value read into a fresh buffer of size bytes: the platform's result, the type
// and the data cut to the reported size.
struct ValueRead {
    LONG status = ERROR_FILE_NOT_FOUND;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

ValueRead queryValue(HKEY key, const char* name, DWORD size) {
    ValueRead r;
    r.data.resize(size);
    DWORD got = size;
    r.status = RegQueryValueExA(key, name, nullptr, &r.type, r.data.data(), &got);
    r.data.resize(r.status == ERROR_SUCCESS ? std::min(got, size) : 0);
    return r;
}

// One entry of a value enumeration read with a name buffer of 260 bytes and a data buffer of
// dataSize bytes.
struct EnumRead {
    LONG status = ERROR_NO_MORE_ITEMS;
    std::u16string name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

EnumRead enumValue(HKEY key, DWORD index, DWORD dataSize) {
    EnumRead r;
    char name[kNameBuffer] = {};
    DWORD nameLength = kNameBuffer;
    r.data.resize(dataSize);
    DWORD got = dataSize;
    r.status = RegEnumValueA(key, index, name, &nameLength, nullptr, &r.type, r.data.data(), &got);
    if (r.status == ERROR_MORE_DATA) {
        r.data.resize(got);  // the size the data need
    } else if (r.status == ERROR_SUCCESS) {
        r.name = fromBytes(reinterpret_cast<BYTE*>(name), std::min<DWORD>(nameLength, kNameBuffer - 1));
        r.data.resize(std::min(got, dataSize));
    }
    return r;
}

// The name of subkey index, or nothing when the enumeration ends there.
std::optional<std::u16string> enumKey(HKEY key, DWORD index) {
    char name[kNameBuffer] = {};
    if (RegEnumKeyA(key, index, name, kNameBuffer) != ERROR_SUCCESS) return std::nullopt;
    return fromBytes(reinterpret_cast<BYTE*>(name), strnlen(name, kNameBuffer));
}

// CheckResult: a platform failure becomes error 99.
void checkResult(LONG status) {
    if (status != ERROR_SUCCESS) raise(errRegistry);
}

// Whether the path's last component is the 32-bit view's node (a trailing backslash allowed).
bool endsWithWowNode(Units keyName) {
    auto endsWith = [&](Units tail) {
        return keyName.size() >= tail.size() &&
               com::textCompare(keyName.substr(keyName.size() - tail.size()), tail) == 0;
    };
    return endsWith(u"Wow6432Node") || endsWith(u"Wow6432Node\\");
}

// The key at path below hKey, deleted when it has no subkeys.
LONG deleteKey(HKEY hKey, Units keyName) { return RegDeleteKeyA(hKey, keyPathText(keyName).c_str()); }

// The same in the registry view given. RegDeleteKeyExA is looked up, not imported: the x86
// library also loads on systems without it.
LONG deleteKeyInView(HKEY hKey, Units keyName, REGSAM view) {
    const std::string path = keyPathText(keyName);
    using DeleteKeyExFn = LONG(WINAPI*)(HKEY, LPCSTR, REGSAM, DWORD);
    HMODULE advapi = GetModuleHandleA("advapi32");
    auto deleteKeyEx =
        advapi
            ? reinterpret_cast<DeleteKeyExFn>(reinterpret_cast<void (*)()>(GetProcAddress(advapi, "RegDeleteKeyExA")))
            : nullptr;
    return deleteKeyEx ? deleteKeyEx(hKey, path.c_str(), view, 0) : ERROR_CALL_NOT_IMPLEMENTED;
}

// The key at path below hKey with all its subkeys. The shell converts the path into a buffer of
// MAX_PATH characters and reads past it for a longer one.
LONG deleteTree(HKEY hKey, Units keyName) {
    const std::string path = keyPathText(keyName);
    if (path.size() >= MAX_PATH) raise(errRegistry);
    return SHDeleteKeyA(hKey, path.c_str());
}

// The key at path below hKey, opened with access; owns nothing when the platform refuses.
unique_hkey open(HKEY hKey, Units keyName, REGSAM access) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(hKey, keyPathText(keyName).c_str(), 0, access, &key) != ERROR_SUCCESS) return {};
    return unique_hkey(key);
}

// The key at path below hKey, created when missing; owns nothing when the platform refuses.
// disposition, when given, tells whether it was created or already there.
unique_hkey create(HKEY hKey, Units keyName, REGSAM access, DWORD* disposition = nullptr) {
    unique_hkey key;
    if (RegCreateKeyExA(hKey, keyPathText(keyName).c_str(), 0, nullptr, 0, access, nullptr, key.put(), disposition) !=
        ERROR_SUCCESS)
        return {};
    return key;
}

// The key an enumeration runs on: hKey itself for an empty path (never closed here), else the
// path opened for reading; key is null when it does not open.
struct EnumTarget {
    unique_hkey owned;
    HKEY key = nullptr;
};

EnumTarget enumTarget(HKEY hKey, Units keyName, REGSAM readAccess) {
    if (keyName.empty()) return {unique_hkey(), hKey};
    EnumTarget target{open(hKey, keyName, readAccess)};
    target.key = target.owned.get();
    return target;
}

// The names of the direct subkeys of an open key, in enumeration order; at most count of them.
std::vector<std::u16string> subKeyNames(HKEY key, DWORD count = kMaxEnumerated) {
    std::vector<std::u16string> names;
    for (DWORD i = 0; i < count; ++i) {
        std::optional<std::u16string> name = enumKey(key, i);
        if (!name) break;
        makeRoomFor(names);
        names.push_back(std::move(*name));
    }
    names.shrink_to_fit();
    return names;
}

// The values of an open key, at most count of them; the list ends at the first that cannot be
// read.
std::vector<RegEntry> listValues(HKEY key, DWORD count) {
    std::vector<RegEntry> entries;
    stopOnError([&] {
        for (DWORD i = 0; i < count; ++i) {
            EnumRead r = enumValue(key, i, kDataBuffer);
            // Larger data are read again into a buffer of the size they need.
            if (r.status == ERROR_MORE_DATA) r = enumValue(key, i, static_cast<DWORD>(r.data.size()));
            if (r.status != ERROR_SUCCESS) break;
            entries.push_back(regEntry(std::move(r.name), r.type, r.data, com::fromAnsi));
        }
    });
    return entries;
}

// What the export writes for one key: the key line, its values' lines and the blank line that
// ends the block; with the subtree asked for, the names of its subkeys too. One open of the key
// serves both, and the counts spare each listing the call that would only report its end. Safe
// to call from several threads at once.
struct KeyBlock {
    std::u16string text;
    std::vector<std::u16string> subKeys;
};

KeyBlock readKeyBlock(HKEY hKey, Units keyName, REGSAM readAccess, bool withSubKeys) {
    KeyBlock block;
    appendKeyLine(block.text, static_cast<uint32_t>(reinterpret_cast<uintptr_t>(hKey)), keyName);
    EnumTarget key;
    skipOnError([&] { key = enumTarget(hKey, keyName, readAccess); });
    DWORD subKeys = kMaxEnumerated, values = kMaxEnumerated;
    if (key.key && RegQueryInfoKeyA(key.key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, nullptr,
                                    nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        subKeys = values = kMaxEnumerated;
    if (key.key) {
        skipOnError([&] {
            for (const RegEntry& entry : listValues(key.key, values))
                appendValueLine(block.text, entry);
        });
    }
    block.text += u"\r\n";
    if (withSubKeys && key.key) skipOnError([&] { block.subKeys = subKeyNames(key.key, subKeys); });
    return block;
}

// The whole file as bytes; opening it creates an empty file when there is none. Nothing when
// it cannot be opened or read.
std::optional<std::string> readOrCreate(const std::string& path) {
    com::unique_hfile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::nullopt;
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got)
        bytes.append(buffer, got);
    return bytes;
}

// The export's file: appended to (created when missing), or created anew.
com::unique_hfile openForWriting(const std::string& path, bool append) {
    return com::unique_hfile(CreateFileA(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE, FILE_SHARE_READ,
                                         nullptr, append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                         nullptr));
}

// Writes text in the ANSI code page with one write.
void writeText(HANDLE file, Units text) {
    const std::string bytes = ansi(text);
    DWORD written = 0;
    if (!WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) || written != bytes.size())
        raise(errPathAccess);
}

// The default value of an open key as text, read with a 260-byte buffer; nothing when it
// cannot be read.
std::optional<std::u16string> defaultText(HKEY key) {
    ValueRead r = queryValue(key, nullptr, kNameBuffer);
    if (r.status != ERROR_SUCCESS) return std::nullopt;
    return r.data.empty() ? std::u16string() : fromBytes(r.data.data(), r.data.size() - 1);
}

std::u16string upperCase(Units text) {
    std::u16string out(text);
    if (!out.empty()) CharUpperBuffW(reinterpret_cast<wchar_t*>(out.data()), static_cast<DWORD>(out.size()));
    return out;
}

constexpr LPCWSTR kPlacementValues[] = {L"ShowCmd", L"rcNormalPositionLeft", L"rcNormalPositionTop",
                                        L"rcNormalPositionRight", L"rcNormalPositionBottom"};

Units units(LPCWSTR text) { return reinterpret_cast<const char16_t*>(text); }

}  // namespace

// The system does not change while the library runs: asked once, then kept.
bool Registry::is64bit() {
    if (!answered_) {
        answer_.is64bit = sysinfo::sharedDeploy().Is64bit();
        answered_ = true;
    }
    return answer_.is64bit;
}

REGSAM Registry::viewFlag() {
    if (!is64bit()) return 0;
    return view64_ ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
}

unique_hkey Registry::openOrCreateForWriting(HKEY hKey, Units keyName) {
    unique_hkey key = open(hKey, keyName, WriteAccessMask());
    if (key) return key;
    create(hKey, keyName, CreateAccessMask());
    return open(hKey, keyName, WriteAccessMask());
}

void Registry::SetView64(bool value) {
    skipOnError([&] {
        if (is64bit()) view64_ = value;
    });
}

bool Registry::CheckRegistryKey(HKEY hKey, Units keyName, bool checkWrite) {
    bool result = false;
    skipOnError([&] {
        result = static_cast<bool>(open(hKey, keyName, ReadAccessMask() | (checkWrite ? WriteAccessMask() : 0)));
    });
    return result;
}

bool Registry::CreateRegistryKey(HKEY hKey, Units keyName) {
    bool existed = false;
    stopOnError([&] {
        DWORD disposition = 0;
        if (create(hKey, keyName, CreateAccessMask(), &disposition)) {
            existed = disposition == REG_OPENED_EXISTING_KEY;
        } else {
            existed = static_cast<bool>(open(hKey, keyName, WriteAccessMask()));
        }
    });
    return existed;
}

bool Registry::DeleteRegistryKey(HKEY hKey, Units keyName) {
    bool deleted = false;
    stopOnError([&] {
        if (!is64bit()) {
            deleted = deleteKey(hKey, keyName) == ERROR_SUCCESS;
        } else if (endsWithWowNode(keyName)) {
            deleted = true;  // the 32-bit view's node is never deleted
        } else {
            deleted = deleteKeyInView(hKey, keyName, viewFlag()) == ERROR_SUCCESS;
        }
    });
    return deleted;
}

bool Registry::DeleteRegistryKeyDeep(HKEY hKey, Units keyName) {
    bool deleted = false;
    stopOnError([&] {
        if (keyName.empty()) return;
        if (!is64bit()) {
            deleted = deleteTree(hKey, keyName) == ERROR_SUCCESS;
        } else {
            deleted = DeleteKeyTree(hKey, keyName);
        }
    });
    return deleted;
}

bool Registry::DeleteKeyTree(HKEY hKey, Units keyName) {
    if (DeleteRegistryKey(hKey, keyName)) return true;
    if (!CheckRegistryKey(hKey, keyName)) return true;  // nothing there to delete
    for (const std::u16string& name : ListSubKeys(hKey, keyName)) {
        if (com::textCompare(name, u"Wow6432Node") == 0) continue;
        DeleteKeyTree(hKey, std::u16string(keyName) + u'\\' + name);
    }
    return DeleteRegistryKey(hKey, keyName);
}

LONG Registry::GetRegistryValueType(HKEY hKey, Units keyName, Units valueName) {
    LONG type = 0;
    stopOnError([&] {
        unique_hkey key = open(hKey, keyName, ReadAccessMask());
        if (!key) return;
        DWORD found = REG_NONE, size = 0;
        const LONG status =
            RegQueryValueExA(key.get(), valueNameText(valueName).c_str(), nullptr, &found, nullptr, &size);
        if (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) type = static_cast<LONG>(found);
    });
    return type;
}

com::unique_variant Registry::GetRegistryValue(HKEY hKey, Units keyName, Units valueName, LONG type,
                                               const VARIANT* defaultValue) {
    com::unique_variant result = textVariant(u"");  // what an error leaves
    stopOnError([&] {
        com::unique_variant answer;
        if (defaultValue) {
            com::check(VariantCopyInd(&answer, const_cast<VARIANT*>(defaultValue)));
        } else {
            answer.vt = VT_ERROR;
            answer.scode = DISP_E_PARAMNOTFOUND;
        }
        const int16_t code = typeCode(type);
        unique_hkey key = open(hKey, keyName, ReadAccessMask());
        if (key) {
            const std::string name = valueNameText(valueName);
            switch (code) {
                case REG_DWORD: {
                    ValueRead r = queryValue(key.get(), name.c_str(), 4);
                    if (r.status == ERROR_SUCCESS) answer = longVariant(numberFromData(r.data));
                    break;
                }
                case REG_SZ:
                case REG_EXPAND_SZ:
                case REG_MULTI_SZ: {
                    ValueRead r = queryValue(key.get(), name.c_str(), kStringBuffer);
                    // A value of no bytes or of the NUL alone is empty and answers the default.
                    if (r.status == ERROR_SUCCESS && r.data.size() > 1)
                        answer = textVariant(fromBytes(r.data.data(), r.data.size() - 1));
                    break;
                }
                case REG_BINARY: {
                    ValueRead r = queryValue(key.get(), name.c_str(), kDataBuffer);
                    if (r.status == ERROR_SUCCESS) answer = bytesVariant(r.data.data(), r.data.size());
                    break;
                }
                default:
                    raise(errUnsupportedType, {}, u"Unsupported value type");
            }
        }
        result = std::move(answer);
    });
    return result;
}

bool Registry::CheckRegistryValue(HKEY hKey, Units keyName, Units valueName, LONG type) {
    bool readable = false;
    stopOnError([&] {
        unique_hkey key = open(hKey, keyName, ReadAccessMask());
        if (!key) return;
        const DWORD size = type == REG_SZ ? kStringBuffer : kDataBuffer;
        if (type == REG_SZ || type == REG_BINARY || type == REG_MULTI_SZ)
            readable = queryValue(key.get(), valueNameText(valueName).c_str(), size).status == ERROR_SUCCESS;
    });
    return readable;
}

void Registry::SetRegistryValue(HKEY hKey, Units keyName, Units valueName, LONG type, const VARIANT& value) {
    int16_t code = REG_NONE;
    skipOnError([&] { code = typeCode(type); });
    unique_hkey key;
    skipOnError([&] { key = openOrCreateForWriting(hKey, keyName); });
    std::optional<std::string> name;  // none for a name that addresses no value
    skipOnError([&] { name = valueNameText(valueName); });
    if (!key || !name) return;
    switch (code) {
        case REG_DWORD: {
            LONG number = 0;
            skipOnError([&] { number = converted(value, VT_I4).lVal; });
            RegSetValueExA(key.get(), name->c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
            break;
        }
        case REG_SZ:
        case REG_EXPAND_SZ:
        case REG_MULTI_SZ: {
            std::string text;
            skipOnError([&] { text = ansi(com::view(converted(value, VT_BSTR).bstrVal)); });
            // With its one closing NUL; the empty text is stored as no bytes at all.
            RegSetValueExA(key.get(), name->c_str(), 0, static_cast<DWORD>(code),
                           reinterpret_cast<const BYTE*>(text.c_str()),
                           text.empty() ? 0 : static_cast<DWORD>(text.size() + 1));
            break;
        }
        case REG_BINARY:
            skipOnError([&] {
                const std::vector<BYTE> bytes = bytesOf(value);
                RegSetValueExA(key.get(), name->c_str(), 0, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size()));
            });
            break;
        default:
            break;  // the key stays created, nothing is written
    }
}

std::u16string Registry::GetRegistryText(HKEY hKey, Units keyName, Units valueName, Units defaultText) {
    const com::unique_variant fallback = textVariant(defaultText);
    const com::unique_variant value = GetRegistryValue(hKey, keyName, valueName, REG_SZ, &fallback);
    return value.vt == VT_BSTR ? std::u16string(com::view(value.bstrVal)) : std::u16string();
}

void Registry::SetRegistryText(HKEY hKey, Units keyName, Units valueName, Units text) {
    SetRegistryValue(hKey, keyName, valueName, REG_SZ, textVariant(text));
}

bool Registry::SetRegistryValueArray(HKEY hKey, Units keyName, SAFEARRAY* valueNames, SAFEARRAY* values) {
    bool written = false;
    stopOnError([&] {
        const std::optional<com::VectorBounds> names = com::vectorBounds(valueNames), texts = com::vectorBounds(values);
        if (!names || !texts || names->lower != texts->lower || names->upper != texts->upper) return;
        com::BstrVectorAccess nameAt(valueNames), textAt(values);
        unique_hkey key = openOrCreateForWriting(hKey, keyName);
        if (!key) return;
        for (int64_t i = names->lower; i <= names->upper; ++i) {
            const std::string text = ansi(com::view(textAt[i]));
            if (RegSetValueExA(key.get(), valueNameText(com::view(nameAt[i])).c_str(), 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(text.c_str()),
                               text.empty() ? 0 : static_cast<DWORD>(text.size() + 1)) != ERROR_SUCCESS)
                return;
        }
        written = true;
    });
    return written;
}

void Registry::DeleteRegistryValue(HKEY hKey, Units keyName, Units valueName) {
    stopOnError([&] {
        if (unique_hkey key = open(hKey, keyName, WriteAccessMask()))
            RegDeleteValueA(key.get(), valueNameText(valueName).c_str());
    });
}

std::vector<std::u16string> Registry::EnumRegistryKeys(HKEY hKey, Units keyName) {
    std::vector<std::u16string> names;
    skipOnError([&] {
        const EnumTarget target = enumTarget(hKey, keyName, ReadAccessMask());
        if (target.key) names = subKeyNames(target.key);
    });
    return names;
}

com::unique_safearray Registry::EnumRegistryValues(HKEY hKey, Units keyName) {
    std::vector<std::pair<com::unique_variant, com::unique_variant>> entries;
    skipOnError([&] {
        const EnumTarget target = enumTarget(hKey, keyName, ReadAccessMask());
        if (!target.key) return;
        for (DWORD i = 0; i < kMaxEnumerated; ++i) {
            EnumRead r = enumValue(target.key, i, kDataBuffer);
            if (r.status != ERROR_SUCCESS) break;
            com::unique_variant data;
            if (r.type == REG_SZ) {
                data = textVariant(r.data.empty() ? std::u16string() : fromBytes(r.data.data(), r.data.size() - 1));
            } else if (r.type == REG_DWORD) {
                data = longVariant(numberFromData(r.data));
            } else {
                data = bytesVariant(r.data.data(), r.data.size());
            }
            makeRoomFor(entries);
            entries.emplace_back(textVariant(r.name), std::move(data));
        }
    });
    if (entries.empty()) return {};
    SAFEARRAYBOUND bounds[2] = {{2, 0}, {static_cast<ULONG>(entries.size()), 0}};
    com::unique_safearray array(SafeArrayCreate(VT_VARIANT, 2, bounds));
    if (!array) raise(errOutOfMemory);
    VARIANT* slots = static_cast<VARIANT*>(array.get()->pvData);
    for (size_t i = 0; i < entries.size(); ++i) {  // element (0, i) is at 2i, (1, i) at 2i + 1
        slots[2 * i] = entries[i].first.release();
        slots[2 * i + 1] = entries[i].second.release();
    }
    return array;
}

void Registry::CreateRegistryKeyRecursive(HKEY hKey, Units keyName) {
    auto there = [&](Units path) {
        return open(hKey, path, WriteAccessMask()) || create(hKey, path, CreateAccessMask());
    };
    // Up from the path, one level a step, to the first key that is there or can be made; then
    // down again, making each missing level below it.
    std::vector<Units> missing;
    for (Units path = keyName; !there(path);) {
        missing.push_back(path);
        const size_t slash = path.rfind(u'\\');
        if (slash == Units::npos || slash == 0) raise(errRegistry);
        path = path.substr(0, slash);
    }
    for (auto path = missing.rbegin(); path != missing.rend(); ++path)
        if (!create(hKey, *path, CreateAccessMask())) raise(errRegistry);
}

std::vector<std::u16string> Registry::ListSubKeys(HKEY hKey, Units keyName) { return EnumRegistryKeys(hKey, keyName); }

void Registry::CopyRegistryKey(HKEY hKey, Units sourceKeyName, Units targetKeyName, bool recurse) {
    stopOnError([&] {
        unique_hkey source = open(hKey, sourceKeyName, ReadAccessMask());
        if (!source) raise(errRegistry);
        unique_hkey target = open(hKey, targetKeyName, WriteAccessMask());
        if (!target) {
            CreateRegistryKeyRecursive(hKey, targetKeyName);
            target = open(hKey, targetKeyName, WriteAccessMask());
            if (!target) raise(errRegistry);
        }
        for (DWORD i = 0;; ++i) {
            EnumRead r = enumValue(source.get(), i, kDataBuffer);
            if (r.status != ERROR_SUCCESS) break;
            if (r.type != REG_SZ && r.type != REG_EXPAND_SZ && r.type != REG_BINARY && r.type != REG_DWORD &&
                r.type != REG_MULTI_SZ)
                continue;
            checkResult(RegSetValueExA(target.get(), valueNameText(r.name).c_str(), 0, r.type, r.data.data(),
                                       static_cast<DWORD>(r.data.size())));
        }
        if (!recurse) return;
        for (DWORD i = 0;; ++i) {
            std::optional<std::u16string> name = enumKey(source.get(), i);
            if (!name) break;
            CopyRegistryKey(hKey, std::u16string(sourceKeyName) + u'\\' + *name,
                            std::u16string(targetKeyName) + u'\\' + *name, true);
        }
    });
}

void Registry::SaveRegToFile(HKEY hKey, Units keyName, Units regFile, bool includeSubKeys, bool appendToFile) {
    std::u16string header;
    com::unique_hfile file;
    skipOnError([&] {
        const std::string path = ansi(regFile);
        if (!appendToFile) {
            header = kRegHeader;
        } else if (std::optional<std::string> existing = readOrCreate(path); existing && !holdsRegHeader(*existing)) {
            header = kRegHeader;
        }
        file = openForWriting(path, appendToFile);
    });
    if (file) saveTree(hKey, keyName, file.get(), std::move(header), includeSubKeys);
}

void Registry::saveTree(HKEY hKey, Units keyName, HANDLE file, std::u16string header, bool includeSubKeys) {
    const REGSAM access = ReadAccessMask();
    const auto read = [=](const std::u16string& path) { return readKeyBlock(hKey, path, access, includeSubKeys); };
    ReadAhead<std::u16string, KeyBlock, decltype(read)> walk(read, kExportHelpers, kExportHelpersFrom);
    walk.push({std::u16string(keyName)});
    while (!walk.empty()) {
        skipOnError([&] {
            auto [path, block] = walk.pop();
            header += block.text;
            skipOnError([&] { writeText(file, header); });
            header.clear();
            std::vector<std::u16string> subKeys;
            subKeys.reserve(block.subKeys.size());
            for (const std::u16string& name : block.subKeys)
                subKeys.push_back(path + u'\\' + name);
            walk.push(std::move(subKeys));
        });
    }
}

void Registry::ApplyRegFile(Units regFile) {
    stopOnError([&] {
        const std::string path = ansi(regFile);
        const DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
        std::string commandLine = "regedit /s \"" + path + "\"";
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW;
        startup.wShowWindow = SW_SHOWMINIMIZED;
        PROCESS_INFORMATION process{};
        if (CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                           &process)) {
            com::unique_handle owner(process.hProcess), thread(process.hThread);
        }
    });
}

void Registry::SaveWindowPos(HWND window, Units keyPath) {
    skipOnError([&] { CreateRegistryKeyRecursive(HKEY_CURRENT_USER, keyPath); });
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(window, &placement)) return;
    const LONG fields[] = {static_cast<LONG>(placement.showCmd), placement.rcNormalPosition.left,
                           placement.rcNormalPosition.top, placement.rcNormalPosition.right,
                           placement.rcNormalPosition.bottom};
    for (size_t i = 0; i < std::size(fields); ++i)
        SetRegistryValue(HKEY_CURRENT_USER, keyPath, units(kPlacementValues[i]), REG_DWORD, longVariant(fields[i]));
}

void Registry::RestoreWindowPos(HWND window, Units keyPath, LONG minWidth, LONG minHeight, LONG show) {
    stopOnError([&] {
        WINDOWPLACEMENT placement{};
        placement.length = sizeof placement;
        if (!GetWindowPlacement(window, &placement)) return;
        const com::unique_variant missing = longVariant(-1);
        LONG stored[5] = {};
        for (size_t i = 0; i < std::size(stored); ++i) {
            if (i == 0 && show != -1) {
                stored[0] = show;
                continue;
            }
            stored[i] =
                converted(GetRegistryValue(HKEY_CURRENT_USER, keyPath, units(kPlacementValues[i]), REG_DWORD, &missing),
                          VT_I4)
                    .lVal;
        }
        placement.showCmd = static_cast<UINT>(stored[0]);
        RECT& r = placement.rcNormalPosition;
        r = RECT{stored[1], stored[2], stored[3], stored[4]};
        if (r.right - r.left < minWidth) r.right = r.left + minWidth;
        if (r.bottom - r.top < minHeight) r.bottom = r.top + minHeight;
        if (r.left > 0 && r.top > 0 && r.right > 0 && r.bottom > 0) SetWindowPlacement(window, &placement);
        if (stored[0] != 0) ShowWindow(window, SW_SHOW);
        // Maximised after it is shown, once the window has handled the show.
        if (stored[0] == SW_SHOWMAXIMIZED) PostMessageA(window, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    });
}

std::u16string Registry::GetFileType(Units extension) {
    for (const auto& [known, description] : fileTypes_)
        if (com::textCompare(known, extension) == 0) return description;
    std::u16string answer(extension);  // what a failure answers
    stopOnError([&] {
        if (extension.empty()) raise(errInvalidCall);
        if (extension.front() != u'.') answer.insert(answer.begin(), u'.');
        std::u16string description;
        if (unique_hkey key = open(HKEY_CLASSES_ROOT, answer, ReadAccessMask())) {
            std::optional<std::u16string> progId = defaultText(key.get());
            key.reset();
            if (!progId) {
                description = answer;
            } else if (!progId->empty()) {
                description = *progId;
                if (unique_hkey type = open(HKEY_CLASSES_ROOT, *progId, ReadAccessMask()))
                    if (std::optional<std::u16string> text = defaultText(type.get())) description = *text;
            }
        }
        if (description.empty()) description = upperCase(answer);
        fileTypes_.emplace_back(answer, description);
        answer = description;
    });
    return answer;
}

Registry& sharedRegistry() { return com::perThread<Registry>(); }

}  // namespace lark::registry
