// options.cpp - the parser and the help text of options.h.
#include "host/options.h"

#include <cstdio>
#include <cstring>

#include "host/console.h"
#include "host/exit_codes.h"
#include "module/version.h"

namespace uuarc_host {

namespace {

enum class OptionId { kDirectory, kOutput, kName, kKeepPaths, kStdout, kOverwrite, kSkip, kQuiet, kHelp, kVersion };

struct OptionInfo {
    OptionId id;
    char short_name;       // 0: none
    const char* long_name;
    bool takes_value;
};

constexpr OptionInfo kOptions[] = {
    {OptionId::kDirectory, 'd', "directory", true},  {OptionId::kOutput, 'o', "output", true},
    {OptionId::kName, 'n', "name", true},            {OptionId::kKeepPaths, 0, "keep-paths", false},
    {OptionId::kStdout, 'c', "stdout", false},       {OptionId::kOverwrite, 0, "overwrite", false},
    {OptionId::kSkip, 0, "skip-existing", false},    {OptionId::kQuiet, 'q', "quiet", false},
    {OptionId::kHelp, 'h', "help", false},           {OptionId::kVersion, 'V', "version", false},
};

constexpr const char kHelp[] =
    "Usage: uuarc list ARCHIVE...\n"
    "  or:  uuarc extract ARCHIVE... [-d DIR] [--keep-paths] [--overwrite | --skip-existing] [-c] [-q]\n"
    "  or:  uuarc create SOURCE [-o TARGET] [-n NAME] [--overwrite] [-q]\n"
    "List, extract or create uuencoded files; each one holds a single file.\n"
    "An ARCHIVE or SOURCE of '-' is standard input; -o - writes to standard output.\n"
    "\n"
    "Commands:\n"
    "  list             show the stored name, estimated size, date, time and attributes\n"
    "  extract          decode each ARCHIVE into DIR\n"
    "  create           encode SOURCE into a new file (default: the stored name + .uue,\n"
    "                   in the current directory)\n"
    "\n"
    "Options:\n"
    "  -d, --directory=DIR  extract into DIR (default: the current directory); missing\n"
    "                       directories are created\n"
    "      --keep-paths     keep the directories of the stored name below DIR\n"
    "  -c, --stdout         extract: write the decoded bytes to standard output\n"
    "  -o, --output=TARGET  the file that create writes; - for standard output\n"
    "  -n, --name=NAME      create: the name to store (required when SOURCE is -)\n"
    "      --overwrite      replace existing files without asking\n"
    "      --skip-existing  keep existing files and go on (extract)\n"
    "  -q, --quiet          no progress bar and no messages on success\n"
    "  -h, --help           display this help and exit\n"
    "  -V, --version        output version information and exit\n"
    "Short options may be bundled (-qc); long ones may be abbreviated (--dir=DIR).\n"
    "\n"
    "When a file to be extracted exists, uuarc asks on the terminal; when standard input is\n"
    "not a terminal it keeps the file and fails unless --overwrite or --skip-existing is\n"
    "given. A replaced file stays as it was until its replacement is complete. Names pass\n"
    "as the system spells them; a stored name is kept in OEM code page 437, or in UTF-8\n"
    "where 437 has no exact form.\n"
    "\n"
    "Exit status:\n"
    "  0  success (files skipped on request count as success)\n"
    "  1  usage error\n"
    "  2  not a uuencoded file, or damaged data (status 9974, 9964)\n"
    "  3  a file cannot be opened or created, or its name cannot be passed on (status 5)\n"
    "  4  an existing file was kept: replacing it was refused (status 2926)\n"
    "  5  the output could not be written in full (status 101)\n"
    "  6  creation refused: the target is already encoded or is the source, or the source\n"
    "     is a directory (status 9901, 9907, 9908)\n"
    "  7  any other failure: out of memory, the module cannot be loaded\n"
    "  128+N  ended by signal N (interrupt, hang-up, quit, termination, CPU limit)\n"
    "With several archives, uuarc goes on after a failure and exits with the first failure's\n"
    "code.\n";

int UsageError(const std::string& text) {
    Complain(text);
    std::fputs("Try 'uuarc --help' for more information.\n", stderr);
    return kExitUsage;
}

// The long option that `word` (without "--" and "=VALUE") names exactly or abbreviates alone;
// null after a usage message when there is none or more than one.
const OptionInfo* FindLong(const std::string& word, const std::string& argument, int& failure) {
    const OptionInfo* found = nullptr;
    int matches = 0;
    std::string candidates;
    for (const OptionInfo& option : kOptions) {
        if (word == option.long_name) return &option;
        if (std::strncmp(option.long_name, word.c_str(), word.size()) == 0) {
            candidates += std::string(" '--") + option.long_name + "'";
            found = &option;
            ++matches;
        }
    }
    if (matches == 1) return found;
    failure = matches == 0 ? UsageError("unrecognized option '" + Shown(argument) + "'")
                           : UsageError("option '" + Shown(argument) + "' is ambiguous; possibilities:" + candidates);
    return nullptr;
}

const OptionInfo* FindShort(char name) {
    for (const OptionInfo& option : kOptions) {
        if (option.short_name == name && name != 0) return &option;
    }
    return nullptr;
}

// Applies one option; -1 to go on, otherwise the exit code.
int Apply(const OptionInfo& option, const std::string& value, Options& options) {
    switch (option.id) {
        case OptionId::kDirectory: options.directory = value; options.has_directory = true; break;
        case OptionId::kOutput: options.output = value; options.has_output = true; break;
        case OptionId::kName: options.name = value; options.has_name = true; break;
        case OptionId::kKeepPaths: options.keep_paths = true; break;
        case OptionId::kStdout: options.to_stdout = true; break;
        case OptionId::kOverwrite: options.overwrite_given = true; options.replace = ReplacePolicy::kOverwrite; break;
        case OptionId::kSkip: options.skip_given = true; options.replace = ReplacePolicy::kSkip; break;
        case OptionId::kQuiet: options.quiet = true; break;
        case OptionId::kHelp: std::fputs(kHelp, stdout); return kExitOk;
        case OptionId::kVersion: std::printf("uuarc %s\n", UUARC_VERSION_STRING); return kExitOk;
    }
    return -1;
}

// What the parsed options must satisfy together; -1 when they do.
int CheckCombination(Options& options) {
    const std::string command = options.operands.empty() ? std::string() : options.operands.front();
    if (command.empty()) return UsageError("missing command: list, extract or create");
    if (command == "list") {
        options.command = Command::kList;
    } else if (command == "extract") {
        options.command = Command::kExtract;
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
    if (!extract && (options.has_directory || options.keep_paths || options.skip_given || options.to_stdout)) {
        return UsageError("-d, -c, --keep-paths and --skip-existing belong to extract");
    }
    if (!create && (options.has_output || options.has_name)) return UsageError("-o and -n belong to create");
    if (options.command == Command::kList && options.overwrite_given) {
        return UsageError("--overwrite belongs to extract and create");
    }
    if (options.to_stdout && options.has_directory) return UsageError("-c and -d exclude each other");
    if (options.has_directory && options.directory.empty()) return UsageError("-d needs a directory name");
    if (options.has_output && options.output.empty()) return UsageError("-o needs a file name");
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
    bool only_operands = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (only_operands || arg.size() < 2 || arg[0] != '-') {
            options.operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            only_operands = true;
            continue;
        }
        int failure = -1;
        if (arg[1] == '-') {
            const size_t equals = arg.find('=');
            const std::string word = arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
            const OptionInfo* option = FindLong(word, arg.substr(0, equals), failure);
            if (option == nullptr) return failure;
            std::string value;
            if (option->takes_value) {
                if (equals != std::string::npos) {
                    value = arg.substr(equals + 1);
                } else if (i + 1 < argc) {
                    value = argv[++i];
                } else {
                    return UsageError(std::string("option '--") + option->long_name + "' requires an argument");
                }
            } else if (equals != std::string::npos) {
                return UsageError(std::string("option '--") + option->long_name + "' doesn't allow an argument");
            }
            failure = Apply(*option, value, options);
            if (failure >= 0) return failure;
            continue;
        }
        // A bundle of short options; one that takes a value takes the rest of the word, or else
        // the next argument.
        for (size_t k = 1; k < arg.size(); ++k) {
            const OptionInfo* option = FindShort(arg[k]);
            if (option == nullptr) return UsageError("invalid option -- '" + Shown(arg.substr(k, 1)) + "'");
            std::string value;
            if (option->takes_value) {
                if (k + 1 < arg.size()) {
                    value = arg.substr(k + 1);
                } else if (i + 1 < argc) {
                    value = argv[++i];
                } else {
                    return UsageError(std::string("option requires an argument -- '") + option->short_name + "'");
                }
                k = arg.size();
            }
            failure = Apply(*option, value, options);
            if (failure >= 0) return failure;
        }
    }
    return CheckCombination(options);
}

}  // namespace uuarc_host
