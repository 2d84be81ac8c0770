// options.cpp - the parser and the help text of options.h.
#include "host/options.h"

#include <getopt.h>

#include <cstdio>
#include <cstring>

#include "host/console.h"
#include "host/exit_codes.h"
#include "uuarc_version.h"

namespace uuarc_host {

namespace {

// The options as getopt_long takes them. Long-only options get values above every byte.
enum : int { kKeepPaths = 256, kOverwrite, kSkipExisting, kNoMode };

constexpr const char kShortOptions[] = ":d:o:n:cqvhV";
constexpr struct option kLongOptions[] = {
    {"directory", required_argument, nullptr, 'd'},     {"output", required_argument, nullptr, 'o'},
    {"name", required_argument, nullptr, 'n'},          {"keep-paths", no_argument, nullptr, kKeepPaths},
    {"stdout", no_argument, nullptr, 'c'},              {"overwrite", no_argument, nullptr, kOverwrite},
    {"skip-existing", no_argument, nullptr, kSkipExisting}, {"quiet", no_argument, nullptr, 'q'},
    {"help", no_argument, nullptr, 'h'},                {"version", no_argument, nullptr, 'V'},
    {"no-mode", no_argument, nullptr, kNoMode},         {"verbose", no_argument, nullptr, 'v'},
    {nullptr, 0, nullptr, 0},
};

// GNU style: no line wider than 79 columns; continued descriptions line up under their start.
constexpr const char kHelp[] =
    "Usage: uuarc list ARCHIVE... [-v]\n"
    "  or:  uuarc extract ARCHIVE... [-d DIR] [--keep-paths] [--no-mode]\n"
    "                     [--overwrite | --skip-existing] [-c] [-q]\n"
    "  or:  uuarc extract ARCHIVE -o FILE [--no-mode]\n"
    "                     [--overwrite | --skip-existing] [-q]\n"
    "  or:  uuarc test ARCHIVE... [-q]\n"
    "  or:  uuarc create SOURCE [-o TARGET] [-n NAME] [--overwrite] [-q]\n"
    "  or:  uuarc --help | --version\n"
    "List, extract, test or create uuencoded files, each one seen as an archive\n"
    "that holds the files encoded in it, one after the other (usually one). An\n"
    "ARCHIVE or SOURCE may be a pipe or a FIFO; '-' is standard input.\n"
    "\n"
    "Commands:\n"
    "  list     show each file's stored name, estimated size, mode, date, time\n"
    "           and attributes\n"
    "  extract  decode each file of each ARCHIVE into DIR\n"
    "  test     decode each ARCHIVE without writing anything, and say whether it\n"
    "           is intact\n"
    "  create   encode SOURCE into a new file (default: the stored name + .uue,\n"
    "           in the current directory)\n"
    "\n"
    "Options:\n"
    "  -d, --directory=DIR  extract into DIR (default: the current directory);\n"
    "                       missing directories are created\n"
    "      --keep-paths     keep the directories of the stored name below DIR\n"
    "      --no-mode        extract: make new files 0666 less the umask, not with\n"
    "                       the begin line's mode (Linux)\n"
    "  -c, --stdout         extract: write the decoded bytes to standard output\n"
    "                       as they are decoded, one file after the other\n"
    "  -o, --output=FILE    the file that create writes, or that extract writes\n"
    "                       instead of the stored name (one ARCHIVE of one\n"
    "                       file); '-' (or /dev/stdout) is standard output\n"
    "  -n, --name=NAME      create: the name to store (required when SOURCE is -)\n"
    "      --overwrite      replace existing files without asking\n"
    "      --skip-existing  keep existing files and go on (extract)\n"
    "  -v, --verbose        list: each file's exact size too, found by decoding\n"
    "                       it into nothing\n"
    "  -q, --quiet          no progress bar and no messages on success\n"
    "  -h, --help           display this help and exit\n"
    "  -V, --version        output version information and exit\n"
    "Short options may be bundled (-qc); long ones may be abbreviated (--dir=DIR).\n"
    "\n"
    "When a file to be written exists, uuarc asks on the terminal; when standard\n"
    "input is not a terminal it keeps the file and fails unless --overwrite (or,\n"
    "on extract, --skip-existing) is given. A replaced file stays as it was until\n"
    "its replacement is complete. On Linux a name is bytes: a stored name is kept\n"
    "as it is, UTF-8 or not, ':' included; on Windows it is stored in OEM code\n"
    "page 437, or in UTF-8 where 437 has no exact form.\n"
    "\n"
    "Exit status:\n"
    "  0  success (files skipped on request count as success)\n"
    "  1  usage error\n"
    "  2  not a uuencoded file, or damaged data (status 9974, 9964)\n"
    "  3  a file cannot be opened or created, or its name cannot be passed on\n"
    "     (status 5)\n"
    "  4  an existing file was kept: replacing it was refused (status 2926)\n"
    "  5  the output could not be written in full (status 101)\n"
    "  6  creation refused: the target is already encoded or is the source, or\n"
    "     the source is a directory (status 9901, 9907, 9908)\n"
    "  7  any other failure: out of memory, the module cannot be loaded\n"
    "  128+N  ended by signal N (interrupt, hang-up, quit, termination, CPU limit)\n"
    "With several archives, uuarc goes on after a failure and exits with the\n"
    "first failure's code.\n"
    "\n"
    "The manual page uuarc(1) tells the whole story.\n";

// GNU style: the program and version, then the copyright and licence lines.
constexpr const char kVersionTail[] =
    "Copyright (C) 2026 the uuarc developers.\n"
    "License: MIT <https://opensource.org/licenses/MIT>.\n"
    "This is free software: you are free to change and redistribute it.\n"
    "There is NO WARRANTY, to the extent permitted by law.\n";

int UsageError(const std::string& text) {
    Complain(text);
    std::fputs("Try 'uuarc --help' for more information.\n", stderr);
    return kExitUsage;
}

// How the user may spell the option whose getopt value is `value`: "-d, --directory".
std::string Spellings(int value) {
    std::string text = value < 256 ? std::string("-") + static_cast<char>(value) : std::string();
    for (const struct option* option = kLongOptions; option->name != nullptr; ++option) {
        if (option->val == value) text += (text.empty() ? "--" : ", --") + std::string(option->name);
    }
    return text;
}

// The usage message for what getopt_long refused (`result` ':' or '?', with its optopt). A long
// option that it cannot name (optopt 0) is the first "--word" before "--" that names no option
// or more than one.
int OptionError(int result, int refused, int argc, char** argv) {
    if (result == ':') return UsageError("option '" + Spellings(refused) + "' requires an argument");
    if (refused >= 256 || (refused != 0 && std::strchr(kShortOptions, refused) != nullptr)) {
        return UsageError("option '" + Spellings(refused) + "' doesn't allow an argument");
    }
    if (refused != 0) return UsageError("invalid option -- '" + Shown(std::string(1, static_cast<char>(refused))) + "'");
    for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
        const std::string word(argv[i]);
        if (word.rfind("--", 0) != 0) continue;
        const std::string name = word.substr(2, word.find('=') == std::string::npos ? std::string::npos : word.find('=') - 2);
        int matches = 0;
        bool exact = false;
        for (const struct option* option = kLongOptions; option->name != nullptr; ++option) {
            matches += std::strncmp(option->name, name.c_str(), name.size()) == 0;
            exact = exact || name == option->name;
        }
        if (matches == 0) return UsageError("unrecognized option '--" + Shown(name) + "'");
        if (matches > 1 && !exact) return UsageError("option '--" + Shown(name) + "' is ambiguous");
    }
    return UsageError("unrecognized option");
}

// Applies one option; -1 to go on, otherwise the exit code.
int Apply(int value, const char* argument, Options& options) {
    switch (value) {
        case 'd': options.directory = argument; options.has_directory = true; break;
        case 'o': options.output = argument; options.has_output = true; break;
        case 'n': options.name = argument; options.has_name = true; break;
        case kKeepPaths: options.keep_paths = true; break;
        case kNoMode: options.no_mode = true; break;
        case 'c': options.to_stdout = true; break;
        case kOverwrite: options.overwrite_given = true; options.replace = ReplacePolicy::kOverwrite; break;
        case kSkipExisting: options.skip_given = true; options.replace = ReplacePolicy::kSkip; break;
        case 'q': options.quiet = true; break;
        case 'v': options.verbose = true; break;
        case 'h': std::fputs(kHelp, stdout); return kExitOk;
        case 'V': std::printf("uuarc %s\n%s", UUARC_VERSION_STRING, kVersionTail); return kExitOk;
        default: break;
    }
    return -1;
}

// What the parsed options must satisfy together; -1 when they do.
int CheckCombination(Options& options) {
    const std::string command = options.operands.empty() ? std::string() : options.operands.front();
    if (command.empty()) return UsageError("missing command: list, extract, test or create");
    if (command == "list") {
        options.command = Command::kList;
    } else if (command == "extract") {
        options.command = Command::kExtract;
    } else if (command == "test") {
        options.command = Command::kTest;
    } else if (command == "create") {
        options.command = Command::kCreate;
    } else {
        return UsageError("unknown command '" + Shown(command) + "'");
    }
    options.operands.erase(options.operands.begin());
    const bool create = options.command == Command::kCreate, extract = options.command == Command::kExtract;
    if (options.operands.empty()) return UsageError(create ? "missing SOURCE" : "missing ARCHIVE");
    if (options.overwrite_given && options.skip_given) {
        return UsageError("--overwrite and --skip-existing exclude each other");
    }
    if (!extract &&
        (options.has_directory || options.keep_paths || options.skip_given || options.to_stdout || options.no_mode)) {
        return UsageError("-d, -c, --keep-paths, --no-mode and --skip-existing belong to extract");
    }
    if (!create && options.has_name) return UsageError("-n belongs to create");
    if (options.command != Command::kList && options.verbose) return UsageError("-v belongs to list");
    if (!create && !extract && options.has_output) return UsageError("-o belongs to extract and create");
    if (!create && !extract && options.overwrite_given) {
        return UsageError("--overwrite belongs to extract and create");
    }
    if (options.has_output && options.output.empty()) return UsageError("-o needs a file name");
#if !defined(_WIN32)
    // GNU's spellings of standard output are standard output, never a file opened under them.
    for (const char* spelling : {"/dev/stdout", "/dev/fd/1", "/proc/self/fd/1"}) {
        if (options.has_output && options.output == spelling) options.output = kStandardStream;
    }
#endif
    // extract -o -: standard output, as -c.
    if (extract && options.has_output && options.output == kStandardStream) {
        options.has_output = false;
        options.to_stdout = true;
    }
    if (options.to_stdout && options.has_directory) return UsageError("-c and -d exclude each other");
    if (extract && options.has_output) {
        if (options.has_directory || options.to_stdout || options.keep_paths) {
            return UsageError("-o FILE excludes -d, -c and --keep-paths");
        }
        if (options.operands.size() != 1) return UsageError("-o FILE takes exactly one ARCHIVE");
    }
    if (options.has_directory && options.directory.empty()) return UsageError("-d needs a directory name");
    if (create) {
        if (options.operands.size() != 1) return UsageError("create takes exactly one SOURCE");
        if (options.operands[0] == kStandardStream && !options.has_name) {
            return UsageError("create - needs --name NAME: the name to store");
        }
        const std::string& name = options.name;
        if (options.has_name && (name.empty() || name == "." || name == ".." ||
                                 name.find_first_of("/\\") != std::string::npos)) {
            return UsageError("--name '" + Shown(name) + "' is not a file name");
        }
    }
    int stdin_operands = 0;
    for (const std::string& operand : options.operands) stdin_operands += operand == kStandardStream;
    if (stdin_operands > 1) return UsageError("standard input ('-') can be read only once");
    return -1;
}

}  // namespace

int ParseCommandLine(int argc, char** argv, Options& options) {
    // getopt_long with its habits: bundles, -dDIR, --dir=DIR, abbreviations, "--", and operands
    // anywhere (it moves them behind the options). optind 0 starts a fresh parse, also for a
    // second call in one process; the messages are ours, with the bytes shown escaped.
    optind = 0;
    opterr = 0;
    for (;;) {
        const int value = getopt_long(argc, argv, kShortOptions, kLongOptions, nullptr);
        if (value == -1) break;
        if (value == '?' || value == ':') return OptionError(value, optopt, argc, argv);
        const int code = Apply(value, optarg, options);
        if (code >= 0) return code;
    }
    for (int i = optind; i < argc; ++i) options.operands.emplace_back(argv[i]);
    return CheckCombination(options);
}

}  // namespace uuarc_host
