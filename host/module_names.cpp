// module_names.cpp - the separators of module_names.h; every other byte passes as it is.
#include "host/module_names.h"

#include "uuarc.h"

namespace uuarc_host {

bool ToModulePath(const std::string& native, std::string& module, std::string& error) {
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
    if (module.size() > UUARC_MAX_HOST_PATH) {
        error = "the path is longer than " + std::to_string(UUARC_MAX_HOST_PATH) + " bytes";
        return false;
    }
    return true;
}

bool ToModuleFile(const std::string& native, std::string& setting, std::string& error) {
#if defined(UUARC_OUTPUT_FILE)
    if (!native.empty() && (native.back() == '/' || native.back() == '\\')) {
        error = "it ends in a separator, so it names a folder, not a file";
        return false;
    }
    // The setting, prefix and all, is a host path.
    const size_t longest = UUARC_MAX_HOST_PATH - std::string(UUARC_OUTPUT_FILE).size();
    if (native.size() > longest) {
        error = "the path is longer than " + std::to_string(longest) + " bytes";
        return false;
    }
    if (!ToModulePath(native, setting, error)) return false;
    setting.insert(0, UUARC_OUTPUT_FILE);
    return true;
#else
    (void)native;
    (void)setting;
    error = "the 32-bit module writes no file under a name of the host's; use -d DIR or -c";
    return false;
#endif
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

}  // namespace uuarc_host
