// job.h - one operation's record: what the export that runs it hands down from the module-wide
// state (the host's settings and callbacks, the two streams, the alphabet) and where the outcome
// goes (the archive status). Nothing below module/ reaches the module-wide state any other way.
#pragma once

#include <cstddef>
#include <cstdint>

#include "format/alphabet.h"
#include "format/entries.h"
#include "platform/platform.h"
#include "uuarc.h"

namespace uuarc {

// The host's callbacks, each with the user-data word it was registered with; a null procedure is
// never called (operations/notify.h makes every call).
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

// The host's settings as the exports took them. The host paths are at most kMaxHostPath bytes.
// Where extraction puts the decoded file: a file under the output path, or (when the host named
// one of the reserved output paths) the process's standard output or nothing (POSIX builds), or
// the one file that the output path then holds (native builds and the 64-bit DLL), which an
// unnamed new archive's creation writes too.
enum class OutputSink : uint8_t { Files, StandardOutput, Null, NamedFile };

// Standard output and nothing take bytes without a file being made.
inline bool IsStreamSink(OutputSink sink) { return sink == OutputSink::StandardOutput || sink == OutputSink::Null; }

struct HostSettings {
    char archive_path[262] = {};
    uint32_t new_archive = 0;     // 1 while the archive path names a file still to be created
    uint16_t options = UUARC_OPTIONS_AT_LOAD;
    char output_path[260] = {};
    char base_path[264] = {};
    char source_prefix[264] = {};
    // Set while the host's last value for the field was too long: the operations that need the
    // field refuse to run (status 5) rather than use an older value.
    bool output_path_refused = false;
    bool base_path_refused = false;
    bool source_prefix_refused = false;
    int32_t keep_paths = 0;
    OutputSink sink = OutputSink::Files;
};

// How the output of the running operation is being written; FinishOutputFile ends each its way.
enum class OutputWay : uint8_t {
    None,
    New,            // a new file under its own name from the start
    Beside,         // a new file under `temporary`, renamed over `target` at the end
    BesideUnnamed,  // a new file without a name, linked in as `temporary`, then renamed so
    InPlace,        // a private file without a name, copied over the existing file at the end
    Sink,           // standard output or the null device: nothing named, nothing replaced
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
    // Permission bits a new file ends with (POSIX; less the umask), -1 for 0666 less the umask.
    // Never used for a file that replaces another: that one takes the old file's bits.
    int32_t new_mode = -1;
    // InPlace: the file to be overwritten at the end (its identity, and the bits it is to have).
    FileInfo replaced;
    bool seen = false;
    uint64_t seen_volume = 0;
    uint64_t seen_index = 0;
    char target[264] = {};
    char temporary[272] = {};
};

// One operation. The export fills the pointers from the module-wide state; a test or a fuzz
// target makes one of its own. `pending` starts empty for every operation.
struct Job {
    const HostSettings* settings = nullptr;
    const Callbacks* callbacks = nullptr;
    Stream* input = nullptr;       // closed when the operation starts and when it returns
    Stream* output = nullptr;
    // A second reader of the archive, for the look ahead that decides how a data line cut short
    // reads (extract.cpp); closed when the operation starts and when it returns.
    Stream* look_ahead = nullptr;
    AlphabetState* alphabet = nullptr;
    uint16_t* status = nullptr;    // the archive status, set as the operation goes
    PendingOutput pending;
    // While every file of a text is extracted (UUARC_OPTION_EVERY_FILE): where the reading stands.
    // The decoding then stops at a begin line among the data and counts progress from the
    // current file's begin line. Null for the one file of the format's documents.
    EntryCursor* entry = nullptr;
};

// Sets the operation's status and returns it, so that a routine can end with `return SetStatus(..)`.
inline uint16_t SetStatus(Job& job, uint16_t status) {
    *job.status = status;
    return status;
}

}  // namespace uuarc
