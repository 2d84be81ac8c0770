// output_file.cpp - replace question, attribute reset and the directory-creating open.
#include "operations/output_file.h"

#include <cstring>

#include "module/module_state.h"
#include "module/status.h"
#include "names/strings.h"

namespace uuarc {

int32_t ConfirmReplace(const char* path, int64_t size_estimate) {
    FindData existing;
    if (!FindFile(path, &existing)) return 0;
    const Callbacks& callbacks = g_state.callbacks;
    if (callbacks.ok_to_replace == nullptr) return 0;

    FindData incoming;
    std::memset(&incoming, 0, sizeof incoming);
    FileTime now;
    SystemTimeAsFileTime(&now);
    incoming.attributes = kAttrNormal;
    incoming.creation_time = now;
    incoming.last_access_time = now;
    incoming.last_write_time = now;
    incoming.size_high = static_cast<uint32_t>(static_cast<uint64_t>(size_estimate) >> 32);
    incoming.size_low = static_cast<uint32_t>(size_estimate);
    // Callers refuse longer paths, so the whole path always fits with its terminator.
    const size_t length = strnlen(path, sizeof incoming.file_name - 1);
    std::memcpy(incoming.file_name, path, length);
    incoming.file_name[length] = '\0';

    const int32_t answer = callbacks.ok_to_replace(callbacks.ok_to_replace_user, &existing, &incoming);
    if (answer == 0) SetArchiveAttribute(path);
    return answer;
}

void SetArchiveAttribute(const char* path) {
    if (FileExists(path)) SetPathAttributes(path, kAttrArchive);
}

void OpenOutputFile(const char* path, const char* mode) {
    // The walk: take the path apart at its backslashes, one component a pass, and make sure each
    // directory exists before the open is tried again. The last component is never a directory.
    char remainder[264];
    char built[264];
    char component[256];
    built[0] = '\0';
    const size_t length = strnlen(path, sizeof remainder - 1);
    std::memcpy(remainder, path, length);
    remainder[length] = '\0';

    Stream& output = g_state.output;
    for (;;) {
        if (StreamOpen(output, path, mode)) {
            SetStatus(kStatusOk);
            return;
        }
        SetStatus(kStatusCannotOpen);
        for (;;) {
            const uint8_t position = StrPos('\\', remainder);
            if (position == 255) return;
            AddTrailingBackslash(built, built);
            StrCopy(remainder, 0, position, component);
            if (std::strlen(built) + std::strlen(component) >= sizeof built) return;
            std::strcat(built, component);
            StrDelete(remainder, 0, static_cast<uint8_t>(position + 1));
            // A drive such as C: and the empty first component of "\x" are never made.
            const size_t built_length = std::strlen(built);
            if (built_length == 0 || built[built_length - 1] == ':') {
                std::strcat(built, "\\");
                continue;
            }
            if (FileExists(built)) break;
            if (!MakeDirectory(built)) {
                SetStatus(kStatusCannotOpen);
                return;
            }
            break;
        }
    }
}

}  // namespace uuarc
