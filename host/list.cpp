// list.cpp - the list command: one table per archive, in the style of `unzip -l`.
#include <algorithm>
#include <cinttypes>
#include <cstdio>
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

int ListPrepared(Request& request, ArchiveInput& input, bool first) {
    const int code = OpenArchive(request, input);
    if (code >= 0) return code;
    ArcFileList list;
    g_api.InitArcFileList(&list);
    g_api.BuildArcFileList(&list);
    const uint16_t status = g_api.GetArchiveStatus();
    ArcExtraInfo info;
    g_api.GetExtraInfoArc(&info);
    if (status == UUARC_STATUS_OK) {
        if (!first) std::printf("\n");
        std::printf("Archive:  %s\n", Shown(request.archive_shown).c_str());
        std::printf("  Est. size  Date       Time   Attr   Name\n");
        std::printf("-----------  ---------- -----  -----  ----\n");
        for (const ArcFileEntry* entry = list.first; entry != nullptr; entry = entry->next) {
            const std::string name(entry->name, std::find(entry->name, std::end(entry->name), '\0'));
            std::printf("%11" PRId64 "  %s  %s  %s\n", entry->first_size, FormatDosDateTime(entry->dos_date_time).c_str(),
                        FormatAttributes(entry->attributes).c_str(), Shown(ToNativePath(name)).c_str());
        }
        std::printf("-----------                            -------\n");
        std::printf("%11" PRId64 "                            %u file%s\n", info.first_size_total, list.count,
                    list.count == 1 ? "" : "s");
    }
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

int ListArchive(const std::string& operand, bool first) {
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
    code = ListPrepared(request, input, first);
    SettleScratch(input.scratch);
    return code;
}

}  // namespace uuarc_host
