// commands.h - the three commands. Each returns its exit code after saying what went wrong, and
// leaves nothing temporary behind.
#pragma once

#include <string>

#include "host/failure.h"
#include "host/options.h"
#include "host/standard_streams.h"

namespace uuarc_host {

// Lists one archive ("-": standard input) as a table in the style of `unzip -l`, with -v each
// file's exact size too; `first` tells whether a blank line goes before it.
int ListArchive(const Options& options, const std::string& operand, bool first);

// Extracts one archive into `module_directory` (module terms, "" for the current directory), or
// to standard output with -c.
int ExtractArchive(const Options& options, const std::string& operand, const std::string& module_directory);

// Opens the archive that the request names (InitArcFile, which reads it up to its begin line),
// through a copy of `input` where the module cannot read it as it is (a pipe, a FIFO). -1 when it
// is open, for the caller to close with DoneArcFile; otherwise the exit code, the failure
// reported. Shared by list and extract.
int OpenArchive(Request& request, ArchiveInput& input);

// Where an extraction writes what it decodes, and what is settled after it.
struct Destination {
    const char* sink = nullptr;  // the module's reserved output name, or null for files
    Scratch scratch;             // without sinks: the private folder decoded into
};

// Standard output (`to_stdout`) or nothing as the output `output` (module terms): the module's
// sink where it has sinks, otherwise a private folder for `out` to settle. -1 when placed,
// otherwise the exit code after a message.
int PlaceNowhere(bool to_stdout, Destination& out, std::string& output);

// Extracts every file of the open archive into `request.output_folder` (module terms), as
// `options` and `request` say; `file_done` hears of each file of a text as it is done. Returns
// the archive status.
uint16_t RunExtraction(const Options& options, const Request& request, const Destination& out,
                       void (*file_done)(uint16_t status));

// Encodes the one source of `options` into a new file, or to standard output with -o -.
int CreateArchive(const Options& options);

}  // namespace uuarc_host
