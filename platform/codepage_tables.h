// codepage_tables.h - OEM code page 437 as Unicode, the table behind OemToAnsi and AnsiToOem on
// POSIX, whose ANSI code page is UTF-8. Generated into codepage_tables.cpp by
// scripts/gen_codepages.sh.
#pragma once

#include <cstdint>

namespace uuarc {

// Every one of the 256 code points differs from the others, so the table read backwards gives
// the exact OEM byte of a character, or none.
extern const uint16_t kOemToUnicode[256];

}  // namespace uuarc
