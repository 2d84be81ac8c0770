// status_messages.cpp - the one table from archive status to the exit code and the words the host
// gives for it. The statuses go by their public names; the module's header says when each is set.
#include "host/exit_codes.h"
#include "uuarc.h"

namespace uuarc_host {

namespace {

struct StatusText {
    uint16_t status;
    ExitCode exit_code;
    const char* text;
};

constexpr StatusText kStatusTexts[] = {
    {UUARC_STATUS_OK, kExitOk, "success"},
    {UUARC_STATUS_NO_TARGET, kExitOther, "target does not exist yet"},
    {UUARC_STATUS_CANNOT_OPEN, kExitCannotOpen, "cannot open or create the file"},
    {UUARC_STATUS_NO_MEMORY, kExitOther, "out of memory"},
    {UUARC_STATUS_WRITE_FAILED, kExitWriteFailed, "cannot write the data in full"},
    {UUARC_STATUS_REPLACE_REFUSED, kExitKept, "existing file kept: replace refused"},
    {UUARC_STATUS_CREATE_REFUSED, kExitCreateRefused,
     "creation refused: no new archive, or the target is already encoded"},
    {UUARC_STATUS_CANNOT_DELETE, kExitOther, "deleting from this archive is not possible"},
    {UUARC_STATUS_TOO_MANY_MASKS, kExitCreateRefused, "creation refused: more than one source file"},
    {UUARC_STATUS_SOURCE_IS_DIRECTORY, kExitCreateRefused, "creation refused: the source is a directory"},
    {UUARC_STATUS_BAD_FORMAT, kExitNotEncoded, "damaged uuencoded file"},
    {UUARC_STATUS_NOT_ENCODED, kExitNotEncoded, "not a uuencoded file: no begin line"},
    {UUARC_STATUS_NOT_SUPPORTED, kExitOther, "operation not supported by this format"},
};

const StatusText* Find(uint16_t status) {
    for (const StatusText& entry : kStatusTexts) {
        if (entry.status == status) return &entry;
    }
    return nullptr;
}

}  // namespace

int ExitCodeForStatus(uint16_t status) {
    const StatusText* entry = Find(status);
    return entry != nullptr ? entry->exit_code : kExitOther;
}

const char* StatusMessage(uint16_t status) {
    const StatusText* entry = Find(status);
    return entry != nullptr ? entry->text : "";
}

}  // namespace uuarc_host
