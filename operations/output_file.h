// output_file.h - the creation of an output file, shared by extraction and archive creation: the
// host's replace question, the attribute reset after it agrees, and the open that creates the
// missing directories on the way.
#pragma once

#include <cstddef>
#include <cstdint>

namespace uuarc {

// Longest output path that fits the find-data record's name field, terminator not counted.
constexpr size_t kMaxOutputPath = 259;

// Asks OkToReplaceProc, when it is registered and a file exists under `path`, whether that file
// may be replaced by one of about `size_estimate` bytes. 0: go ahead (the old file's attributes
// are then reset to archive only); any other value is the host's refusal, passed back as it came.
int32_t ConfirmReplace(const char* path, int64_t size_estimate);

// Sets the attributes of an existing file to exactly "archive", so that a read-only file can be
// replaced. A failure is ignored: the open that follows reports it.
void SetArchiveAttribute(const char* path);

// Opens `path` with `mode` ("wb" or "wt") into g_state.output, creating missing directories one
// component at a time and retrying the open after each. Status 0 with the stream open, or 5 with
// no stream. Directories created stay, also when the open fails in the end.
void OpenOutputFile(const char* path, const char* mode);

}  // namespace uuarc
