// operation.cpp - the callbacks and the run of operation.h.
#include "host/operation.h"

#include <cinttypes>
#include <cstdio>
#include <ctime>

#include "host/console.h"
#include "host/module_names.h"
#include "host/system.h"
#include "shared/file_time.h"
#include "uuarc.h"

namespace uuarc_host {

uuarc_loader::ModuleExports g_api;
Operation g_operation;

namespace {

// A FILETIME (UTC, 100 ns since 1601) as local date and time.
std::string FormatFileTime(const FileTime& file_time) {
    const int64_t ticks = static_cast<int64_t>((uint64_t{file_time.high} << 32) | file_time.low);
    std::time_t seconds =
        static_cast<std::time_t>((ticks - uuarc::kUnixEpochAsFileTime) / uuarc::kFileTimeTicksPerSecond);
    const std::tm* local = std::localtime(&seconds);
    if (local == nullptr) return "unknown time";
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", local);
    return text;
}

int64_t SizeOf(const FindData& data) {
    return static_cast<int64_t>((uint64_t{data.size_high} << 32) | data.size_low);
}

// Extraction names its output before it opens it (a sink by its reserved spelling), and the
// entry it is about: "\" and the stored name. A fact of a part of a split posting may name its
// file so, from InitArcFile too.
int32_t UUARC_CALL OnFileName(UserData, const char* source, const char* target) noexcept {
    Operation& op = g_operation;
    if (source[0] == '\\') op.entry = source + 1;
    if (!op.extracting) return 0;
    op.target = op.output_sink ? std::string(target) : FromModulePath(target);
    return 0;
}

int32_t UUARC_CALL OnProgress(UserData, int32_t, int32_t bytes) noexcept {
    if (!g_operation.extracting) IdentifyLeftover(g_operation.new_output, false);
    ProgressAdd(bytes);
    return 0;
}

// A field of the fact that the module is passing, or the kind that closes it; false for another
// code.
bool TakeFactField([[maybe_unused]] Operation& op, [[maybe_unused]] int64_t value, [[maybe_unused]] int32_t code) {
#if defined(UUARC_OPTION_FACTS)
    ModuleFact& fields = op.fact_fields;
    switch (code) {
        case UUARC_SIGNAL_FACT_LINE: fields.line = value; return true;
        case UUARC_SIGNAL_FACT_CHARACTER: fields.character = value; return true;
        case UUARC_SIGNAL_FACT_COUNT: fields.count = value; return true;
        case UUARC_SIGNAL_FACT_EXPECTED: fields.expected = value; return true;
        case UUARC_SIGNAL_FACT_RULE: fields.rule = value; return true;
        case UUARC_SIGNAL_FACT_SPAN: fields.span = value; return true;
        case UUARC_SIGNAL_FACT_MODE: fields.mode = value; return true;
        case UUARC_SIGNAL_FACT_PART: fields.part = value; return true;
        case UUARC_SIGNAL_FACT_PARTS: fields.parts = value; return true;
        case UUARC_SIGNAL_FACT_VOLUME: fields.volume = value; return true;
        case UUARC_SIGNAL_FACT_INDEX: fields.index = value; return true;
        case UUARC_SIGNAL_FACT:
            // A listing's entries and a new output are told as they are made; any other fact
            // explains a failure.
            fields.kind = static_cast<int32_t>(value);
            if (fields.kind == UUARC_FACT_ENTRY_MODE) {
                op.modes.push_back(fields.mode);
            } else if (fields.kind == UUARC_FACT_NEW_OUTPUT) {
                op.made = FileIdentity{static_cast<uint64_t>(fields.volume), static_cast<uint64_t>(fields.index)};
                op.made_known = true;
                IdentifyLeftoverAs(op.new_output, op.made);  // creation's target, taken before
            } else {
                (fields.kind == UUARC_FACT_PART ? op.part : op.fact) = fields;
            }
            fields = ModuleFact{};
            return true;
        default: break;
    }
#endif
    return false;
}

// The output is open and nothing is written yet, and the module says the archive's length, which
// the bar counts. Where it asked no question, nothing was there: the file is the one it has just
// made, this run's own until it is whole, to be removed if the run is interrupted while it is
// still that file (its identity as the module gave it, or else taken now, while it is empty). A
// file that replaces another is the module's to keep or drop. A sink says at the end how many
// bytes it took; a creation whose source changed, how many it read; a failure, why.
int32_t UUARC_CALL OnSignal(UserData, int64_t length, int32_t code) noexcept {
    Operation& op = g_operation;
    if (code == UUARC_SIGNAL_BYTES_DELIVERED) {
        op.delivered = length;
        return 0;
    }
    if (code == UUARC_SIGNAL_SOURCE_CHANGED) {
        op.source_read = length;
        return 0;
    }
#if defined(UUARC_SIGNAL_ENTRY_DONE)
    if (code == UUARC_SIGNAL_ENTRY_DONE) {
        if (op.file_done != nullptr) op.file_done(static_cast<uint16_t>(length));
        return 0;
    }
#endif
    if (code != UUARC_SIGNAL_OUTPUT_OPEN) {
        TakeFactField(op, length, code);
        return 0;
    }
    op.output_opened = true;
    ProgressTotal(length);
    if (op.output_sink || op.replace != ReplaceOutcome::kNotAsked || op.target.empty()) return 0;
    op.new_output = Remember(op.output_private ? LeftoverKind::kPrivateFile : LeftoverKind::kOwnFile, op.target);
    if (op.output_private) return 0;
    if (op.made_known) {
        IdentifyLeftoverAs(op.new_output, op.made);
    } else {
        IdentifyLeftover(op.new_output, true);
    }
    return 0;
}

// Asks on the terminal, showing both files' sizes and times.
bool AskToReplace(const std::string& shown, const FindData& existing, const FindData& incoming) {
    ProgressHide();
    if (QueryPath(FromModulePath(incoming.file_name)).is_link) {
        std::fprintf(stderr, "%s exists\n  existing: a symbolic link, which is never written through\n", shown.c_str());
    } else {
        std::fprintf(stderr, "%s exists\n  existing: %" PRId64 " bytes, %s\n", shown.c_str(), SizeOf(existing),
                     FormatFileTime(existing.last_write_time).c_str());
    }
    std::fprintf(stderr, "  new:      about %" PRId64 " bytes, %s\n", SizeOf(incoming),
                 FormatFileTime(incoming.last_write_time).c_str());
    return AskYesNo("replace " + shown + "?");
}

// What the user wants done with an existing output. The module decides everything else: it asks
// about a regular file or a link (which a yes does not make it write through), nothing else.
ReplaceOutcome DecideReplace(const std::string& target, const FindData& existing, const FindData& incoming) {
    switch (g_operation.options->replace) {
        case ReplacePolicy::kOverwrite: return ReplaceOutcome::kReplaced;
        case ReplacePolicy::kSkip: return ReplaceOutcome::kSkipped;
        case ReplacePolicy::kAsk: break;
    }
    if (!IsTerminal(stdin)) return ReplaceOutcome::kRefusedNoTerminal;
    return AskToReplace(Shown(target), existing, incoming) ? ReplaceOutcome::kReplaced : ReplaceOutcome::kSkipped;
}

// The module's question before it replaces a file: 0 lets it go ahead. The module keeps the old
// file until the new one is whole, without the host's help. What it was is noted for the message.
int32_t UUARC_CALL OnOkToReplace(UserData, FindData* existing, FindData* incoming) noexcept {
    Operation& op = g_operation;
    const std::string target = FromModulePath(incoming->file_name);
    op.replace = DecideReplace(target, *existing, *incoming);
    if (op.replace != ReplaceOutcome::kReplaced) return 1;
    op.replaced = QueryPath(target);
    return 0;
}

}  // namespace

void SetUpModule() {
#if defined(UUARC_OPTION_FACTS)
    // Why an operation failed; every file of a text for list, extract and test; each archive
    // opened once, from InitArcFile to the listing or extraction that follows.
    g_api.arOptionsOn(UUARC_OPTION_FACTS | UUARC_OPTION_EVERY_FILE | UUARC_OPTION_HOLD_ARCHIVE);
#endif
    g_api.SetSetSignalProc(0, OnSignal);
    g_api.SetSetFileNameProc(0, OnFileName);
}

void StartOperation(const Options& options, bool extracting, const std::string& progress_name,
                    int64_t progress_total) {
    g_operation = Operation{};
    g_operation.options = &options;
    g_operation.extracting = extracting;
    ProgressStart(progress_name, progress_total);
    g_api.SetSetFileNameProc(0, OnFileName);
    g_api.SetSetProgressProc(0, OnProgress);
    g_api.SetSetSignalProc(0, OnSignal);
    g_api.SetOkToReplaceProc(0, OnOkToReplace);
}

uint16_t RunOnOneMask(void(UUARC_CALL* operation)(FileMaskList*), const std::string& mask) {
    FileMaskList masks;
    g_api.InitFileMaskList(&masks);
    if (g_api.AppendFileMask(mask.c_str(), &masks) != 0) operation(&masks);
    const uint16_t status = g_api.GetArchiveStatus();
    g_api.DoneFileMaskList(&masks);
    return status;
}

void NextFile() {
    Operation& op = g_operation;
    op.target.clear();
    op.output_opened = false;
    op.replace = ReplaceOutcome::kNotAsked;
    op.replaced = PathInfo{};
    op.new_output = kNoLeftover;
    op.made_known = false;
    op.delivered = -1;
    op.entry.clear();
    op.fact = ModuleFact{};
    op.part = ModuleFact{};
}

void FinishOperation(bool success) { success ? ProgressDone() : ProgressAbandon(); }

}  // namespace uuarc_host
