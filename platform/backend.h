// backend.h - what the shared units of platform/ (stream.cpp, files.cpp) take from the one back end
// compiled beside them, beyond g_system and NativePath: the system's own idea of local time.
// Nothing outside platform/ includes it.
#pragma once

#include <cstdint>

namespace uuarc {

// The FILETIME `file_time` (UTC) in local time, as DOS date << 16 | DOS time, the way
// FileTimeToLocalFileTime and FileTimeToDosDateTime give it: two-second steps, years 1980 to
// 2107. False for a time the DOS form cannot hold or the system cannot convert.
bool LocalDosDateTime(uint64_t file_time, uint32_t* date_time);

}  // namespace uuarc
