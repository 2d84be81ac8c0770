// status.cpp - the one table from status code to message.
#include "module/status.h"

namespace uuarc {

namespace {

struct StatusText {
    uint16_t status;
    const char* text;
};

constexpr StatusText kStatusTexts[] = {
    {kStatusOk, "success"},
    {kStatusNoTarget, "target does not exist yet"},
    {kStatusCannotOpen, "cannot open or create the file"},
    {kStatusNoMemory, "out of memory"},
    {kStatusWriteFailed, "cannot write the data in full"},
    {kStatusReplaceRefused, "existing file kept: replace refused"},
    {kStatusCreateRefused, "creation refused: no new archive, or the target is already encoded"},
    {kStatusCannotDelete, "deleting from this archive is not possible"},
    {kStatusTooManyMasks, "creation refused: more than one source file"},
    {kStatusSourceIsDirectory, "creation refused: the source is a directory"},
    {kStatusBadFormat, "damaged uuencoded file"},
    {kStatusNotEncoded, "not a uuencoded file: no begin line"},
    {kStatusNotSupported, "operation not supported by this format"},
};

}  // namespace

const char* StatusMessage(uint16_t status) {
    for (const StatusText& entry : kStatusTexts) {
        if (entry.status == status) return entry.text;
    }
    return "";
}

}  // namespace uuarc
