// failure.cpp - ReportFailure and the name checks of failure.h.
#include "host/failure.h"

#include "host/console.h"
#include "host/exit_codes.h"
#include "host/module_names.h"
#include "host/system.h"
#include "shared/stored_names.h"
#include "uuarc.h"

namespace uuarc_host {

namespace {

// The output that the module named, or standard output (-c) that it goes to.
std::string OutputShown(const Request& request, const Operation& op) {
    return request.to_stdout ? std::string("standard output") : op.target;
}

// What became of standard output when the decoding failed after it was open; `whole` when every
// byte decoded went there, more than the archive said it held.
std::string WhatReachedStandardOutput(const Operation& op, bool whole) {
    if (whole) return op.delivered < 0 ? "" : "all " + std::to_string(op.delivered) + " bytes reached standard output";
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

// What extraction and creation say alike of the output: a refused replace, a failed write; any
// other status of `subject` in the words of the status table.
int ReportOutputFailure(const Request& request, const Operation& op, uint16_t status, const std::string& subject) {
    if (status == UUARC_STATUS_REPLACE_REFUSED) return ReportReplaceRefused(request, op, status);
    if (status != UUARC_STATUS_WRITE_FAILED) return Say(subject, Other(status), "", status);
    std::string why = WhatBecameOfTheOutput(op);
    if (op.output_sink && request.to_stdout) {
        why = op.delivered < 0 ? "" : std::to_string(op.delivered) + " bytes reached it";
    }
    return Say(OutputShown(request, op), "cannot write the data in full", why, status);
}

// The module's words for where and why its reading of the archive stopped (9974, 9964); ""
// when it said nothing.
std::string ReadingFact([[maybe_unused]] const ModuleFact& fact) {
#if defined(UUARC_OPTION_FACTS)
    const std::string line = fact.line > 0 ? "line " + std::to_string(fact.line) : "a line";
    std::string character = "'";
    character.append(Shown(std::string(1, static_cast<char>(fact.character)))).push_back('\'');
    switch (fact.kind) {
        case UUARC_FACT_NO_BEGIN_LINE: return "no begin line";
        case UUARC_FACT_TABLE_WITHOUT_BLOCK:
            return line + ": \"table\" is followed by no block of 64 different characters";
        case UUARC_FACT_BAD_CHARACTER: return line + ": " + character + " is not in the data's alphabet";
        case UUARC_FACT_SHORT_LINE:
            return line + " is cut short: " + std::to_string(fact.count) + " of the " + std::to_string(fact.expected) +
                   " characters its length asks for";
        case UUARC_FACT_NO_END_LINE: return "the end line is missing";
        case UUARC_FACT_AMBIGUOUS_END:
            return line + ": an end line that reads as data too, with data after it: where the data ends "
                          "cannot be told";
        case UUARC_FACT_SIZE_MISMATCH:
            return "it decodes to " + std::to_string(fact.count) + " bytes where its header says " +
                   std::to_string(fact.expected);
        case UUARC_FACT_MISPLACED_PADDING: return line + ": '=' stands where no padding may";
        case UUARC_FACT_AFTER_PADDING: return line + ": " + character + " comes after the padding that ends the data";
        case UUARC_FACT_UNFINISHED_GROUP: return line + ": the data ends inside a group of four characters";
        default: break;
    }
#endif
    return "";
}

// The module's words for the rule that the stored name `name` (module terms) breaks; "" when it
// named none.
std::string StoredNameFact([[maybe_unused]] const ModuleFact& fact, [[maybe_unused]] const std::string& name) {
#if defined(UUARC_OPTION_FACTS)
    const size_t start = fact.span < 0 ? 0 : static_cast<size_t>(fact.span >> 16);
    const size_t length = fact.span < 0 ? name.size() : static_cast<size_t>(fact.span & 0xFFFF);
    const std::string part = start <= name.size() ? Shown(ToNativePath(name.substr(start, length))) : "";
    if (fact.kind != UUARC_FACT_NAME_REFUSED) return "";
    switch (fact.rule) {
        case UUARC_NAME_EMPTY: return "it has no file name";
        case UUARC_NAME_ROOTED: return "it is an absolute path";
        case UUARC_NAME_COLON: return "it names a drive or a stream (':')";
        case UUARC_NAME_DOT_COMPONENT: return "it leaves the target folder ('" + part + "')";
        case UUARC_NAME_DEVICE: return "it is a device name ('" + part + "')";
        case UUARC_NAME_ENDS_IN_SEPARATOR: return "it ends in a separator, so it names a folder, not a file";
        case UUARC_NAME_CUT: return "it is longer than the module takes in the ANSI code page, so it was cut";
        case UUARC_NAME_PATH_TOO_LONG:
            return "the output path would be longer than " + std::to_string(UUARC_MAX_OUTPUT_PATH) + " bytes";
        default: break;
    }
#endif
    return "";
}

// What a part of a split posting lacks, whichever line is missing.
constexpr const char* kOtherParts = "the other parts are needed";

// "part N of M of NAME" when the module said that the text is a part of a split posting before
// the fact that explains the status: no begin line (`begin`), or no end line; "" otherwise. NAME
// is the file that the module named for it, else the archive's file name.
std::string PartOfPosting([[maybe_unused]] const Request& request, [[maybe_unused]] const Operation& op,
                          [[maybe_unused]] bool begin) {
#if defined(UUARC_OPTION_FACTS)
    if (op.part.kind != UUARC_FACT_PART) return "";
    if (op.fact.kind != (begin ? UUARC_FACT_NO_BEGIN_LINE : UUARC_FACT_NO_END_LINE)) return "";
    const std::string name = op.entry.empty() ? BaseName(request.archive_shown) : ToNativePath(op.entry);
    return "part " + std::to_string(op.part.part) + " of " + std::to_string(op.part.parts) + " of " + Shown(name);
#endif
    return "";
}

std::string Joined(const std::string& first, const std::string& second) {
    return first.empty() || second.empty() ? first + second : first + "; " + second;
}

int ReportArchiveFailure(const Request& request, const Operation& op, uint16_t status) {
    const std::string& archive = request.archive_shown;
    switch (status) {
        case UUARC_STATUS_NOT_ENCODED: {
            const std::string part = PartOfPosting(request, op, true);
            if (!part.empty()) return Say(archive, part, kOtherParts, status);
            const std::string why = ReadingFact(op.fact);
            return Say(archive, "not a uuencoded file", why.empty() ? "no begin line" : why, status);
        }
        case UUARC_STATUS_BAD_FORMAT: {
            // Where and why, as the module said; then what became of the output. An output
            // longer than the header says holds every byte decoded.
            const bool kept = OldFileKept(op);
            const bool whole = op.fact.kind != 0 && op.fact.count > op.fact.expected && op.fact.expected >= 0;
            const std::string part = PartOfPosting(request, op, false);
            std::string why = part.empty() ? ReadingFact(op.fact) : kOtherParts;
            if (op.output_opened && op.output_sink && request.to_stdout) {
                why = Joined(why, WhatReachedStandardOutput(op, whole));
            } else if (op.output_opened && !request.testing) {
                why = Joined(why, Shown(OutputShown(request, op)) +
                                      (kept    ? " is kept as it was"
                                       : whole ? " holds all " + std::to_string(op.fact.count) + " bytes"
                                               : " is incomplete"));
            }
            return Say(archive, part.empty() ? "damaged uuencoded data" : part, why, status);
        }
        case UUARC_STATUS_CANNOT_OPEN: {
            std::string why = WhyUnreadable(request.archive);
            if (!why.empty() || request.command == Command::kList) return Say(archive, "cannot open", why, status);
            // The module names its output before it opens it, and an unsafe stored name with no
            // output, saying which rule it breaks.
            if (op.target.empty()) {
                why = StoredNameFact(op.fact, op.entry);
                if (why.empty()) return Say(archive, Other(status), "", status);
                return Say(archive, "stored name '" + Shown(ToNativePath(op.entry)) + "' refused", why, status);
            }
            if (op.output_sink) {
                return Say(request.to_stdout ? "standard output" : "the null device", "cannot write to it", "", status);
            }
            const std::string& output = op.target;
            if (SameFile(output, request.archive)) return Say(output, "cannot create", "it is the archive itself", status);
            return Say(output, "cannot create", WhyNotCreated(output, op), status);
        }
        case UUARC_STATUS_NO_MEMORY: return Say(archive, "out of memory", "", status);
        default: return ReportOutputFailure(request, op, status, archive);
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
        case UUARC_STATUS_NO_MEMORY: return Say(request.source_shown, "out of memory", "", status);
        default: return ReportOutputFailure(request, op, status, target);
    }
}

}  // namespace

std::string CreationNameProblem(const std::string& name) {
    using uuarc::NameRule;
    uuarc::NameFault fault;
    const NameRule rule = uuarc::CreationNameRule(name.c_str(), &fault);
    const std::string part = Shown(ToNativePath(name.substr(fault.start, fault.length)));
    std::string why;
    switch (rule) {
        case NameRule::kControlByte:
            why = "it holds a control byte ('" + part + "'), which a begin line cannot carry";
            break;
        case NameRule::kEndBlank: why = "it starts or ends with a blank, which readers drop"; break;
        case NameRule::kTooLong:
            why = "it is longer than the " + std::to_string(UUARC_MAX_STORED_NAME) +
                  " bytes that a begin line gives back whole";
            break;
        default: return "";  // creation applies no other rule
    }
    return why + "; give another with -n NAME";
}

int ReportFailure(const Request& request, uint16_t status, const Operation& operation) {
    if (request.command == Command::kCreate) return ReportCreateFailure(request, operation, status);
    return ReportArchiveFailure(request, operation, status);
}

}  // namespace uuarc_host
