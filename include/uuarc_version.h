// uuarc_version.h - the one place of the version number; CMakeLists.txt reads it and the Windows
// version resource (module/uuarc.rc) is built from it.
#pragma once

#define UUARC_VERSION_MAJOR 1
#define UUARC_VERSION_MINOR 0
#define UUARC_VERSION_PATCH 0
#define UUARC_VERSION_STRING "1.0.0"
