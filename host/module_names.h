// module_names.h - paths between the command line and the module. The module speaks Windows
// syntax in its ANSI code page: code page 1252 (or whatever Windows has) in the DLL, UTF-8 in the
// Linux build. So names pass as the system spells them, bytes unchanged, and only the separators
// are turned: "/" into "\" on the way in, back on the way out.
#pragma once

#include <string>

namespace uuarc_host {

// A native path as the module takes it. False, with `error` set, when it cannot be carried over:
// a backslash inside a Linux name (the module would read it as a separator), or more bytes than
// the module accepts.
bool ToModulePath(const std::string& native, std::string& module, std::string& error);

// The output-file setting (UUARC_OUTPUT_FILE, uuarc.h) that names the file at `native` to the
// module. False, with `error` set, as ToModulePath, for a path that ends in a separator (a
// folder), and where the module has no such setting (the 32-bit DLL).
bool ToModuleFile(const std::string& native, std::string& setting, std::string& error);

// A path that the module hands back (Windows syntax) as the system here spells it.
std::string ToNativePath(const std::string& module);

}  // namespace uuarc_host
