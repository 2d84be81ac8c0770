// extract.cpp - the extract and test commands: decode an archive into a folder, into a file that
// the user names (-o), to standard output (-c), or into nothing (test).
//
// Where the module has sinks (the Linux build), standard output and "nothing" are handed to it
// by their reserved names and it writes into them as it decodes. Elsewhere the file is decoded
// into a private temporary folder, then copied to standard output or dropped. -o FILE goes to
// the module as its output file: it makes, asks about and replaces FILE as it does any output.
#include "host/commands.h"
#include "host/console.h"
#include "host/exit_codes.h"
#include "host/failure.h"
#include "host/module_names.h"
#include "host/operation.h"
#include "host/standard_streams.h"
#include "host/system.h"

namespace uuarc_host {

namespace {

// Where the decoded file goes, and what is settled after the run.
struct Destination {
    const char* sink = nullptr;  // the module's reserved output name, or null for files
    Scratch scratch;             // -c and test without sinks: the private folder decoded into
};

// Settles where the module writes for `request`; -1 when done, otherwise the exit code after a
// message.
int PlaceOutput(const Options& options, Request& request, Destination& out) {
    std::string error;
    if (options.has_output) {
        if (ToModuleFile(options.output, request.output_folder, error)) return -1;
        Report(options.output, "cannot pass the name to the module", error, -1);
        return kExitCannotOpen;
    }
    const bool into_nothing = request.testing || request.to_stdout;
    if (!into_nothing) return -1;
#if defined(UUARC_OUTPUT_STDOUT)
    out.sink = request.to_stdout ? UUARC_OUTPUT_STDOUT : UUARC_OUTPUT_NULL;
    request.output_folder = out.sink;
    return -1;
#else
    int code = kExitOk;
    if (!MakeScratch(out.scratch, code)) return code;
    if (ToModulePath(out.scratch.folder, request.output_folder, error)) return -1;
    Report(out.scratch.folder, "cannot pass the name to the module", error, -1);
    return kExitCannotOpen;
#endif
}

int ExtractPrepared(const Options& options, Request& request, Destination& out) {
    int code = OpenArchive(request);
    if (code >= 0) return code;

    StartOperation(options, true, request.archive_shown, QueryPath(request.archive).size);
    Operation& op = g_operation;
    op.archive = request.archive;
    op.output_sink = out.sink != nullptr;
    op.output_private = !out.scratch.folder.empty();
    DecompExtraFeatures features{};
    features.keep_paths = request.keep_paths ? 1 : 0;
    g_api.SetDecompExtraFeatures(&features);
    // The begin line's mode is for a file that stays; a copy for standard output must stay
    // readable by this run, whatever the mode says.
    if (options.no_mode || (request.to_stdout && !op.output_sink)) g_api.arOptionsOn(UUARC_OPTION_NO_MODE);
    else g_api.arOptionsOff(UUARC_OPTION_NO_MODE);
    g_api.SetOutputPath(request.output_folder.c_str());
    // "*.*" with no directory selects every stored name, whatever its directories.
    // The module names the output through SetFileNameProc, which the messages take it from; an
    // unsafe stored name it names with no output, and says which rule it breaks.
    const uint16_t status = RunOnOneMask(g_api.ExtractFileMaskListArc, "*.*");
    g_api.DoneArcFile();

    if (status != UUARC_STATUS_OK) {
        FinishOperation(false);
        const bool skipped = status == UUARC_STATUS_REPLACE_REFUSED && op.replace == ReplaceOutcome::kSkipped;
        code = skipped ? kExitOk : ReportFailure(request, status, op);
        if (op.output_sink && request.to_stdout && status == UUARC_STATUS_WRITE_FAILED) StandardOutputLost();
        if (skipped) Say(Shown(request.archive_shown) + ": " + Shown(op.target) + " exists, skipped");
        if (!op.output_private) Forget(op.new_output);
        return code;
    }
    FinishOperation(true);
    if (op.target.empty()) {
        Report(request.archive_shown, "nothing extracted", "no entry was selected", -1);
        return kExitOther;
    }
    if (request.testing) {
        Say(Shown(request.archive_shown) + ": intact");
        return kExitOk;
    }
    if (op.output_sink) return FlushStandardOutput() ? kExitOk : kExitWriteFailed;
    // Without sinks the decoded file is in the scratch folder, settled with it by the caller.
    if (request.to_stdout) return CopyToStandardOutput(op.target, code) ? kExitOk : code;
    Forget(op.new_output);
    Say(Shown(request.archive_shown) + " -> " + Shown(op.target));
    return kExitOk;
}

}  // namespace

int ExtractArchive(const Options& options, const std::string& operand, const std::string& module_directory) {
    ArchiveInput input;
    Destination out;
    int code = kExitOk;
    Request request;
    request.command = options.command;
    request.to_stdout = options.to_stdout;
    request.testing = options.command == Command::kTest;
    // Standard output and -o FILE take the bytes alone: the stored directories mean nothing there.
    request.keep_paths = options.keep_paths && !options.to_stdout && !options.has_output;
    request.output_folder = module_directory;
    request.target_shown = options.has_output ? options.output : std::string();
    if (PrepareArchive(operand, input, code)) {
        request.archive_shown = input.shown;
        request.archive = input.path;
        code = PlaceOutput(options, request, out);
        if (code < 0) code = ExtractPrepared(options, request, out);
    }
    // A decoded file goes before its folder.
    if (g_operation.output_private) Settle(g_operation.new_output);
    SettleScratch(out.scratch);
    SettleScratch(input.scratch);
    return code;
}

}  // namespace uuarc_host
