// output_file.h - the creation of an output file, shared by extraction and archive creation: the
// host's replace question, the open that creates the missing directories on the way, and the
// replacing of an existing file, which keeps the old one until the new one is whole.
#pragma once

#include <cstddef>
#include <cstdint>

#include "module/uuarc.h"

namespace uuarc {

// Longest output path that fits the find-data record's name field, terminator not counted, and
// the buffers that hold one.
constexpr size_t kMaxOutputPath = UUARC_MAX_OUTPUT_PATH;
constexpr size_t kOutputNameSize = 264;

// Whether a file may be written under `path`: true when nothing is there or a regular file is
// (which may then be replaced). False for a directory, a link, a device, a FIFO, a socket, and
// for a path whose last component is empty (it ends in a separator). Asks nothing and changes
// nothing.
bool OutputPathWritable(const char* path);

// Asks OkToReplaceProc, when it is registered and a file exists under `path`, whether that file
// may be replaced by one of about `size_estimate` bytes. 0: go ahead; any other value is the
// host's refusal, passed back as it came. After a yes the new file takes the attributes that a
// reset to "archive" gives (writable); the old file is not touched until the new one replaces it.
int32_t ConfirmReplace(const char* path, int64_t size_estimate);

// Opens `path` with `mode` ("wb" or "wt") into g_state.output. A new file is created exclusively,
// with any missing directories made one component at a time and the open retried after each. An
// existing file is not opened: the bytes go to a new file beside it, with its permissions (never
// setuid, setgid or sticky), that takes its name at FinishOutputFile. Without the host's yes a
// file that cannot be written as it is (read-only) is not replaced. Status 0 with the stream open,
// or 5 with no stream and nothing left behind but the directories made.
void OpenOutputFile(const char* path, const char* mode);

// Closes g_state.output. With `keep`, a file that replaces another takes its name now; without,
// it is removed and the old file stays as it was. A new file (nothing replaced) stays either way,
// with what was written. False when not everything written reached the disk or the new file could
// not take the name; the old file then stays too.
bool FinishOutputFile(bool keep);

// A progress percentage for `done` of `size` bytes, between 0 and 100, also when the size was
// unknown (0) or smaller than what was read.
int32_t ProgressPercent(int64_t done, int64_t size);

}  // namespace uuarc
