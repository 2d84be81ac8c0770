// codepage_tables.h - the fixed OEM 437 <-> ANSI 1252 tables behind OemToAnsi / AnsiToOem on POSIX.
// Generated into codepage_tables.cpp by scripts/gen_codepages.sh.
#pragma once

#include <cstdint>

namespace uuarc {

extern const uint8_t kOemToAnsi[256];
extern const uint8_t kAnsiToOem[256];

}  // namespace uuarc
