// main.cpp - the command-line host's entry: parses the command line, loads the module, installs
// the interrupt handler and runs the command on each operand.
#include <new>
#include <string>

#include "host/cleanup.h"
#include "host/commands.h"
#include "host/console.h"
#include "host/exit_codes.h"
#include "host/module_loader.h"
#include "host/module_names.h"
#include "host/operation.h"
#include "host/options.h"
#include "host/standard_streams.h"
#include "host/system.h"

#if !defined(UUARC_INSTALLED_MODULE_DIR)
#define UUARC_INSTALLED_MODULE_DIR ""
#endif

namespace uuarc_host {

namespace {

int Run(int argc, char** argv) {
    Options options;
    const int parsed = ParseCommandLine(argc, argv, options);
    if (parsed >= 0) return parsed;
    g_console.quiet = options.quiet;
    g_console.data_on_stdout = options.to_stdout || (options.has_output && options.output == kStandardStream);
    SettleOnInterrupt();

    static uuarc_loader::LoadedModule module;
    std::string error;
    if (!uuarc_loader::FindAndLoadModule(UUARC_INSTALLED_MODULE_DIR, module, error)) {
        Complain(Shown(error));
        return kExitOther;
    }
    g_api = module.api;
    SetUpModule();
    if (options.command == Command::kCreate) return CreateArchive(options);

    std::string module_directory;
    if (options.has_directory && !ToModuleFolder(options.directory, module_directory, error)) {
        Report(options.directory, "cannot pass the name to the module", error, -1);
        return kExitCannotOpen;
    }
    // The folder of -d stays held for every archive; those of one archive's paths, until it is done.
    const size_t held = HeldFolderCount();
    int result = kExitOk;
    bool first = true;
    for (const std::string& operand : options.operands) {
        const int code = options.command == Command::kList ? ListArchive(options, operand, first)
                                                           : ExtractArchive(options, operand, module_directory);
        ReleaseHeldFolders(held);
        first = false;
        if (result == kExitOk) result = code;
        if (StandardOutputFailed()) break;
    }
    return result;
}

}  // namespace

}  // namespace uuarc_host

int main(int argc, char** argv) {
    using namespace uuarc_host;
    // Before anything is opened: a closed descriptor would otherwise be the next file's number,
    // and the module's writes to standard output would go into it.
    OpenClosedStandardStreams();
    int code = kExitOther;
    try {
        code = Run(argc, argv);
    } catch (const std::bad_alloc&) {
        Complain("out of memory");
    } catch (...) {
        Complain("unexpected internal error");
    }
    if (!FlushStandardOutput() && code == kExitOk) code = kExitWriteFailed;
    SettleAll();
    return code;
}
