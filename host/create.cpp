// create.cpp - the create command: encodes one source (a file, or standard input) into a file that
// the module makes or replaces, or to standard output (-o -): where the module has sinks (Linux,
// the 64-bit DLL) it writes there itself as it encodes, elsewhere through a private temporary
// folder. The module stores the last component of the source path, so --name gives it a source
// of that name: a second name of the file in a private folder. A source that cannot be read twice
// (standard input, a pipe, a FIFO) is copied there first, under the name to store: the header
// states the size before the data.
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

// Where the module reads the source and writes the target; what it made is settled by the
// caller.
struct Plan {
    std::string stored_name;
    std::string source;          // what the module opens: the source, its alias or the copy
    int64_t source_size = 0;     // what the progress bar counts
    Scratch scratch;
    std::string archive;         // CreateArcFile's path (module terms): "" for an output setting
    std::string output;          // the output setting that names the target (the output file,
                                 // or standard output), if any
    bool to_sink = false;        // the module writes into standard output itself
    LeftoverId new_target = kNoLeftover;
};

// Puts the source where the module will read it under the name to store. -1 when done.
int PlaceSource(const Options& options, Request& request, Plan& plan) {
    int code = kExitOk;
    const std::string& operand = options.operands[0];
    std::FILE* from = nullptr;
    PathInfo info;
    if (operand == kStandardStream) {
        SetBinaryMode(stdin);
        from = stdin;
    } else {
        info = QueryPath(operand);
        // A FIFO, a pipe, a process substitution or standard input by another name (/dev/stdin)
        // is read once as "-" is. Any other device is the module's to refuse.
        if (info.exists && !info.is_regular && !info.is_directory && (!info.is_device || IsStandardInput(operand))) {
            from = std::fopen(operand.c_str(), "rb");
        }
    }
    if (from != nullptr) {
        const bool copied = CopyIntoScratch(from, request.source_shown, plan.scratch, plan.stored_name, plan.source, code);
        if (from != stdin) std::fclose(from);
        if (!copied) return code;
        request.source = plan.source;
        plan.source_size = QueryPath(plan.source).size;
        return -1;
    }
    plan.source = operand;
    plan.source_size = info.size;
    if (!options.has_name || plan.stored_name == BaseName(operand)) return -1;
    if (!info.exists) return ReportFailure(request, UUARC_STATUS_CANNOT_OPEN, g_operation);
    if (!MakeScratch(plan.scratch, code)) return code;
    plan.source = plan.scratch.folder + kPathSeparator + plan.stored_name;
    if (!RememberScratchFile(plan.scratch, plan.source, code)) return code;
    if (!MakeAlias(AbsolutePath(operand), plan.source)) {
        Report(plan.source, "cannot make a second name for the source", SystemErrorText(), -1);
        return kExitCannotOpen;
    }
    return -1;
}

// Settles where the module writes: the target, which it makes, asks about and replaces as it does
// every output (named by the output-file setting where the module has one), standard output
// itself where the module has sinks, or else a file in the scratch folder for -o -. -1 when done.
int PlaceTarget(Request& request, Plan& plan) {
    int code = kExitOk;
    std::string error;
#if defined(UUARC_OUTPUT_STDOUT)
    if (request.to_stdout) {
        plan.output = UUARC_OUTPUT_STDOUT;
        plan.to_sink = true;
        return -1;
    }
#endif
    if (request.to_stdout) {
        if (!MakeScratch(plan.scratch, code)) return code;
        request.written = plan.scratch.folder + kPathSeparator + plan.stored_name + ".uue";
        if (!RememberScratchFile(plan.scratch, request.written, code)) return code;
    } else {
        request.written = request.target_shown;
    }
    bool passed = false;
#if defined(UUARC_OUTPUT_FILE)
    passed = request.to_stdout ? ToModulePath(request.written, plan.archive, error)
                               : ToModuleFile(request.written, plan.output, error);
#else
    // A module without the output file makes a new target only, named by CreateArcFile.
    passed = ToModulePath(request.written, plan.archive, error);
#endif
    if (!passed) {
        Report(request.target_shown, "cannot pass the name to the module", error, -1);
        return kExitCannotOpen;
    }
    // A target that is not there yet is this run's own once the module has made it, until it is whole.
    if (request.to_stdout || QueryPath(request.written).exists) return -1;
    plan.new_target = Remember(LeftoverKind::kOwnFile, request.written);
    if (plan.new_target != kNoLeftover) return -1;
    Report(request.target_shown, "cannot create", "the path is too long to be cleaned up after", -1);
    return kExitOther;
}

int Encode(const Options& options, Request& request, Plan& plan) {
    std::string module_source, error;
    if (!ToModulePath(plan.source, module_source, error)) {
        Report(request.source_shown, "cannot pass the name to the module", error, -1);
        return kExitCannotOpen;
    }
    g_api.CreateArcFile(plan.archive.c_str());
    uint16_t status = g_api.GetArchiveStatus();
    if (status != UUARC_STATUS_OK) {
        g_api.DoneArcFile();
        return ReportFailure(request, status, g_operation);
    }
    StartOperation(options, false, request.source_shown, plan.source_size);
    g_operation.target = request.written;
    g_operation.output_sink = plan.to_sink;
    // The progress reports take the file that the module writes for this run's own.
    g_operation.new_output = plan.new_target;
    if (!plan.output.empty()) g_api.SetOutputPath(plan.output.c_str());
    g_api.arOptionsOn(UUARC_OPTION_NO_SOURCE_PREFIX);
#if defined(UUARC_OPTION_REPLACE_ENCODED)
    // An encoded target is replaced only when the user said --overwrite.
    if (options.replace == ReplacePolicy::kOverwrite) g_api.arOptionsOn(UUARC_OPTION_REPLACE_ENCODED);
    else g_api.arOptionsOff(UUARC_OPTION_REPLACE_ENCODED);
#endif
    status = RunOnOneMask(g_api.CompressFileMaskListArc, module_source);
    g_api.DoneArcFile();
    FinishOperation(status == UUARC_STATUS_OK);
    if (status == UUARC_STATUS_REPLACE_REFUSED && g_operation.replace == ReplaceOutcome::kSkipped) {
        Say(Shown(request.target_shown) + " exists, skipped");
        return kExitOk;
    }
    if (status != UUARC_STATUS_OK) {
        const int code = ReportFailure(request, status, g_operation);
        if (plan.to_sink && status == UUARC_STATUS_WRITE_FAILED) StandardOutputLost();
        // A cut encoded file serves nobody. Only a failed write means that the file at the
        // target may be ours: the other failures come before it is made, or (2926) it is not
        // ours. It goes only if it was taken for ours during the run.
        if (status == UUARC_STATUS_WRITE_FAILED) {
            Settle(plan.new_target);
        } else {
            Forget(plan.new_target);
        }
        return code;
    }
    Forget(plan.new_target);
    if (plan.to_sink) return FlushStandardOutput() ? kExitOk : kExitWriteFailed;
    if (request.to_stdout) {
        int code = kExitOk;
        return CopyToStandardOutput(request.written, code) ? kExitOk : code;
    }
    Say(Shown(request.source_shown) + " -> " + Shown(request.target_shown));
    return kExitOk;
}

}  // namespace

int CreateArchive(const Options& options) {
    const std::string& operand = options.operands[0];
    Plan plan;
    plan.stored_name = options.has_name ? options.name : BaseName(operand);
    if (plan.stored_name.empty() || plan.stored_name == "." || plan.stored_name == "..") {
        Complain("cannot derive a name to store from '" + Shown(operand) + "'; give --name NAME");
        return kExitUsage;
    }
    Request request;
    request.command = Command::kCreate;
    request.source = operand;
    request.source_shown = operand == kStandardStream ? kStandardInputName : operand;
    request.to_stdout = options.has_output && options.output == kStandardStream;
    request.target_shown = request.to_stdout ? kStandardOutputName
                           : options.has_output ? options.output
                                                : plan.stored_name + ".uue";
    // The module splits the name at its last dot and drops an empty extension with it.
    if (plan.stored_name.back() == '.') {
        Report(request.source_shown, "cannot encode", "a name that ends in a dot cannot be stored", -1);
        return kExitCannotOpen;
    }
    request.stored_name = plan.stored_name;
    // A name given with -n is never made a file of when the module would refuse to store it.
    const std::string why_name = options.has_name ? CreationNameProblem(plan.stored_name) : "";
    if (!why_name.empty()) {
        Report(request.source_shown, "cannot store the name '" + Shown(plan.stored_name) + "'", why_name,
               UUARC_STATUS_CANNOT_OPEN);
        return kExitCannotOpen;
    }
    int code = PlaceSource(options, request, plan);
    if (code < 0) code = PlaceTarget(request, plan);
    if (code < 0) code = Encode(options, request, plan);
    Forget(plan.new_target);
    SettleScratch(plan.scratch);
    return code;
}

}  // namespace uuarc_host
