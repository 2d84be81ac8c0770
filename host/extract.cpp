// extract.cpp - the extract and test commands: decode an archive into a folder, into a file that
// the user names (-o), to standard output (-c), or into nothing (test).
//
// Where the module has sinks (the Linux build), standard output and "nothing" are handed to it
// by their reserved names and it writes into them as it decodes. Elsewhere the file is decoded
// into a private temporary folder, then copied to standard output or dropped. With -o the file
// is decoded into a private folder beside FILE and moved into place once it is whole, checked as
// create checks its target.
#include <algorithm>
#include <iterator>

#include "host/commands.h"
#include "host/console.h"
#include "host/exit_codes.h"
#include "host/failure.h"
#include "host/module_names.h"
#include "host/operation.h"
#include "host/replace.h"
#include "host/standard_streams.h"
#include "host/system.h"

namespace uuarc_host {

namespace {

// Where the decoded file goes, and what is settled after the run.
struct Destination {
    const char* sink = nullptr;  // the module's reserved output name, or null for files
    Scratch scratch;             // -c and test without sinks: the private folder decoded into
    Replacement named;           // -o FILE: the private folder beside FILE
    NamedTarget found;           // -o FILE: what was at FILE
    PathInfo found_info;
};

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

// Settles where the module writes for `request`; -1 when done, otherwise the exit code after a
// message (or kExitOk when -o FILE exists and is to be kept).
int PlaceOutput(const Options& options, Request& request, Destination& out) {
    int code = kExitOk;
    const bool into_nothing = request.testing || request.to_stdout;
#if defined(UUARC_OUTPUT_STDOUT)
    if (into_nothing) {
        out.sink = request.to_stdout ? UUARC_OUTPUT_STDOUT : UUARC_OUTPUT_NULL;
        request.output_folder = out.sink;
        return -1;
    }
#endif
    std::string folder, error;
    if (into_nothing) {
        if (!MakeScratch(out.scratch, code)) return code;
        folder = out.scratch.folder;
    } else if (options.has_output) {
        const std::string& target = options.output;
        code = ConsentToWrite(target, options, request.archive, request.archive_shown, out.found);
        if (code >= 0) return code;
        out.found_info = QueryPath(target);
        if (out.found.in_place) {
            // A rename would split the file's links, or cannot be done in its folder: the file is
            // decoded into a scratch folder and written over it once whole.
            if (!MakeScratch(out.scratch, code)) return code;
            folder = out.scratch.folder;
            PrepareOverwriteInPlace(target, out.found.identity, "", out.named);
        } else if (PrepareWriteBeside(target, out.named, error, nullptr)) {
            folder = out.named.folder;
        } else {
            Report(target, out.found.exists ? "cannot be replaced" : "cannot create", error, -1);
            return kExitCannotOpen;
        }
    } else {
        return -1;
    }
    if (ToModulePath(folder, request.output_folder, error)) return -1;
    Report(folder, "cannot pass the name to the module", error, -1);
    return kExitCannotOpen;
}

// With -o FILE: the decoded file takes FILE's place, checked to be the file the module made.
// `code` is the run's exit code so far, kept unless the move fails.
int MoveIntoPlace(const Request& request, Destination& out, int code) {
    Operation& op = g_operation;
    if (out.named.in_place) {
        out.named.stand_in = op.target;  // the scratch folder's, settled with it
    } else {
        TakeStandIn(out.named, op.target, op.new_output);
        op.new_output = kNoLeftover;
    }
    std::string error;
    switch (CompleteReplacement(out.named, error)) {
        case ReplaceResult::kDone:
            if (code == kExitOk) Say(Shown(request.archive_shown) + " -> " + Shown(request.target_shown));
            return code;
        case ReplaceResult::kKept:
            Report(request.target_shown, out.found.exists ? "not replaced" : "not created",
                   error + (out.found.exists ? "; the old file is kept as it was" : ""), -1);
            return code == kExitOk ? kExitCannotOpen : code;
        case ReplaceResult::kLost:
            Report(request.target_shown, "cannot write the data in full",
                   error + "; it is incomplete, and the old content is lost", UUARC_STATUS_WRITE_FAILED);
            return kExitWriteFailed;
    }
    return code;
}

int ExtractPrepared(const Options& options, Request& request, Destination& out) {
    int code = OpenArchive(request);
    if (code >= 0) return code;

    StartOperation(options, true, request.archive_shown, QueryPath(request.archive).size);
    Operation& op = g_operation;
    op.archive = request.archive;
    op.output_sink = out.sink != nullptr;
    op.output_private = !out.scratch.folder.empty() || !out.named.folder.empty();
    DecompExtraFeatures features{};
    features.keep_paths = request.keep_paths ? 1 : 0;
    g_api.SetDecompExtraFeatures(&features);
    // The begin line's mode is for a file that stays; a copy for standard output must stay
    // readable by this run, whatever the mode says.
    if (options.no_mode || (request.to_stdout && !op.output_sink)) g_api.arOptionsOn(UUARC_OPTION_NO_MODE);
    else g_api.arOptionsOff(UUARC_OPTION_NO_MODE);
    g_api.SetOutputPath(request.output_folder.c_str());
    // "*.*" with no directory selects every stored name, whatever its directories.
    const uint16_t status = RunOnOneMask(g_api.ExtractFileMaskListArc, "*.*");
    // The module names the output through SetFileNameProc, which the messages take it from. It
    // refuses an unsafe stored name before that: only then is the archive listed, for the name
    // that the message explains.
    if (status == UUARC_STATUS_CANNOT_OPEN && op.target.empty()) request.stored_name = ListStoredName();
    g_api.DoneArcFile();

    const bool named = options.has_output && !out.named.target.empty();
    if (status != UUARC_STATUS_OK) {
        FinishOperation(false);
        if (named) {
            // A partial file takes FILE's name where that replaces nothing, as a partial output
            // stays where the user asked for it; the message names FILE, and what became of it.
            if (op.output_opened && !out.found.exists) code = MoveIntoPlace(request, out, kExitOk);
            if (code != kExitOk && code >= 0) return code;
            // An empty target means that the module refused the stored name before naming an output.
            if (!op.target.empty()) op.target = request.target_shown;
            if (out.found.exists) {
                op.replace = ReplaceOutcome::kReplaced;
                op.replaced = out.found_info;
            }
        }
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
    if (named) return MoveIntoPlace(request, out, kExitOk);
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
    AbandonReplacement(out.named);
    SettleScratch(out.scratch);
    SettleScratch(input.scratch);
    return code;
}

}  // namespace uuarc_host
