// module_names.cpp - the separators of module_names.h; every other byte passes as it is.
#include "host/module_names.h"

#include "module/uuarc.h"

namespace uuarc_host {

bool ToModulePath(const std::string& native, std::string& module, std::string& error) {
    module.clear();
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
