// failure.cpp - ReportFailure and the stored-name check of failure.h.
#include "host/failure.h"

#include "host/console.h"
#include "host/damage.h"
#include "host/exit_codes.h"
#include "host/module_names.h"
#include "host/system.h"
#include "shared/stored_names.h"
#include "uuarc.h"

namespace uuarc_host {

namespace {

// The part of the stored name that goes below the output path, in module terms.
std::string RelativeOutputName(const Request& request) {
    std::string name = request.stored_name;
    for (char& c : name) c = c == '/' ? '\\' : c;
    if (!request.keep_paths) return name.substr(name.find_last_of('\\') + 1);
    return !name.empty() && name[0] == '\\' ? name.substr(1) : name;
}

// The output that the module named, or standard output (-c) that it goes to.
std::string OutputShown(const Request& request, const Operation& op) {
    return request.to_stdout ? std::string("standard output") : op.target;
}

// What became of standard output when the decoding failed after it was open.
std::string WhatReachedStandardOutput(const Operation& op) {
    if (op.delivered < 0) return "standard output is incomplete";
    return "standard output is incomplete: " + std::to_string(op.delivered) + " bytes reached it";
}

int Say(const std::string& file, const std::string& what, const std::string& reason, uint16_t status) {
    Report(file, what, reason, status);
    return ExitCodeForStatus(status);
}

std::string Other(uint16_t status) {
    const char* text = StatusMessage(status);
    return *text != '\0' ? text : "unexpected status";
}

int ReportReplaceRefused(const Request& request, const Operation& op, uint16_t status) {
    const std::string& output = op.target;
    if (op.replace != ReplaceOutcome::kRefusedNoTerminal) return Say(output, "not replaced", "", status);
    if (request.command == Command::kCreate) return Say(output, "exists", "not replaced without --overwrite", status);
    return Say(output, "exists",
               "not replaced without --overwrite or --skip-existing, since standard input is not a terminal", status);
}

// Why the module did not make `output`. After a yes it refuses a file that another took the
// place of while the question was asked.
std::string WhyNotCreated(const std::string& output, const Operation& op) {
    const std::string why = WhyUncreatable(output);
    if (!why.empty() || op.replace != ReplaceOutcome::kReplaced) return why;
    return "it is not the file that the question was about";
}

// After a failed replace: whether the output is still the file that was there before the yes.
// The module keeps the old file when it writes beside it, not when it overwrites it in place.
bool OldFileKept(const Operation& op) {
    if (op.replace != ReplaceOutcome::kReplaced || op.target.empty()) return false;
    const PathInfo now = QueryPath(op.target);
    return now.is_regular && now.size == op.replaced.size && now.modified == op.replaced.modified;
}

std::string WhatBecameOfTheOutput(const Operation& op) {
    if (op.replace == ReplaceOutcome::kReplaced) {
        return OldFileKept(op) ? "the old file is kept as it was" : "it is incomplete, and the old content is lost";
    }
    return op.output_opened ? "it is incomplete" : "";
}

// How many bytes the extraction gave before it failed, for the size check of the damage
// message: what a sink took, or the length of the output file; -1 when that is unknown (nothing
// opened, the old file kept, the private copy behind -c).
int64_t BytesDecoded(const Request& request, const Operation& op, bool kept) {
    if (!op.output_opened || kept) return -1;
    if (op.output_sink) return op.delivered;
    return request.to_stdout ? -1 : QueryPath(op.target).size;
}

int ReportArchiveFailure(const Request& request, const Operation& op, uint16_t status) {
    const std::string& archive = request.archive_shown;
    switch (status) {
        case UUARC_STATUS_NOT_ENCODED:
            return Say(archive, "not a uuencoded file", Shown(DescribeNoBeginLine(request.archive)), status);
        case UUARC_STATUS_BAD_FORMAT: {
            // Where and why, read off the archive once more; then what became of the output.
            const bool kept = OldFileKept(op);
            std::string why = Shown(DescribeDamage(request.archive, BytesDecoded(request, op, kept), request.file_index));
            if (op.output_opened && op.output_sink && request.to_stdout) {
                why += (why.empty() ? "" : "; ") + WhatReachedStandardOutput(op);
            } else if (op.output_opened && !request.testing) {
                why += (why.empty() ? "" : "; ") + Shown(OutputShown(request, op)) +
                       (kept ? " is kept as it was" : " is incomplete");
            }
            return Say(archive, "damaged uuencoded data", why, status);
        }
        case UUARC_STATUS_CANNOT_OPEN: {
            std::string why = WhyUnreadable(request.archive);
            if (!why.empty() || request.command == Command::kList) return Say(archive, "cannot open", why, status);
            // The module names its output before it opens it, and refuses an unsafe stored name
            // before it names one: then the listed name is what the message explains.
            if (op.target.empty()) {
                why = request.stored_name.empty() ? "" : StoredNameProblem(request);
                if (why.empty()) return Say(archive, Other(status), "", status);
                return Say(archive, "stored name '" + Shown(ToNativePath(request.stored_name)) + "' refused", why,
                           status);
            }
            if (op.output_sink) {
                return Say(request.to_stdout ? "standard output" : "the null device", "cannot write to it", "", status);
            }
            const std::string& output = op.target;
            if (SameFile(output, request.archive)) return Say(output, "cannot create", "it is the archive itself", status);
            return Say(output, "cannot create", WhyNotCreated(output, op), status);
        }
        case UUARC_STATUS_REPLACE_REFUSED: return ReportReplaceRefused(request, op, status);
        case UUARC_STATUS_WRITE_FAILED:
            if (op.output_sink && request.to_stdout) {
                return Say(OutputShown(request, op), "cannot write the data in full",
                           op.delivered < 0 ? "" : std::to_string(op.delivered) + " bytes reached it", status);
            }
            return Say(OutputShown(request, op), "cannot write the data in full", WhatBecameOfTheOutput(op), status);
        case UUARC_STATUS_NO_MEMORY: return Say(archive, "out of memory", "", status);
        default: return Say(archive, Other(status), "", status);
    }
}

int ReportCreateFailure(const Request& request, const Operation& op, uint16_t status) {
    const std::string& target = request.target_shown;
    switch (status) {
        case UUARC_STATUS_CREATE_REFUSED:
            if (SameFile(request.source, request.written)) {
                return Say(target, "creation refused", "the target is the source itself", status);
            }
            return Say(target, "creation refused", "it is a uuencoded file already, replaced only with --overwrite",
                       status);
        case UUARC_STATUS_TOO_MANY_MASKS:
            return Say(request.source_shown, "creation refused", "more than one source", status);
        case UUARC_STATUS_SOURCE_IS_DIRECTORY:
            return Say(request.source_shown, "cannot encode", "it is a directory", status);
        case UUARC_STATUS_CANNOT_OPEN: {
            const std::string why_name = CreationNameProblem(request.stored_name);
            if (!why_name.empty()) return Say(request.source_shown, "cannot store its name", why_name, status);
            if (op.source_read >= 0) {
                // Standard output has had the bytes already: what it took is no encoded file.
                const std::string taken =
                    op.output_sink ? "; the " + std::to_string(op.delivered) + " bytes that reached standard output are wrong"
                                   : "";
                return Say(request.source_shown, "cannot encode",
                           "it changed while it was read, or the system does not report its size truly (" +
                               std::to_string(op.source_read) + " bytes read)" + taken,
                           status);
            }
            std::string why = WhyUnreadable(request.source);
            if (!why.empty()) return Say(request.source_shown, "cannot open the source", why, status);
            if (op.output_sink) return Say(target, "cannot write to it", "", status);
            why = WhyNotCreated(request.written, op);
#if !defined(UUARC_OUTPUT_FILE)
            if (why.empty() && QueryPath(request.written).exists) why = "it exists, and the 32-bit module makes new files only";
#endif
            return Say(target, "cannot create", why, status);
        }
        case UUARC_STATUS_REPLACE_REFUSED: return ReportReplaceRefused(request, op, status);
        case UUARC_STATUS_WRITE_FAILED:
            if (op.output_sink) {
                return Say(target, "cannot write the data in full",
                           op.delivered < 0 ? "" : std::to_string(op.delivered) + " bytes reached it", status);
            }
            return Say(target, "cannot write the data in full", WhatBecameOfTheOutput(op), status);
        case UUARC_STATUS_NO_MEMORY: return Say(request.source_shown, "out of memory", "", status);
        default: return Say(target, Other(status), "", status);
    }
}

}  // namespace

std::string NameRuleText(uuarc::NameRule rule, const std::string& name, const uuarc::NameFault& fault) {
    using uuarc::NameRule;
    const std::string part = Shown(ToNativePath(name.substr(fault.start, fault.length)));
    switch (rule) {
        case NameRule::kNone: return "";
        case NameRule::kEmpty: return "it has no file name";
        case NameRule::kRooted: return "it is an absolute path";
        case NameRule::kColon: return "it names a drive or a stream (':')";
        case NameRule::kDotComponent: return "it leaves the target folder ('" + part + "')";
        case NameRule::kDeviceName: return "it is a device name ('" + part + "')";
        case NameRule::kEndsInSeparator: return "it ends in a separator, so it names a folder, not a file";
        case NameRule::kControlByte: return "it holds a control byte ('" + part + "'), which a begin line cannot carry";
        case NameRule::kEndBlank: return "it starts or ends with a blank, which readers drop";
        case NameRule::kTooLong:
            return "it is longer than the " + std::to_string(UUARC_MAX_STORED_NAME) +
                   " bytes that a begin line gives back whole";
    }
    return "";
}

std::string StoredNameProblem(const Request& request) {
    const std::string relative = RelativeOutputName(request);
    uuarc::NameFault fault;
    const uuarc::NameRule rule = uuarc::RelativeNameRule(relative.c_str(), &fault);
    if (rule != uuarc::NameRule::kNone) return NameRuleText(rule, relative, fault);
    // The module reads a stored name into a buffer of its own, cut after the last whole
    // character that fits (up to four bytes in UTF-8); one that fills it was cut, and would make
    // another file than the one stored.
    if (request.stored_name.size() + 4 >= uuarc::kNameBufferSize) {
        return "it is longer than the " + std::to_string(uuarc::kNameBufferSize - 1) +
               " bytes the module reads of a name, so it was cut";
    }
    std::string folder = request.output_folder;
    if (!folder.empty() && folder.back() != '\\') folder += '\\';
    if (folder.size() + relative.size() > UUARC_MAX_OUTPUT_PATH) {
        return "the output path would be longer than " + std::to_string(UUARC_MAX_OUTPUT_PATH) + " bytes";
    }
    return "";
}

std::string CreationNameProblem(const std::string& name) {
    uuarc::NameFault fault;
    const uuarc::NameRule rule = uuarc::CreationNameRule(name.c_str(), &fault);
    if (rule == uuarc::NameRule::kNone) return "";
    return NameRuleText(rule, name, fault) + "; give another with -n NAME";
}

int ReportFailure(const Request& request, uint16_t status, const Operation& operation) {
    if (request.command == Command::kCreate) return ReportCreateFailure(request, operation, status);
    return ReportArchiveFailure(request, operation, status);
}

}  // namespace uuarc_host
