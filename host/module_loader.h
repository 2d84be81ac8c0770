// module_loader.h - finds the module (libuuarc.so or uuarc.dll), loads it and resolves its 41
// exports by name. It needs the public header and the host's system back end (system.h) only, so
// any host of the module, the command line or a test harness, can take it with that back end.
#pragma once

#include <string>

#include "uuarc.h"

namespace uuarc_loader {

// The exports in ordinal order: the first is ordinal 1.
#define UUARC_LOADER_EXPORTS(X)                                                                          \
    X(AddDamageProtXionArc) X(AppendFileMask) X(BuildArcFileList) X(BuildUnDamagedArc)                   \
    X(CompressFileMaskListArc) X(CreateArcFile) X(CreateArcSfx2) X(CreateDirectoryArc) X(CreateExeArc)   \
    X(DeleteFileMaskListArc) X(DoneArcFile) X(DoneArcFileList) X(DoneFileMaskList)                       \
    X(ExtractFileMaskListArc) X(GetArchiveStatus) X(GetExtraInfoArc) X(GetMainCommentArc)                \
    X(InitArcFile) X(InitArcFileList) X(InitFileMaskList) X(SetArchiveStatus) X(SetCompExtraFeatures)    \
    X(SetCryptKey) X(SetDecompExtraFeatures) X(SetFileCommentsArc) X(SetGetNextDiskProc)                 \
    X(SetMainCommentArc) X(SetOkToReplaceProc) X(SetOutputPath) X(SetSetCryptKeyProc)                    \
    X(SetSetFileNameProc) X(SetSetProgressProc) X(SetSetSfxProgressProc) X(SetSetSignalProc)             \
    X(SetSetWarningProc) X(SetSkipFileProc) X(StripDamageProtXionArc) X(TestArc) X(arOptionsAreOn)       \
    X(arOptionsOff) X(arOptionsOn)

// One pointer per export, typed from the declarations in uuarc.h, so that the calling convention
// travels with them. The host never links the module; decltype only reads the declarations.
struct ModuleExports {
#define UUARC_LOADER_POINTER(name) decltype(&::name) name = nullptr;
    UUARC_LOADER_EXPORTS(UUARC_LOADER_POINTER)
#undef UUARC_LOADER_POINTER
};

struct LoadedModule {
    void* handle = nullptr;      // dlopen's handle or the HMODULE; null when nothing is loaded
    std::string path;            // the file it was loaded from
    ModuleExports api;
};

#if defined(_WIN32)
constexpr const char* kModuleFileName = "uuarc.dll";
#else
constexpr const char* kModuleFileName = "libuuarc.so";
#endif
// The variable whose value, when set and not empty, is the one module path tried.
constexpr const char* kModuleVariable = "UUARC_MODULE";

// Loads the module at `path` and resolves every export. False, with `error` saying why and
// nothing left loaded, when the file cannot be loaded or lacks an export.
bool LoadModuleAt(const std::string& path, LoadedModule& module, std::string& error);

// Unloads what LoadModuleAt loaded and clears `module`; nothing happens when nothing is loaded.
void UnloadModule(LoadedModule& module);

// Loads the module from the first place where a file of its name is: $UUARC_MODULE alone when it
// is set; otherwise beside the executable, in ../lib/uuarc/ from the executable's directory, and in
// `installed_directory` (the install prefix's lib/uuarc/ as configured) when that is not empty.
// False, with `error`, when none is there (the error then names every place tried) or when the
// first one there cannot be loaded.
bool FindAndLoadModule(const std::string& installed_directory, LoadedModule& module, std::string& error);

}  // namespace uuarc_loader
