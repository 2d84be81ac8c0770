// commands.h - the three commands. Each returns its exit code after saying what went wrong, and
// leaves nothing temporary behind.
#pragma once

#include <string>

#include "host/options.h"

namespace uuarc_host {

// Lists one archive ("-": standard input) as a table in the style of `unzip -l`; `first` tells
// whether a blank line goes before it.
int ListArchive(const std::string& operand, bool first);

// Extracts one archive into `module_directory` (module terms, "" for the current directory), or
// to standard output with -c.
int ExtractArchive(const Options& options, const std::string& operand, const std::string& module_directory);

// Encodes the one source of `options` into a new file, or to standard output with -o -.
int CreateArchive(const Options& options);

}  // namespace uuarc_host
