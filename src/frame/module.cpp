#include "frame/module.hpp"

#include "frame/errors.hpp"

#include <atomic>
#include <map>
#include <mutex>

namespace lark::com {

namespace {
HMODULE g_module = nullptr;
std::atomic<long> g_inUse{0};

struct GuidLess {
    bool operator()(const GUID& a, const GUID& b) const noexcept { return memcmp(&a, &b, sizeof(GUID)) < 0; }
};

// Loaded once per process and kept, with the interface descriptions handed out so far.
struct TypeLibraryCache {
    std::mutex lock;
    ComPtr<ITypeLib> library;
    std::map<GUID, ComPtr<ITypeInfo>, GuidLess> infos;
};
TypeLibraryCache& cache() {
    static TypeLibraryCache* instance = new TypeLibraryCache;  // outlives every object
    return *instance;
}
}  // namespace

HMODULE moduleHandle() noexcept { return g_module; }
void setModuleHandle(HMODULE module) noexcept { g_module = module; }

std::wstring modulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(g_module, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) raise(errPathAccess);
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

void moduleAddRef() noexcept { ++g_inUse; }
void moduleRelease() noexcept { --g_inUse; }
bool moduleInUse() noexcept { return g_inUse.load() != 0; }

ComPtr<ITypeLib> typeLibrary() {
    TypeLibraryCache& c = cache();
    std::lock_guard guard(c.lock);
    if (!c.library) check(LoadTypeLibEx(modulePath().c_str(), REGKIND_NONE, c.library.put()));
    return c.library;
}

ComPtr<ITypeInfo> typeInfoOf(REFIID iid) {
    ComPtr<ITypeLib> library = typeLibrary();
    TypeLibraryCache& c = cache();
    std::lock_guard guard(c.lock);
    auto found = c.infos.find(iid);
    if (found != c.infos.end()) return found->second;
    ComPtr<ITypeInfo> info;
    check(library->GetTypeInfoOfGuid(iid, info.put()));
    c.infos.emplace(iid, info);
    return info;
}

}  // namespace lark::com
