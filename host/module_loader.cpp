// module_loader.cpp - the loader of module_loader.h: the search order and the resolution of the
// exports by name, over the system's loader in system.h.
#include "host/module_loader.h"

#include <cstdlib>
#include <vector>

#include "host/system.h"

namespace uuarc_loader {

namespace {

using uuarc_host::CloseLibrary;
using uuarc_host::FindSymbol;
using uuarc_host::OpenLibrary;
constexpr char kSeparator = uuarc_host::kPathSeparator;

}  // namespace

bool LoadModuleAt(const std::string& path, LoadedModule& module, std::string& error) {
    UnloadModule(module);
    void* handle = OpenLibrary(path, error);
    if (handle == nullptr) return false;
    ModuleExports api;
#define UUARC_LOADER_RESOLVE(name)                                                     \
    api.name = reinterpret_cast<decltype(api.name)>(FindSymbol(handle, #name));        \
    if (api.name == nullptr) {                                                         \
        error = "it has no export " #name;                                             \
        CloseLibrary(handle);                                                          \
        return false;                                                                  \
    }
    UUARC_LOADER_EXPORTS(UUARC_LOADER_RESOLVE)
#undef UUARC_LOADER_RESOLVE
    module.handle = handle;
    module.path = path;
    module.api = api;
    return true;
}

void UnloadModule(LoadedModule& module) {
    if (module.handle != nullptr) CloseLibrary(module.handle);
    module = LoadedModule{};
}

namespace {

// The directory of the running executable, ending in a separator; empty when it is unknown.
std::string ExecutableDirectory() {
    std::string path = uuarc_host::ExecutablePath();
    size_t slash = path.find_last_of(kSeparator == '\\' ? "\\/" : "/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The places to look, in order (FindAndLoadModule).
std::vector<std::string> ModuleCandidates(const std::string& installed_directory) {
    const char* chosen = std::getenv(kModuleVariable);
    if (chosen != nullptr && *chosen != '\0') return {chosen};
    std::vector<std::string> candidates;
    const std::string own = ExecutableDirectory();
    if (!own.empty()) {
        candidates.push_back(own + kModuleFileName);
        std::string lib = std::string("..") + kSeparator + "lib" + kSeparator + "uuarc" + kSeparator;
        candidates.push_back(own + lib + kModuleFileName);
    }
    if (!installed_directory.empty()) {
        std::string directory = installed_directory;
        if (directory.back() != kSeparator) directory += kSeparator;
        candidates.push_back(directory + kModuleFileName);
    }
    return candidates;
}

}  // namespace

bool FindAndLoadModule(const std::string& installed_directory, LoadedModule& module, std::string& error) {
    const char* chosen = std::getenv(kModuleVariable);
    const bool explicit_choice = chosen != nullptr && *chosen != '\0';
    std::string tried;
    for (const std::string& candidate : ModuleCandidates(installed_directory)) {
        // An explicit choice is loaded as it is, so that its own error is the one shown.
        if (!explicit_choice && !uuarc_host::QueryPath(candidate).is_regular) {
            tried += (tried.empty() ? "" : ", ") + candidate;
            continue;
        }
        std::string why;
        if (LoadModuleAt(candidate, module, why)) return true;
        error = candidate + ": cannot load the module: " + why;
        return false;
    }
    error = std::string(kModuleFileName) + ": module not found (looked for " + tried + "; set " +
            kModuleVariable + " to its path)";
    return false;
}

}  // namespace uuarc_loader
