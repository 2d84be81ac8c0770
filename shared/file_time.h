// file_time.h - FILETIME, the time stamp of the host interface: 100 ns ticks since 1 January 1601,
// UTC. The POSIX back end and the command-line host convert Unix times through these.
#pragma once

#include <cstdint>

namespace uuarc {

constexpr int64_t kFileTimeTicksPerSecond = 10000000;
// 1 January 1970 as a FILETIME.
constexpr int64_t kUnixEpochAsFileTime = 116444736000000000;

}  // namespace uuarc
