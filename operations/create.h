// create.h - archive creation: one source file becomes a new encoded file (classic alphabet,
// 45 bytes a line, behind a short text header), with progress reports.
#pragma once

#include <cstdint>

#include "operations/job.h"
#include "platform/platform.h"
#include "uuarc.h"

namespace uuarc {

// The work of CompressFileMaskListArc: the request checks (new archive, one mask), the source
// path from the prefix and the mask's parts, the name to store (CreationNameRule, and its stored
// form's length: 5 when it breaks one), the host's first name call, the directory test and
// CreateEncodedArchive onto the archive path, or, for an unnamed new archive, onto the output file
// the host named, or WriteEncodedFile into the sink it named (standard output or nothing, POSIX).
void RunCreation(Job& job, const FileMaskList* list);

// True when the path names a directory.
bool IsDirectory(const char* path);

// Refuses a target that is the source itself, or that already holds a begin line unless the
// host set UUARC_OPTION_REPLACE_ENCODED, then writes.
void CreateEncodedArchive(Job& job, const char* source_path, const char* target_path);

// Opens both files, asks about replacing the target, writes the header, the body and the closing
// cut line; with `to_sink`, into the sink that the host's settings name (`target_path` is its
// spelling), which is opened with nothing to ask and tells the host at the end how many bytes it
// took. -1 when it stopped before writing anything (the status says why), 0 once written.
// The header states the bytes the source holds (a source that fits the stream's buffer is
// counted as read); one that does not hold them to the end ends with status 5, the target not
// left (see CompressFileMaskListArc in uuarc.h). Whatever it opened is closed when it returns.
int WriteEncodedFile(Job& job, const char* source_path, const char* target_path, bool to_sink);

// Writes the begin line, the data lines and the end, reporting progress after each hundredth of
// the source's `size` bytes at most once a line. Reads the source to its end, or a little past
// `size` when it grew; returns the bytes encoded. A line not written in full leaves status 101
// and ends it.
int64_t EncodeFileBody(Job& job, Stream& source, Stream& target, const char* header_name, int64_t size);

}  // namespace uuarc
