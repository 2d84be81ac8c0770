// options.h - the command line: the parsed options, the parser (getopt_long: bundled short
// options, -dDIR, --dir=DIR and --dir DIR, unambiguous abbreviations of long options, "--" to end
// them, operands and options in any order) and the help text.
#pragma once

#include <string>
#include <vector>

namespace uuarc_host {

enum class Command { kNone, kList, kExtract, kTest, kCreate };
enum class ReplacePolicy { kAsk, kOverwrite, kSkip };

// The operand that names standard input (list, extract, create) or standard output (-o).
constexpr const char* kStandardStream = "-";

struct Options {
    Command command = Command::kNone;
    std::vector<std::string> operands;   // archives (list, extract) or the one source (create)
    std::string directory;               // -d
    bool has_directory = false;
    std::string output;                  // -o: create's target, or extract's output file
    bool has_output = false;
    std::string name;                    // -n: the name stored instead of the source's
    bool has_name = false;
    bool keep_paths = false;
    bool no_mode = false;                // --no-mode: new files 0666 less the umask (Linux)
    bool to_stdout = false;              // -c
    bool quiet = false;
    bool verbose = false;                // -v: list each file's exact size too
    ReplacePolicy replace = ReplacePolicy::kAsk;
    bool overwrite_given = false;
    bool skip_given = false;
};

// Parses the arguments into `options`. Returns -1 when the command is to run; otherwise the exit
// code, after the help or version text (0) or a usage message (1).
int ParseCommandLine(int argc, char** argv, Options& options);

}  // namespace uuarc_host
