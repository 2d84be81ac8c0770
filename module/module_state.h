// module_state.h - the one module-wide state record. Every export works on g_state; the module
// serves one archive at a time and the host calls it from one thread at a time.
#pragma once

#include <cstdint>

#include "format/alphabet.h"
#include "module/uuarc.h"
#include "names/strings.h"
#include "platform/platform.h"

namespace uuarc {

// Option bits. The module itself reads only kOptionNoSourcePrefix.
constexpr uint16_t kOptionNoSourcePrefix = UUARC_OPTION_NO_SOURCE_PREFIX;
constexpr uint16_t kOptionsAtLoad = UUARC_OPTIONS_AT_LOAD;
constexpr uint16_t kOptionsLocked = UUARC_OPTIONS_LOCKED;

struct Callbacks {
    SetFileNameProc file_name = nullptr;
    UserData file_name_user = 0;
    SetProgressProc progress = nullptr;
    UserData progress_user = 0;
    OkToReplaceProc ok_to_replace = nullptr;
    UserData ok_to_replace_user = 0;
    SetSignalProc signal = nullptr;
    UserData signal_user = 0;
};

// Running counters of creation: bytes encoded so far and the total that the next progress
// report waits for.
struct EncoderProgress {
    int64_t running_total = 0;
    int64_t threshold = 0;
};

// How the output of the running operation is being written; FinishOutputFile ends each its way.
enum class OutputWay : uint8_t {
    None,
    New,            // a new file under its own name from the start
    Beside,         // a new file under `temporary`, renamed over `target` at the end
    BesideUnnamed,  // a new file without a name, linked in as `temporary`, then renamed so
    InPlace,        // the existing file itself, cut to nothing and written again
};

// The output being written. `folder` is the directory it goes in, held open from the replace
// question (OutputPathWritable) until the output is finished, so that the question, the open and
// the rename are all about one directory. `agreed` carries the host's yes from the question to
// the open; `seen`, `seen_volume` and `seen_index` the file that the question was about.
struct PendingOutput {
    FileHandle folder = kNoHandle;
    size_t trusted = 0;  // bytes of the path that the host gave: its directories are taken as they resolve
    OutputWay way = OutputWay::None;
    bool agreed = false;
    bool seen = false;
    uint64_t seen_volume = 0;
    uint64_t seen_index = 0;
    char target[264] = {};
    char temporary[272] = {};
};

struct ModuleState {
    char archive_path[262] = {};
    uint32_t new_archive = 0;     // 1 while the archive path names a file still to be created
    uint16_t status = 0;
    uint16_t options = kOptionsAtLoad;
    uint16_t locked_options = kOptionsLocked;
    char output_path[260] = {};
    char base_path[264] = {};
    char source_prefix[264] = {};
    // Set while the host's last value for the field was too long: the operations that need the
    // field refuse to run (status 5) rather than use an older value.
    bool output_path_refused = false;
    bool base_path_refused = false;
    bool source_prefix_refused = false;
    int32_t keep_paths = 0;
    Callbacks callbacks;
    ArcExtraInfo extra_info = {};
    Stream input;
    Stream output;
    AlphabetState alphabet;
    EncoderProgress encoder;
    PendingOutput pending;
};

extern ModuleState g_state;


// Sets the archive status and returns it, so that a routine can end with `return SetStatus(..)`.
inline uint16_t SetStatus(uint16_t status) {
    g_state.status = status;
    return status;
}

}  // namespace uuarc
