// extract.cpp - the extract command: decodes an archive into a folder, or through a private
// temporary folder to standard output (-c).
#include <algorithm>
#include <iterator>

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

// The stored name of the open archive as the module lists it (module terms); "" when the listing
// fails.
std::string ListStoredName() {
    ArcFileList list;
    g_api.InitArcFileList(&list);
    g_api.BuildArcFileList(&list);
    std::string name;
    if (g_api.GetArchiveStatus() == UUARC_STATUS_OK && list.first != nullptr) {
        const ArcFileEntry& entry = *list.first;
        name.assign(entry.name, std::find(entry.name, std::end(entry.name), '\0'));
    }
    g_api.DoneArcFileList(&list);
    return name;
}

int ExtractPrepared(const Options& options, Request& request) {
    int code = OpenArchive(request);
    if (code >= 0) return code;

    StartOperation(options, true, request.archive_shown, QueryPath(request.archive).size);
    Operation& op = g_operation;
    op.archive = request.archive;
    op.output_private = request.to_stdout;
    DecompExtraFeatures features{};
    features.keep_paths = request.keep_paths ? 1 : 0;
    g_api.SetDecompExtraFeatures(&features);
    // The begin line's mode is for a file that stays; the copy for standard output must stay
    // readable by this run, whatever the mode says.
    if (options.no_mode || request.to_stdout) g_api.arOptionsOn(UUARC_OPTION_NO_MODE);
    else g_api.arOptionsOff(UUARC_OPTION_NO_MODE);
    g_api.SetOutputPath(request.output_folder.c_str());
    // "*.*" with no directory selects every stored name, whatever its directories.
    const uint16_t status = RunOnOneMask(g_api.ExtractFileMaskListArc, "*.*");
    // The module names the output through SetFileNameProc, which the messages take it from. It
    // refuses an unsafe stored name before that: only then is the archive listed, for the name
    // that the message explains.
    if (status == UUARC_STATUS_CANNOT_OPEN && op.target.empty()) request.stored_name = ListStoredName();
    g_api.DoneArcFile();

    if (status != UUARC_STATUS_OK) {
        const bool skipped = status == UUARC_STATUS_REPLACE_REFUSED && op.replace == ReplaceOutcome::kSkipped;
        code = skipped ? kExitOk : ReportFailure(request, status, op);
        FinishOperation(false);
        if (skipped) Say(Shown(request.archive_shown) + ": " + Shown(op.target) + " exists, skipped");
        // A partial output stays where the user asked for it, named incomplete in the message.
        if (!request.to_stdout) Forget(op.new_output);
        return code;
    }
    FinishOperation(true);
    if (op.target.empty()) {
        Report(request.archive_shown, "nothing extracted", "no entry was selected", -1);
        return kExitOther;
    }
    // With -c the decoded file is in the output folder, settled with it by the caller.
    if (request.to_stdout) return CopyToStandardOutput(op.target, code) ? kExitOk : code;
    Forget(op.new_output);
    Say(Shown(request.archive_shown) + " -> " + Shown(op.target));
    return kExitOk;
}

}  // namespace

int ExtractArchive(const Options& options, const std::string& operand, const std::string& module_directory) {
    ArchiveInput input;
    Scratch output_scratch;
    int code = kExitOk;
    Request request;
    request.command = Command::kExtract;
    request.to_stdout = options.to_stdout;
    // Standard output takes the bytes alone: the stored directories mean nothing there.
    request.keep_paths = options.keep_paths && !options.to_stdout;
    request.output_folder = module_directory;
    bool ready = PrepareArchive(operand, input, code);
    if (ready && options.to_stdout) {
        std::string error;
        ready = MakeScratch(output_scratch, code);
        if (ready && !ToModulePath(output_scratch.folder, request.output_folder, error)) {
            Report(output_scratch.folder, "cannot pass the name to the module", error, -1);
            code = kExitCannotOpen;
            ready = false;
        }
    }
    if (ready) {
        request.archive_shown = input.shown;
        request.archive = input.path;
        code = ExtractPrepared(options, request);
    }
    // The decoded file goes before its folder.
    if (options.to_stdout) Settle(g_operation.new_output);
    SettleScratch(output_scratch);
    SettleScratch(input.scratch);
    return code;
}

}  // namespace uuarc_host
