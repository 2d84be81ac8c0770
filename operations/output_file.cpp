// output_file.cpp - replace question, the directory-creating open and the replacing of a file.
#include "operations/output_file.h"

#include <cstdio>
#include <cstring>

#include "module/module_state.h"
#include "module/status.h"
#include "names/strings.h"

namespace uuarc {

namespace {

// How many names beside the target are tried for the new file before the open gives up.
constexpr int kTemporaryNameTries = 16;

// The new file that replaces `target`: "~uu" and five hex digits in place of its last component,
// so that it lies in the same directory (a rename never crosses a volume) and no name of the
// host's is taken.
bool MakeTemporaryName(const char* target, int attempt, char* out, size_t size) {
    const char* last = target;
    for (const char* p = target; *p != '\0'; ++p) {
        if (*p == '\\' || *p == '/' || *p == ':') last = p + 1;
    }
    FileTime now;
    SystemTimeAsFileTime(&now);
    const unsigned tag = (now.low / 10 + static_cast<unsigned>(attempt) * 0x9E37u) & 0xFFFFFu;
    const int written = std::snprintf(out, size, "%.*s~uu%05x", static_cast<int>(last - target), target, tag);
    return written > 0 && static_cast<size_t>(written) < size;
}

// The walk: take the path apart at its backslashes, one component a pass, and make sure each
// directory exists before the open is tried again. The last component is never a directory.
void CreateWithDirectories(const char* path, const char* mode) {
    char remainder[kOutputNameSize];
    char built[kOutputNameSize];
    built[0] = '\0';
    const size_t length = strnlen(path, sizeof remainder - 1);
    std::memcpy(remainder, path, length);
    remainder[length] = '\0';
    size_t built_length = 0;
    const char* rest = remainder;

    Stream& output = g_state.output;
    for (;;) {
        if (StreamCreate(output, path, mode, nullptr)) {
            SetStatus(kStatusOk);
            return;
        }
        SetStatus(kStatusCannotOpen);
        for (;;) {
            // A component may be as long as a host path: positions are counted in size_t here.
            const char* separator = std::strchr(rest, '\\');
            if (separator == nullptr) return;
            const size_t component = static_cast<size_t>(separator - rest);
            if (built_length > 0 && built[built_length - 1] != '\\' && built[built_length - 1] != ':') {
                built[built_length++] = '\\';
            }
            if (built_length + component >= sizeof built) return;
            std::memcpy(built + built_length, rest, component);
            built_length += component;
            built[built_length] = '\0';
            rest = separator + 1;
            // A drive such as C: and the empty first component of "\x" are never made.
            if (built_length == 0 || built[built_length - 1] == ':') {
                built[built_length++] = '\\';
                built[built_length] = '\0';
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

// The bytes for an existing file go to a new one beside it, made exclusively with its
// permissions, or with those that the reset to "archive" gives after the host's yes.
void CreateBeside(const char* path, const char* mode, const FileInfo& existing) {
    PendingOutput& pending = g_state.pending;
    SetStatus(kStatusCannotOpen);
    if (!pending.agreed) {
        // Without a yes the file is replaced only when it could be written as it is.
        if (!FileWritable(path)) return;
    }
    FileInfo like = existing;
    like.permissions &= 0777;
    if (pending.agreed) {
        like.attributes = kAttrArchive;
        like.permissions |= 0200;
    }
    for (int attempt = 0; attempt < kTemporaryNameTries; ++attempt) {
        if (!MakeTemporaryName(path, attempt, pending.temporary, sizeof pending.temporary)) return;
        if (StreamCreate(g_state.output, pending.temporary, mode, &like)) {
            std::snprintf(pending.target, sizeof pending.target, "%s", path);
            pending.replacing = true;
            SetStatus(kStatusOk);
            return;
        }
    }
}

}  // namespace

bool OutputPathWritable(const char* path) {
    const size_t length = std::strlen(path);
    if (length == 0 || path[length - 1] == '\\' || path[length - 1] == '/') return false;
    FileInfo info;
    return !PathInfo(path, &info) || info.kind == FileKind::Regular;
}

int32_t ConfirmReplace(const char* path, int64_t size_estimate) {
    g_state.pending.agreed = false;
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
    g_state.pending.agreed = answer == 0;
    return answer;
}

void OpenOutputFile(const char* path, const char* mode) {
    PendingOutput& pending = g_state.pending;
    pending.replacing = false;
    FileInfo existing;
    if (PathInfo(path, &existing)) {
        // Callers have made sure that what is there is a regular file.
        if (existing.kind == FileKind::Regular) {
            CreateBeside(path, mode, existing);
        } else {
            SetStatus(kStatusCannotOpen);
        }
    } else {
        CreateWithDirectories(path, mode);
    }
    pending.agreed = false;
}

bool FinishOutputFile(bool keep) {
    PendingOutput& pending = g_state.pending;
    bool whole = StreamClose(g_state.output);
    if (pending.replacing) {
        pending.replacing = false;
        if (!(keep && whole && RenameReplacing(pending.temporary, pending.target))) {
            RemoveFile(pending.temporary);
            if (keep) whole = false;
        }
    }
    return whole;
}

int32_t ProgressPercent(int64_t done, int64_t size) {
    if (size <= 0 || done >= size) return 100;
    if (done <= 0) return 0;
    return static_cast<int32_t>(done * 100 / size);
}

}  // namespace uuarc
