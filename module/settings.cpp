// settings.cpp - the host's settings: output path, base path, keep-paths flag, source prefix.
// A string longer than a host path may be is not taken, and the older value is not used either:
// the field is marked refused, and the operations that need it fail with status 5 until the host
// sets a value within the limit. A null path or record is no value: it changes nothing.
#include <cstring>

#include "module/module_state.h"
#include "names/strings.h"

using namespace uuarc;

namespace {

// Length of a host string held in a field of `field_size` bytes, or a value above kMaxHostPath
// when it is too long (or not terminated within the field).
size_t HostStringLength(const char* text, size_t field_size) {
    return strnlen(text, field_size < kMaxHostPath + 1 ? field_size : kMaxHostPath + 1);
}

void CopyHostString(char* field, const char* text, size_t length) {
    std::memcpy(field, text, length);
    field[length] = '\0';
}

// A non-empty base path from either record.
void TakeBasePath(const char* text, size_t field_size) {
    const size_t length = HostStringLength(text, field_size);
    if (length == 0) return;
    g_state.settings.base_path_refused = length > kMaxHostPath;
    if (!g_state.settings.base_path_refused) CopyHostString(g_state.settings.base_path, text, length);
}


// The sink that an output path names: one of the reserved spellings of uuarc.h, exactly, the
// output file's prefix before a path that names a file (not a folder), or files. `file` is where
// that path begins in `path`.
OutputSink SinkNamed(const char* path, const char** file) {
#if defined(UUARC_OUTPUT_STDOUT)
    if (std::strcmp(path, UUARC_OUTPUT_STDOUT) == 0) return OutputSink::StandardOutput;
    if (std::strcmp(path, UUARC_OUTPUT_NULL) == 0) return OutputSink::Null;
#endif
#if defined(UUARC_OUTPUT_FILE)
    const size_t prefix = std::strlen(UUARC_OUTPUT_FILE);
    const size_t length = std::strlen(path);
    if (length > prefix && std::strncmp(path, UUARC_OUTPUT_FILE, prefix) == 0 && path[length - 1] != '\\' &&
        path[length - 1] != '/') {
        *file = path + prefix;
        return OutputSink::NamedFile;
    }
#endif
    (void)path;  // the 32-bit DLL has no sinks
    (void)file;
    return OutputSink::Files;
}

}  // namespace

UUARC_API void UUARC_CALL SetOutputPath(const char* path) {
    if (path == nullptr) return;
    g_state.settings.output_path_refused = HostStringLength(path, kMaxHostPath + 1) > kMaxHostPath;
    if (g_state.settings.output_path_refused) return;
    const char* file = nullptr;
    g_state.settings.sink = SinkNamed(path, &file);
    // The output file is held without its prefix; a reserved spelling as it is, without a
    // separator: it names no folder.
    if (file != nullptr) {
        std::strcpy(g_state.settings.output_path, file);
    } else if (g_state.settings.sink != OutputSink::Files) {
        CopyHostString(g_state.settings.output_path, path, std::strlen(path));
    } else {
        AddTrailingBackslash(path, g_state.settings.output_path);
    }
}

UUARC_API void UUARC_CALL SetDecompExtraFeatures(const DecompExtraFeatures* record) {
    if (record == nullptr) return;
    g_state.settings.keep_paths = record->keep_paths;
    if (record->output_path[0] != '\0') SetOutputPath(record->output_path);
    TakeBasePath(record->base_path, sizeof record->base_path);
}

UUARC_API void UUARC_CALL SetCompExtraFeatures(const CompExtraFeatures* record) {
    if (record == nullptr) return;
    TakeBasePath(record->base_path, sizeof record->base_path);
    const size_t prefix_length = HostStringLength(record->source_prefix, sizeof record->source_prefix);
    if (prefix_length == 0) return;
    g_state.settings.source_prefix_refused = prefix_length > kMaxHostPath;
    if (g_state.settings.source_prefix_refused) return;
    CopyHostString(g_state.settings.source_prefix, record->source_prefix, prefix_length);
    // A drive root (C:\) or a bare drive (C:) stays as it is; a longer prefix, and any prefix where
    // no drive can be, gets a separator whatever it ends in.
    if (prefix_length > 3 || !kDrivesAndStreams) std::strcat(g_state.settings.source_prefix, "\\");
}
