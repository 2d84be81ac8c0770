// extract.h - extraction: decode the one file of the open archive (or, with the module's own
// option, every file of the text) to the host's output path.
#pragma once

#include <cstddef>

#include "operations/facts.h"
#include "operations/job.h"
#include "operations/output_file.h"
#include "uuarc.h"

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

// Names the output of the stored name (`name_cut`: its ANSI form was cut) into `output_name`
// (kOutputNameSize bytes) and tells the host the two names (SetFileNameProc). False, with status
// 5, when the name cannot be extracted under the host's settings: then no call, but for a host
// that asked for facts the stored name with no output and the fact of the rule it breaks.
bool NameOutput(Job& job, const char* stored_name, bool name_cut, char* output_name);

#if defined(UUARC_OPTION_EVERY_FILE)
// The work of ExtractFileMaskListArc under UUARC_OPTION_EVERY_FILE: the text read once, each
// file that the masks select named, decoded and finished as RunExtraction does the one file, then
// announced with its own status (NotifyEntryDone); a file that failed, or that the masks do not
// select, is passed over to its end. Ends with the first failure's status, 0 when none failed,
// 9974 without a begin line, 5 when the archive or a setting cannot be taken.
void RunEveryExtraction(Job& job, const FileMaskList* list);
#endif

// Decodes the archive into `output_name`: from `job.input` read again from its start where it is
// open (the header scan left it so), else from `archive_path` opened afresh. -1 when
// no output was opened (the status says why), 0 once it was, whatever the status then says. The
// archive and whatever it opened are closed when it returns.
int DecodeToFile(Job& job, const char* archive_path, const char* output_name);

}  // namespace uuarc
