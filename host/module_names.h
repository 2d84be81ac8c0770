// module_names.h - paths between the command line and the module. The module speaks Windows
// syntax in its ANSI code page: code page 1252 (or whatever Windows has) in the DLL, UTF-8 in the
// Linux build. So names pass as the system spells them, bytes unchanged, and only the separators
// are turned: "/" into "\" on the way in, back on the way out.
//
// The module takes paths of at most 255 bytes, as the DLLs' host interface fixes them. Linux takes
// longer ones, up to 4095 bytes: such a path reaches the module through the deepest folder on it
// that exists, held open for the purpose (HoldFolder, system.h), whose short name stands for its
// start ("/proc/self/fd/N/rest"). What the module hands back is spelt with the folder's own path
// again (FromModulePath), so that messages and the host's own calls name what the user named.
#pragma once

#include <cstddef>
#include <string>

namespace uuarc_host {

// A native path as the module takes it, through a held folder where it is over 255 bytes. False,
// with `error` set, when it cannot be carried over: a backslash inside a Linux name (the module
// would read it as a separator), or more bytes than the module accepts and no folder to stand in.
bool ToModulePath(const std::string& native, std::string& module, std::string& error);

// The output-file setting (UUARC_OUTPUT_FILE, uuarc.h) that names the file at `native` to the
// module. False, with `error` set, as ToModulePath, for a path that ends in a separator (a
// folder), and where the module has no such setting (the 32-bit DLL).
bool ToModuleFile(const std::string& native, std::string& setting, std::string& error);

// The output folder (-d) as the module takes it. On Linux it ends in a separator, so that no
// folder (say "-d :null:") is taken for a reserved output, and a folder that leaves the module less
// room below it than the longest stored name (UUARC_MAX_STORED_NAME bytes within
// UUARC_MAX_OUTPUT_PATH) goes through the deepest folder of it that exists, where that is shorter.
bool ToModuleFolder(const std::string& native, std::string& module, std::string& error);

// A path that the module hands back (Windows syntax) as the system here spells it, a held folder's
// short name replaced by its path.
std::string FromModulePath(const std::string& module);

// A stored name, or a part of one, with the separators of the system here.
std::string ToNativePath(const std::string& module);

// The last component of a path in either spelling, separators at its end left out ("a/b/" is
// "b"); "" when it has none.
std::string BaseName(const std::string& path);

// The folders held so far; ReleaseHeldFolders(mark) lets go of those held since `mark` was taken,
// once the module is done with every path that names them.
size_t HeldFolderCount();
void ReleaseHeldFolders(size_t mark);

}  // namespace uuarc_host
