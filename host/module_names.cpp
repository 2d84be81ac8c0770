// module_names.cpp - the separators and the held folders of module_names.h; every other byte
// passes as it is.
#include "host/module_names.h"

#include <vector>

#include "host/system.h"
#include "uuarc.h"

namespace uuarc_host {

namespace {

// A folder held open for the module: its short name, and its path as the user spelt it.
struct Held {
    HeldFolder folder;
    std::string path;
};
std::vector<Held> g_held;

// "/" to "\". False for a backslash inside a Linux name.
bool Convert(const std::string& native, std::string& module, [[maybe_unused]] std::string& error) {
    module.clear();
    module.reserve(native.size());
    for (char c : native) {
#if !defined(_WIN32)
        if (c == '\\') {
            error = "a backslash in a name cannot be passed to the module";
            return false;
        }
#endif
        module += c == '/' ? '\\' : c;
    }
    return true;
}

// `native` from the deepest folder on it that exists and can be held, whose short name stands
// for the path up to it, within `limit` bytes; "" when no folder leaves a rest that short. The
// path itself is tried first, as a folder; a separator at its end stays after the short name.
std::string ThroughHeldFolder(const std::string& native, size_t limit) {
    size_t end = !native.empty() && native.back() == '/' ? native.size() - 1 : native.size();
    while (end != std::string::npos && end > 0) {
        const std::string rest = native.substr(end);
        if (kMaxHeldFolderName + rest.size() > limit) break;
        const std::string folder = native.substr(0, end);
        for (const Held& held : g_held) {
            if (held.path == folder) return held.folder.name + rest;
        }
        Held held;
        if (HoldFolder(folder, held.folder)) {
            held.path = folder;
            g_held.push_back(held);
            return held.folder.name + rest;
        }
        end = native.rfind('/', end - 1);
    }
    return std::string();
}

// ToModulePath for a module that takes at most `limit` bytes.
bool ToModulePathWithin(const std::string& native, size_t limit, std::string& module, std::string& error) {
    if (!Convert(native, module, error)) return false;
    if (module.size() <= limit) return true;
    const std::string shortened = ThroughHeldFolder(native, limit);
    if (!shortened.empty()) return Convert(shortened, module, error);
    error = "the path is longer than " + std::to_string(limit) + " bytes";
#if !defined(_WIN32)
    error += ", even from the last folder on it that can be held open";
#endif
    return false;
}

}  // namespace

bool ToModulePath(const std::string& native, std::string& module, std::string& error) {
    return ToModulePathWithin(native, UUARC_MAX_HOST_PATH, module, error);
}

bool ToModuleFile([[maybe_unused]] const std::string& native, [[maybe_unused]] std::string& setting,
                  std::string& error) {
#if defined(UUARC_OUTPUT_FILE)
    if (!native.empty() && (native.back() == '/' || native.back() == '\\')) {
        error = "it ends in a separator, so it names a folder, not a file";
        return false;
    }
    // The setting, prefix and all, is a host path.
    if (!ToModulePathWithin(native, UUARC_MAX_HOST_PATH - std::string(UUARC_OUTPUT_FILE).size(), setting, error)) {
        return false;
    }
    setting.insert(0, UUARC_OUTPUT_FILE);
    return true;
#else
    error = "the 32-bit module writes no file under a name of the host's; use -d DIR or -c";
    return false;
#endif
}

bool ToModuleFolder(const std::string& native, std::string& module, std::string& error) {
#if defined(_WIN32)
    return ToModulePath(native, module, error);
#else
    const std::string folder = !native.empty() && native.back() == '/' ? native : native + '/';
    if (!Convert(folder, module, error)) return false;
    if (module.size() + UUARC_MAX_STORED_NAME <= UUARC_MAX_OUTPUT_PATH) return true;
    const std::string shortened = ThroughHeldFolder(folder, UUARC_MAX_HOST_PATH);
    if (!shortened.empty() && shortened.size() < folder.size()) return Convert(shortened, module, error);
    return ToModulePath(folder, module, error);
#endif
}

std::string FromModulePath(const std::string& module) {
    const std::string native = ToNativePath(module);
    for (const Held& held : g_held) {
        const std::string& name = held.folder.name;
        if (native.compare(0, name.size(), name) == 0 && (native.size() == name.size() || native[name.size()] == '/')) {
            return held.path + native.substr(name.size());
        }
    }
    return native;
}

std::string ToNativePath(const std::string& module) {
#if defined(_WIN32)
    return module;
#else
    std::string native = module;
    for (char& c : native) {
        if (c == '\\') c = '/';
    }
    return native;
#endif
}

std::string BaseName(const std::string& path) {
    const size_t end = path.find_last_not_of("/\\");
    if (end == std::string::npos) return std::string();
    const size_t separator = path.find_last_of("/\\", end);
    const size_t start = separator == std::string::npos ? 0 : separator + 1;
    return path.substr(start, end + 1 - start);
}

size_t HeldFolderCount() { return g_held.size(); }

void ReleaseHeldFolders(size_t mark) {
    while (g_held.size() > mark) {
        ReleaseFolder(g_held.back().folder);
        g_held.pop_back();
    }
}

}  // namespace uuarc_host
