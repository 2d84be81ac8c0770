// module_state.h - the one module-wide state record. Every export works on g_state and hands the
// layers below what they need (a Job, the alphabet, a stream); only module/ touches it. The
// module serves one archive at a time and the host calls it from one thread at a time.
#pragma once

#include <cstdint>

#include "format/alphabet.h"
#include "operations/job.h"
#include "platform/platform.h"
#include "uuarc.h"

namespace uuarc {

// Option bits. The module itself reads only kOptionNoSourcePrefix.
constexpr uint16_t kOptionNoSourcePrefix = UUARC_OPTION_NO_SOURCE_PREFIX;
constexpr uint16_t kOptionsAtLoad = UUARC_OPTIONS_AT_LOAD;
constexpr uint16_t kOptionsLocked = UUARC_OPTIONS_LOCKED;

struct ModuleState {
    HostSettings settings;
    uint16_t status = 0;
    uint16_t locked_options = kOptionsLocked;
    Callbacks callbacks;
    ArcExtraInfo extra_info = {};
    Stream input;
    Stream output;
    Stream look_ahead;  // the archive read a second time, only for a line cut short (extract.cpp)
    FileInfo held;      // the archive that `input` holds between calls, as it was when scanned
    AlphabetState alphabet;
};

extern ModuleState g_state;


// Sets the archive status and returns it, so that a routine can end with `return SetStatus(..)`.
inline uint16_t SetStatus(uint16_t status) {
    g_state.status = status;
    return status;
}

// Between calls the input stream is open only on the archive that InitArcFile read under
// UUARC_OPTION_HOLD_ARCHIVE; the exports that read the archive take it from there, and those that
// open another file, or another archive, close it first with this (nothing when it is closed).
inline void ReleaseHeldArchive() { StreamClose(g_state.input); }

// For an export that reads the archive: the held one is kept where the file is still as it was
// scanned (its size and its last write, as make and rsync tell a changed file), else closed, so
// that the export opens it afresh and never reads on from a buffer of a file that has changed. A
// kept one leaves what it is now in `g_state.held`.
void TakeHeldArchive();

// The record of one operation on the module-wide state, for the exports that run one.
Job MakeJob();

// The state as right after load, for the test suites and fuzz targets that run many cases in one
// process (the streams' buffers are left as they are: no stream reads one before filling it).
void ResetModuleState();

}  // namespace uuarc
