// status.h - every archive status the module may set, with when it is set. The host reads the
// word with GetArchiveStatus; StatusMessage gives the command-line host a short text for each.
#pragma once

#include <cstdint>

namespace uuarc {

enum Status : uint16_t {
    kStatusOk = 0,                // success; every archive operation starts with it
    kStatusNoTarget = 2,          // creation's probe: the target cannot be opened, so it is new
    kStatusCannotOpen = 5,        // a file cannot be opened or created; an unsafe or too long path
    kStatusNoMemory = 8,          // a list entry or a mask node cannot be allocated
    kStatusWriteFailed = 101,     // a line of output could not be written in full
    kStatusReplaceRefused = 2926, // the host's OkToReplaceProc kept the existing file
    kStatusCreateRefused = 9901,  // no new archive open, the target is encoded, or is the source
    kStatusCannotDelete = 9902,   // DeleteFileMaskListArc
    kStatusTooManyMasks = 9907,   // creation got more than one mask
    kStatusSourceIsDirectory = 9908,
    kStatusBadFormat = 9964,      // no begin line, bad table block, bad data line, no "end"
    kStatusNotEncoded = 9974,     // 9964 from the header scan, as opening and extraction say it
    kStatusNotSupported = 32770,  // the nine operations this format does not have
};

// A short English text for a status ("" for a value the module never sets).
const char* StatusMessage(uint16_t status);

}  // namespace uuarc
