// exit_codes.h - the host's exit codes, one per kind of outcome, and for each archive status its
// exit code and its words. The README, the manual page and --help give the same table.
#pragma once

#include <cstdint>

namespace uuarc_host {

enum ExitCode : int {
    kExitOk = 0,
    kExitUsage = 1,           // bad command line
    kExitNotEncoded = 2,      // 9974, 9964: no begin line, or damaged data
    kExitCannotOpen = 3,      // 5: a file cannot be opened or created, or its name not passed on
    kExitKept = 4,            // 2926: an existing file was kept because nobody agreed to replace it
    kExitWriteFailed = 5,     // 101: the output could not be written in full
    kExitCreateRefused = 6,   // 9901, 9907, 9908: creation refused
    kExitOther = 7,           // out of memory, the module cannot be loaded, any other status
    kExitSignalBase = 128,    // + the number of the signal that ended the run
};

// The exit code for an archive status (a UUARC_STATUS_ value of include/uuarc.h); kExitOther for
// one the module never sets.
int ExitCodeForStatus(uint16_t status);

// A short English text for a status ("" for a value the module never sets).
const char* StatusMessage(uint16_t status);

}  // namespace uuarc_host
