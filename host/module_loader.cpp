// module_loader.cpp - the loader of module_loader.h: the search order, the system's loader
// (dlopen or LoadLibraryA) and the resolution of the exports by name.
#include "host/module_loader.h"

#include <cstdio>
#include <cstdlib>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

namespace uuarc_loader {

namespace {

#if defined(_WIN32)
constexpr char kSeparator = '\\';

void* OpenLibrary(const std::string& path, std::string& error) {
    HMODULE handle = LoadLibraryA(path.c_str());
    if (handle == nullptr) error = "error " + std::to_string(GetLastError());
    return reinterpret_cast<void*>(handle);
}

void* FindSymbol(void* handle, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}

void CloseLibrary(void* handle) { FreeLibrary(static_cast<HMODULE>(handle)); }

std::string ExecutablePath() {
    char buffer[MAX_PATH + 1] = {};
    DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    return length == 0 || length >= MAX_PATH ? std::string() : std::string(buffer, length);
}
#else
constexpr char kSeparator = '/';

void* OpenLibrary(const std::string& path, std::string& error) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* why = dlerror();
        error = why != nullptr ? why : "dlopen failed";
    }
    return handle;
}

void* FindSymbol(void* handle, const char* name) { return dlsym(handle, name); }

void CloseLibrary(void* handle) { dlclose(handle); }

// /proc/self/exe names the file itself, so a symbolic link to an installed binary still finds
// the module beside the binary it points to.
std::string ExecutablePath() {
    char buffer[4096];
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return length <= 0 ? std::string() : std::string(buffer, static_cast<size_t>(length));
}
#endif

bool FileExists(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return false;
    std::fclose(file);
    return true;
}

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

std::string ExecutableDirectory() {
    std::string path = ExecutablePath();
    size_t slash = path.find_last_of(kSeparator == '\\' ? "\\/" : "/");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

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

bool FindAndLoadModule(const std::string& installed_directory, LoadedModule& module, std::string& error) {
    const char* chosen = std::getenv(kModuleVariable);
    const bool explicit_choice = chosen != nullptr && *chosen != '\0';
    std::string tried;
    for (const std::string& candidate : ModuleCandidates(installed_directory)) {
        // An explicit choice is loaded as it is, so that its own error is the one shown.
        if (!explicit_choice && !FileExists(candidate)) {
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
