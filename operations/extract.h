// extract.h - extraction: decode the one file of the open archive to the host's output path.
#pragma once

#include <cstddef>

#include "module/uuarc.h"
#include "operations/facts.h"
#include "operations/job.h"
#include "operations/output_file.h"

namespace uuarc {

// Derives the full output path from the stored name and the host's keep-paths flag, base path and
// output path into `output_name` (kOutputNameSize bytes). False, with `output_name` empty, when
// the part taken from the archive is unsafe (empty, rooted, with a drive or stream colon, a "."
// or ".." component, a device name) or the whole would not fit an output path; then `refusal`,
// when given, gets the fact of it: the rule, and where in `stored_name` it is broken.
bool MakeOutputName(const HostSettings& settings, const char* stored_name, char* output_name,
                    Fact* refusal = nullptr);

// The work of ExtractFileMaskListArc: status 0 first; nothing for an empty list or a name the
// masks do not select; else the header scan (9964 reported as 9974), the output name, the
// host's first name call and DecodeToFile.
void RunExtraction(Job& job, const FileMaskList* list);

// Decodes the archive into `output_name`. -1 when no output was opened (the status says why), 0
// once it was, whatever the status then says. Whatever it opened is closed when it returns.
int DecodeToFile(Job& job, const char* archive_path, const char* output_name);

}  // namespace uuarc
