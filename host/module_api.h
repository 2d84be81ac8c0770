// module_api.h - the module's boundary as the host sees it, in one place: the public header
// module/uuarc.h under the host's names, and the words for each status.
#pragma once

#include <cstddef>
#include <cstdint>

#include "module/uuarc.h"

namespace uuarc_host {

constexpr uint16_t kStatusOk = UUARC_STATUS_OK;
constexpr uint16_t kStatusCannotOpen = UUARC_STATUS_CANNOT_OPEN;
constexpr uint16_t kStatusNoMemory = UUARC_STATUS_NO_MEMORY;
constexpr uint16_t kStatusWriteFailed = UUARC_STATUS_WRITE_FAILED;
constexpr uint16_t kStatusReplaceRefused = UUARC_STATUS_REPLACE_REFUSED;
constexpr uint16_t kStatusCreateRefused = UUARC_STATUS_CREATE_REFUSED;
constexpr uint16_t kStatusTooManyMasks = UUARC_STATUS_TOO_MANY_MASKS;
constexpr uint16_t kStatusSourceIsDirectory = UUARC_STATUS_SOURCE_IS_DIRECTORY;
constexpr uint16_t kStatusBadFormat = UUARC_STATUS_BAD_FORMAT;
constexpr uint16_t kStatusNotEncoded = UUARC_STATUS_NOT_ENCODED;

// A short English text for a status ("" for a value the module never sets).
const char* StatusMessage(uint16_t status);

// arOptionsOn: creation takes the mask as the whole source path, without the source prefix.
constexpr uint32_t kOptionNoSourcePrefix = UUARC_OPTION_NO_SOURCE_PREFIX;

// The attribute word of ArcFileEntry and FindData.
constexpr uint32_t kAttrReadOnly = UUARC_ATTR_READ_ONLY;
constexpr uint32_t kAttrHidden = UUARC_ATTR_HIDDEN;
constexpr uint32_t kAttrSystem = UUARC_ATTR_SYSTEM;
constexpr uint32_t kAttrDirectory = UUARC_ATTR_DIRECTORY;
constexpr uint32_t kAttrArchive = UUARC_ATTR_ARCHIVE;

// The longest path that InitArcFile, CreateArcFile, SetOutputPath and a mask take, in bytes.
constexpr size_t kMaxHostPath = UUARC_MAX_HOST_PATH;
// The longest output path that extraction makes of the output path and a stored name.
constexpr size_t kMaxOutputPath = UUARC_MAX_OUTPUT_PATH;

}  // namespace uuarc_host
