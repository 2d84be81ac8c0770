// status_messages.cpp - the one table from archive status to the words the host says for it.
#include "host/module_api.h"

namespace uuarc_host {

namespace {

struct StatusText {
    uint16_t status;
    const char* text;
};

constexpr StatusText kStatusTexts[] = {
    {UUARC_STATUS_OK, "success"},
    {UUARC_STATUS_NO_TARGET, "target does not exist yet"},
    {UUARC_STATUS_CANNOT_OPEN, "cannot open or create the file"},
    {UUARC_STATUS_NO_MEMORY, "out of memory"},
    {UUARC_STATUS_WRITE_FAILED, "cannot write the data in full"},
    {UUARC_STATUS_REPLACE_REFUSED, "existing file kept: replace refused"},
    {UUARC_STATUS_CREATE_REFUSED, "creation refused: no new archive, or the target is already encoded"},
    {UUARC_STATUS_CANNOT_DELETE, "deleting from this archive is not possible"},
    {UUARC_STATUS_TOO_MANY_MASKS, "creation refused: more than one source file"},
    {UUARC_STATUS_SOURCE_IS_DIRECTORY, "creation refused: the source is a directory"},
    {UUARC_STATUS_BAD_FORMAT, "damaged uuencoded file"},
    {UUARC_STATUS_NOT_ENCODED, "not a uuencoded file: no begin line"},
    {UUARC_STATUS_NOT_SUPPORTED, "operation not supported by this format"},
};

}  // namespace

const char* StatusMessage(uint16_t status) {
    for (const StatusText& entry : kStatusTexts) {
        if (entry.status == status) return entry.text;
    }
    return "";
}

}  // namespace uuarc_host
