// module_api.h - the module's boundary as the host sees it, in one place: the exports and records
// (module/uuarc.h), the status codes (module/status.h), and the option bits, attribute bits and
// limits that the public header does not carry yet.
#pragma once

#include <cstddef>
#include <cstdint>

#include "module/status.h"
#include "module/uuarc.h"

namespace uuarc_host {

using uuarc::kStatusBadFormat;
using uuarc::kStatusCannotOpen;
using uuarc::kStatusCreateRefused;
using uuarc::kStatusNoMemory;
using uuarc::kStatusNotEncoded;
using uuarc::kStatusOk;
using uuarc::kStatusReplaceRefused;
using uuarc::kStatusSourceIsDirectory;
using uuarc::kStatusTooManyMasks;
using uuarc::kStatusWriteFailed;
using uuarc::StatusMessage;

// arOptionsOn: creation takes the mask as the whole source path, without the source prefix.
constexpr uint32_t kOptionNoSourcePrefix = 0x0010;

// The attribute word of ArcFileEntry and FindData.
constexpr uint32_t kAttrReadOnly = 0x01;
constexpr uint32_t kAttrHidden = 0x02;
constexpr uint32_t kAttrSystem = 0x04;
constexpr uint32_t kAttrDirectory = 0x10;
constexpr uint32_t kAttrArchive = 0x20;

// The longest path that InitArcFile, CreateArcFile, SetOutputPath and a mask take, in bytes.
constexpr size_t kMaxModulePath = 255;
// The longest output path that extraction makes of the output path and a stored name.
constexpr size_t kMaxOutputPath = 259;

}  // namespace uuarc_host
