// list.cpp - the list command: one table per archive, in the style of `unzip -l`.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <iterator>
#include <vector>

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

std::string FormatDosDateTime(uint32_t dos) {
    unsigned date = dos >> 16, time = dos & 0xFFFF;
    unsigned year = 1980 + (date >> 9), month = (date >> 5) & 0x0F, day = date & 0x1F;
    unsigned hour = time >> 11, minute = (time >> 5) & 0x3F;
    if (month < 1 || month > 12 || day < 1 || hour > 23 || minute > 59) return "---------- -----";
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u", year, month, day, hour, minute);
    return text;
}

std::string FormatAttributes(uint32_t attributes) {
    std::string text = "-----";
    if (attributes & UUARC_ATTR_READ_ONLY) text[0] = 'r';
    if (attributes & UUARC_ATTR_HIDDEN) text[1] = 'h';
    if (attributes & UUARC_ATTR_SYSTEM) text[2] = 's';
    if (attributes & UUARC_ATTR_DIRECTORY) text[3] = 'd';
    if (attributes & UUARC_ATTR_ARCHIVE) text[4] = 'a';
    return text;
}

// A file's begin line mode as `ls -l` shows a regular file's.
std::string FormatMode(int64_t mode) {
    std::string text = "-rwxrwxrwx";
    for (int bit = 0; bit < 9; ++bit) {
        if ((mode & (0400 >> bit)) == 0) text[1 + bit] = '-';
    }
    if (mode & 04000) text[3] = text[3] == 'x' ? 's' : 'S';
    if (mode & 02000) text[6] = text[6] == 'x' ? 's' : 'S';
    if (mode & 01000) text[9] = text[9] == 'x' ? 't' : 'T';
    return text;
}

// What decoding one file gave: its status, and the bytes of a file that decoded whole.
struct Measured {
    uint16_t status = UUARC_STATUS_OK;
    int64_t bytes = -1;
};
std::vector<Measured> g_measured;

// The module says that a file is done (every file of a text), or, for the module that reads one,
// the extraction has returned.
void OnFileMeasured(uint16_t status) {
    Operation& op = g_operation;
    Measured measured{status, -1};
    if (status == UUARC_STATUS_OK) measured.bytes = op.output_sink ? op.delivered : QueryPath(op.target).size;
    g_measured.push_back(measured);
    if (op.output_private) Settle(op.new_output);
    NextFile();
}

// -v: each file of the open archive decoded into nothing (the module's null output), or where the
// module has none into a private folder whose files go at once, for its exact size. One entry
// per file, in the order of the listing; none when no private folder can be made.
void MeasureFiles(const Options& options, Request request) {
    g_measured.clear();
    Destination out;
    if (PlaceNowhere(false, out, request.output_folder) < 0) {
        const uint16_t status = RunExtraction(options, request, out, OnFileMeasured);
        if (g_measured.empty()) OnFileMeasured(status);
        ProgressAbandon();
    }
    SettleScratch(out.scratch);
}

// The exact size's column: the bytes, or why there are none.
std::string MeasuredText(const Measured& measured) {
    char text[32];
    const char* why = measured.status == UUARC_STATUS_BAD_FORMAT ? "damaged" : "-";
    if (measured.bytes >= 0) {
        std::snprintf(text, sizeof text, "%11" PRId64, measured.bytes);
    } else {
        std::snprintf(text, sizeof text, "%11s", why);
    }
    return text;
}

void PrintTable(const Request& request, const ArcFileList& list, const ArcExtraInfo& info,
                const std::vector<int64_t>& modes, bool first) {
    const bool sized = !g_measured.empty();
    const bool moded = !modes.empty() && modes.size() == list.count;
    // The columns between the sizes and the name, blank on the total line.
    std::string head = "  Est. size", rule = "-----------", blank;
    if (sized) {
        head += "         Size";
        rule += "  -----------";
    }
    if (moded) {
        head += "  Mode      ";
        rule += "  ----------";
        blank += "            ";
    }
    head += "  Date       Time   Attr   Name";
    rule += "  ---------- -----  -----  ----";
    blank += "                            ";
    if (!first) std::printf("\n");
    std::printf("Archive:  %s\n%s\n%s\n", Shown(request.archive_shown).c_str(), head.c_str(), rule.c_str());
    size_t index = 0;
    int64_t exact = 0;
    bool all_exact = true;
    for (const ArcFileEntry* entry = list.first; entry != nullptr; entry = entry->next, ++index) {
        const std::string name(entry->name, std::find(entry->name, std::end(entry->name), '\0'));
        std::printf("%11" PRId64, entry->first_size);
        if (sized) {
            const Measured measured = index < g_measured.size() ? g_measured[index] : Measured{0xFFFF, -1};
            std::printf("  %s", MeasuredText(measured).c_str());
            if (measured.bytes >= 0) exact += measured.bytes;
            all_exact = all_exact && measured.bytes >= 0;
        }
        if (moded) std::printf("  %s", FormatMode(modes[index]).c_str());
        std::printf("  %s  %s  %s\n", FormatDosDateTime(entry->dos_date_time).c_str(),
                    FormatAttributes(entry->attributes).c_str(), Shown(ToNativePath(name)).c_str());
    }
    std::printf("-----------%s%s-------\n", sized ? "  -----------" : "", blank.c_str());
    std::printf("%11" PRId64, info.first_size_total);
    if (sized) std::printf("  %s", MeasuredText(Measured{UUARC_STATUS_OK, all_exact ? exact : -1}).c_str());
    std::printf("%s%u file%s\n", blank.c_str(), list.count, list.count == 1 ? "" : "s");
}

int ListPrepared(const Options& options, Request& request, ArchiveInput& input, bool first) {
    const int code = OpenArchive(request, input);
    if (code >= 0) return code;
    ArcFileList list;
    g_api.InitArcFileList(&list);
    g_api.BuildArcFileList(&list);
    const uint16_t status = g_api.GetArchiveStatus();
    ArcExtraInfo info;
    g_api.GetExtraInfoArc(&info);
    // The module tells each entry's mode as it lists it (its facts; not the 32-bit module).
    const std::vector<int64_t> modes = g_operation.modes;
    g_measured.clear();
    if (status == UUARC_STATUS_OK && options.verbose) MeasureFiles(options, request);
    if (status == UUARC_STATUS_OK) PrintTable(request, list, info, modes, first);
    g_api.DoneArcFileList(&list);
    g_api.DoneArcFile();
    if (status != UUARC_STATUS_OK) return ReportFailure(request, status, g_operation);
    return FlushStandardOutput() ? kExitOk : kExitWriteFailed;
}

}  // namespace

int OpenArchive(Request& request, ArchiveInput& input) {
    // What the module says of a refusal is heard from here on.
    g_operation = Operation{};
    for (;;) {
        std::string module_path, error;
        if (!ToModulePath(request.archive, module_path, error)) {
            Report(request.archive_shown, "cannot pass the name to the module", error, -1);
            return kExitCannotOpen;
        }
        // A missing path is a new archive to InitArcFile: listing or extracting it fails, and the
        // message says what is missing.
        g_api.InitArcFile(module_path.c_str());
        const uint16_t status = g_api.GetArchiveStatus();
        if (status == UUARC_STATUS_OK) return -1;
        int code = -1;
        if (status == UUARC_STATUS_CANNOT_OPEN && CopyRefusedArchive(input, code)) {
            request.archive = input.path;
            continue;
        }
        return code >= 0 ? code : ReportFailure(request, status, g_operation);
    }
}

int ListArchive(const Options& options, const std::string& operand, bool first) {
    ArchiveInput input;
    int code = kExitOk;
    if (!PrepareArchive(operand, input, code)) {
        SettleScratch(input.scratch);
        return code;
    }
    Request request;
    request.command = Command::kList;
    request.archive_shown = input.shown;
    request.archive = input.path;
    code = ListPrepared(options, request, input, first);
    SettleScratch(input.scratch);
    return code;
}

}  // namespace uuarc_host
