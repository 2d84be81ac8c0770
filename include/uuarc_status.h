// uuarc_status.h - the archive status codes under the module's own names, each the public
// UUARC_STATUS_ value of uuarc.h (where each says when it is set). C++, for every layer of the
// module; a host names the codes by their public names.
#pragma once

#include <cstdint>

#include "uuarc.h"

namespace uuarc {

enum Status : uint16_t {
    kStatusOk = UUARC_STATUS_OK,
    kStatusNoTarget = UUARC_STATUS_NO_TARGET,
    kStatusCannotOpen = UUARC_STATUS_CANNOT_OPEN,
    kStatusNoMemory = UUARC_STATUS_NO_MEMORY,
    kStatusWriteFailed = UUARC_STATUS_WRITE_FAILED,
    kStatusReplaceRefused = UUARC_STATUS_REPLACE_REFUSED,
    kStatusCreateRefused = UUARC_STATUS_CREATE_REFUSED,
    kStatusCannotDelete = UUARC_STATUS_CANNOT_DELETE,
    kStatusTooManyMasks = UUARC_STATUS_TOO_MANY_MASKS,
    kStatusSourceIsDirectory = UUARC_STATUS_SOURCE_IS_DIRECTORY,
    kStatusBadFormat = UUARC_STATUS_BAD_FORMAT,
    kStatusNotEncoded = UUARC_STATUS_NOT_ENCODED,
    kStatusNotSupported = UUARC_STATUS_NOT_SUPPORTED,
};

}  // namespace uuarc
