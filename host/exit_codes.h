// exit_codes.h - the host's exit codes, one per kind of outcome, and the code for an archive
// status. The README, the manual page and --help give the same table.
#pragma once

#include <cstdint>

#include "host/module_api.h"

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

inline int ExitCodeForStatus(uint16_t status) {
    switch (status) {
        case kStatusOk: return kExitOk;
        case kStatusBadFormat:
        case kStatusNotEncoded: return kExitNotEncoded;
        case kStatusCannotOpen: return kExitCannotOpen;
        case kStatusReplaceRefused: return kExitKept;
        case kStatusWriteFailed: return kExitWriteFailed;
        case kStatusCreateRefused:
        case kStatusTooManyMasks:
        case kStatusSourceIsDirectory: return kExitCreateRefused;
        default: return kExitOther;
    }
}

}  // namespace uuarc_host
