// failure.h - the one routine that turns a failed operation into its message and exit code, from
// the archive status, what the host asked for and what the module told it during the run (the
// output it named, the facts of why it stopped); where the status leaves the cause open (status
// 5: which file, and why), it looks at the files the request names.
#pragma once

#include <cstdint>
#include <string>

#include "host/operation.h"
#include "host/options.h"
#include "shared/stored_names.h"

namespace uuarc_host {

// What the host asked the module to do.
struct Request {
    Command command = Command::kNone;
    // list, extract
    std::string archive_shown;    // as the user named it; "standard input" for "-"
    std::string archive;          // the native path handed to the module
    std::string stored_name;      // create: the name to store
    std::string output_folder;    // extract: the output path (module terms), "" for the current one
    bool keep_paths = false;
    bool to_stdout = false;       // extract -c, create -o -
    bool testing = false;         // test: the decoded bytes go nowhere
    // create
    std::string source;           // the source file as found (not the alias made for --name)
    std::string source_shown;     // as the user named it; "standard input" for "-"
    std::string target_shown;     // the target as named, "standard output" for -o -
    std::string written;          // the native path that the module was asked to write
};

// Why creation would refuse to store `name` (a control byte, blanks at an end), with the hint to
// give another; empty when it would not.
std::string CreationNameProblem(const std::string& name);

// Says on standard error why `request` ended with `status`, in one line, and returns the exit
// code. `operation` holds what the callbacks learnt during the run.
int ReportFailure(const Request& request, uint16_t status, const Operation& operation);

}  // namespace uuarc_host
