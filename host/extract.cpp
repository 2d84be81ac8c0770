// extract.cpp - the extract and test commands: decode an archive into a folder, into a file that
// the user names (-o), to standard output (-c), or into nothing (test).
//
// Where the module has sinks (the Linux build, the 64-bit DLL), standard output and "nothing" are
// handed to it by their reserved names and it writes into them as it decodes. Elsewhere (the
// 32-bit DLL) the file is decoded into a private temporary folder, then copied to standard output
// or dropped. -o FILE goes to
// the module as its output file: it makes, asks about and replaces FILE as it does any output.
#include <string>

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

#if defined(UUARC_OPTION_EVERY_FILE)
// How many files the module lists in the open archive; 0 when the listing fails.
uint32_t ListedFiles() {
    ArcFileList list;
    g_api.InitArcFileList(&list);
    g_api.BuildArcFileList(&list);
    const uint32_t files = g_api.GetArchiveStatus() == UUARC_STATUS_OK ? list.count : 0;
    g_api.DoneArcFileList(&list);
    return files;
}
#endif

// An extraction of every file of a text, as its files are done one by one (the module says so
// from inside the export, after each, with what it said of the file before: its names, its fact).
struct FileRun {
    Request* request = nullptr;
    uint32_t files = 0;
    uint32_t intact = 0;
    int code = kExitOk;  // the first failure's
};
FileRun g_file_run;

// Says what became of one file: the one file of the format, or a file of a text of several. The
// archive's "intact" is said by the caller. Returns the file's exit code.
int SettleFile(const Request& request, uint16_t status) {
    Operation& op = g_operation;
    if (status != UUARC_STATUS_OK) {
        const bool skipped = status == UUARC_STATUS_REPLACE_REFUSED && op.replace == ReplaceOutcome::kSkipped;
        const int code = skipped ? kExitOk : ReportFailure(request, status, op);
        if (op.output_sink && request.to_stdout && status == UUARC_STATUS_WRITE_FAILED) StandardOutputLost();
        if (skipped) Say(Shown(request.archive_shown) + ": " + Shown(op.target) + " exists, skipped");
        if (!op.output_private) Forget(op.new_output);
        return code;
    }
    if (op.target.empty()) {
        Report(request.archive_shown, "nothing extracted", "no entry was selected", -1);
        return kExitOther;
    }
    if (request.testing) return kExitOk;
    if (op.output_sink) return FlushStandardOutput() ? kExitOk : kExitWriteFailed;
    // Without sinks the decoded file is in the scratch folder, settled with it by the caller.
    int code = kExitOk;
    if (request.to_stdout) return CopyToStandardOutput(op.target, code) ? kExitOk : code;
    Forget(op.new_output);
    if (!g_console.quiet) Say(Shown(request.archive_shown) + " -> " + Shown(op.target));  // made only when said
    return kExitOk;
}

// SetSignalProc's "a file is done", for every file of a text (or the one file, after the
// extraction, where the module does not say it). A private output (the scratch
// folder behind -c and test) goes at once, so that a second file of its name finds none.
void OnFileDone(uint16_t status) {
    FileRun& run = g_file_run;
    Operation& op = g_operation;
    ProgressHide();
    const int code = SettleFile(*run.request, status);
    if (op.output_private) Settle(op.new_output);
    ++run.files;
    if (status == UUARC_STATUS_OK && code == kExitOk) ++run.intact;
    if (run.code == kExitOk) run.code = code;
    NextFile();
}

// After an extraction whose files are done: for test, the archive's line.
int SettleFileRun(const Request& request) {
    FileRun& run = g_file_run;
    g_api.DoneArcFile();
    FinishOperation(run.code == kExitOk);
    if (request.testing && run.files > 1) {
        Say(Shown(request.archive_shown) + ": " + std::to_string(run.files) + " files, " +
            (run.intact == run.files ? std::string("intact") : std::to_string(run.intact) + " intact"));
    } else if (request.testing && run.intact == 1) {
        Say(Shown(request.archive_shown) + ": intact");
    }
    return run.code;
}

// Settles where the module writes for `request`; -1 when done, otherwise the exit code after a
// message.
int PlaceOutput(const Options& options, Request& request, Destination& out) {
    std::string error;
    if (options.has_output) {
        if (ToModuleFile(options.output, request.output_folder, error)) return -1;
        Report(options.output, "cannot pass the name to the module", error, -1);
        return kExitCannotOpen;
    }
    if (!request.testing && !request.to_stdout) return -1;
    return PlaceNowhere(request.to_stdout, out, request.output_folder);
}

int ExtractPrepared(const Options& options, Request& request, ArchiveInput& input, Destination& out) {
    const int code = OpenArchive(request, input);
    if (code >= 0) return code;
#if defined(UUARC_OPTION_EVERY_FILE)
    // One output file takes one file of the text.
    const uint32_t files = options.has_output ? ListedFiles() : 0;
    if (files > 1) {
        g_api.DoneArcFile();
        Report(request.archive_shown, "it holds " + std::to_string(files) + " files",
               "-o FILE takes one; extract them with -d DIR, or with -c one after the other", -1);
        return kExitUsage;
    }
#endif

    g_file_run = FileRun{};
    g_file_run.request = &request;
    // The module names the output through SetFileNameProc, which the messages take it from; an
    // unsafe stored name it names with no output, and says which rule it breaks.
    const uint16_t status = RunExtraction(options, request, out, OnFileDone);
    // A module that says when each file is done (every file of a text) has had each one said;
    // the one file of a module that does not, is done now.
    if (g_file_run.files == 0) OnFileDone(status);
    return SettleFileRun(request);
}

}  // namespace

int PlaceNowhere([[maybe_unused]] bool to_stdout, Destination& out, std::string& output) {
#if defined(UUARC_OUTPUT_STDOUT)
    out.sink = to_stdout ? UUARC_OUTPUT_STDOUT : UUARC_OUTPUT_NULL;
    output = out.sink;
    return -1;
#else
    int code = kExitOk;
    std::string error;
    if (!MakeScratch(out.scratch, code)) return code;
    if (ToModulePath(out.scratch.folder, output, error)) return -1;
    Report(out.scratch.folder, "cannot pass the name to the module", error, -1);
    return kExitCannotOpen;
#endif
}

uint16_t RunExtraction(const Options& options, const Request& request, const Destination& out,
                       void (*file_done)(uint16_t status)) {
    StartOperation(options, true, request.archive_shown, 0);
    Operation& op = g_operation;
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
    op.file_done = file_done;
    // "*.*" with no directory selects every stored name, whatever its directories.
    const uint16_t status = RunOnOneMask(g_api.ExtractFileMaskListArc, "*.*");
    op.file_done = nullptr;
    return status;
}

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
        if (code < 0) code = ExtractPrepared(options, request, input, out);
    }
    // A decoded file goes before its folder.
    if (g_operation.output_private) Settle(g_operation.new_output);
    SettleScratch(out.scratch);
    SettleScratch(input.scratch);
    return code;
}

}  // namespace uuarc_host
