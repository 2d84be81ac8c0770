// module_names.h - names between the command line and the module. The module speaks Windows syntax
// in the ANSI code page (1252). On Linux the host turns UTF-8 into code page 1252 and "/" into "\"
// on the way in, and back on the way out; on Windows names pass in the ANSI code page as they
// come and only the separators are unified.
#pragma once

#include <string>

namespace uuarc_host {

// A native path as the module takes it. False, with `error` set, when it cannot be carried over:
// a character outside code page 1252, a backslash inside a Linux name (the module would read it as
// a separator), or more bytes than the module accepts.
bool ToModulePath(const std::string& native, std::string& module, std::string& error);

// A path that the module hands back (Windows syntax, ANSI) as the system here spells it.
std::string ToNativePath(const std::string& module);

}  // namespace uuarc_host
